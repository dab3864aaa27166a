#include "autotrack/correlation.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zorvane {
namespace {

// Below this many products (map cells times template pixels) summing
// directly beats OpenCV's weighted matching, which runs several Fourier
// transforms and allocations whatever the size: the tracker's small maps
// around one candidate take most of its time.
constexpr double kDirectLimit = 4e5;

// A window is flat when its weighted deviation is below this, in grey
// levels.
constexpr float kFlatDeviation = 1e-3f;

// The weighted template, ready to meet each window: its weights, their
// squares, and the squared weights times its deviation from its mean.
struct WeightedTemplate {
    std::vector<float> weight, weight2, scaled;
    float weightSum = 0;
    float weight2Sum = 0;
    float deviation2 = 0; // sum of the squared weighted deviations
};

WeightedTemplate prepare(const cv::Mat &templ, const cv::Mat &weights)
{
    WeightedTemplate t;
    const int n = static_cast<int>(templ.total());
    t.weight.resize(n);
    t.weight2.resize(n);
    t.scaled.resize(n);
    double weightSum = 0, weight2Sum = 0, weighted = 0;
    for (int y = 0, i = 0; y < templ.rows; ++y)
        for (int x = 0; x < templ.cols; ++x, ++i) {
            const double w = weights.at<float>(y, x);
            t.weight[i] = static_cast<float>(w);
            t.weight2[i] = static_cast<float>(w * w);
            weightSum += w;
            weight2Sum += w * w;
            weighted += w * templ.at<float>(y, x);
        }
    const double mean = weightSum > 0 ? weighted / weightSum : 0;
    double deviation2 = 0;
    for (int y = 0, i = 0; y < templ.rows; ++y)
        for (int x = 0; x < templ.cols; ++x, ++i) {
            const double d = templ.at<float>(y, x) - mean;
            t.scaled[i] = static_cast<float>(t.weight2[i] * d);
            deviation2 += t.weight2[i] * d * d;
        }
    t.weightSum = static_cast<float>(weightSum);
    t.weight2Sum = static_cast<float>(weight2Sum);
    t.deviation2 = static_cast<float>(deviation2);
    return t;
}

// The window's weighted mean first, then the sums about it, so that no
// large sums cancel.
float scoreAt(const cv::Mat &image, int left, int top, cv::Size size, const WeightedTemplate &t)
{
    float sum = 0;
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width) {
        const float *row = image.ptr<float>(top + y) + left;
        const float *w = t.weight.data() + i;
#pragma omp simd reduction(+ : sum)
        for (int x = 0; x < size.width; ++x)
            sum += w[x] * row[x];
    }
    const float mean = sum / t.weightSum;
    float products = 0, deviation2 = 0;
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width) {
        const float *row = image.ptr<float>(top + y) + left;
        const float *w2 = t.weight2.data() + i;
        const float *scaled = t.scaled.data() + i;
#pragma omp simd reduction(+ : products, deviation2)
        for (int x = 0; x < size.width; ++x) {
            const float d = row[x] - mean;
            products += scaled[x] * d;
            deviation2 += w2[x] * d * d;
        }
    }
    if (deviation2 <= kFlatDeviation * kFlatDeviation * t.weight2Sum)
        return -1;
    return products / std::sqrt(deviation2 * t.deviation2);
}

// Each cell is scored on its own: cells outside `cells` are left at -1.
cv::Mat correlateDirectly(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights, cv::Rect cells)
{
    const WeightedTemplate t = prepare(templ, weights);
    cv::Mat map(image.rows - templ.rows + 1, image.cols - templ.cols + 1, CV_32F, cv::Scalar(-1));
    cells &= cv::Rect(0, 0, map.cols, map.rows);
    const bool flatTemplate = !(t.weightSum > 0) || t.deviation2 <= kFlatDeviation * kFlatDeviation * t.weight2Sum;
    if (flatTemplate)
        return map;
    for (int y = cells.y; y < cells.y + cells.height; ++y) {
        float *row = map.ptr<float>(y);
        for (int x = cells.x; x < cells.x + cells.width; ++x)
            row[x] = scoreAt(image, x, y, templ.size(), t);
    }
    return map;
}

bool directIsFaster(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights)
{
    const double cells = double(image.cols - templ.cols + 1) * (image.rows - templ.rows + 1);
    return !weights.empty() && image.type() == CV_32F && templ.type() == CV_32F && weights.type() == CV_32F && cells > 0
           && cells * static_cast<double>(templ.total()) <= kDirectLimit;
}

} // namespace

cv::Mat correlateWithin(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights, cv::Rect cells)
{
    if (directIsFaster(image, templ, weights))
        return correlateDirectly(image, templ, weights, cells);
    return correlate(image, templ, weights);
}

cv::Mat correlate(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights)
{
    if (directIsFaster(image, templ, weights))
        return correlateDirectly(image, templ, weights, {0, 0, image.cols, image.rows});
    cv::Mat map;
    if (weights.empty())
        cv::matchTemplate(image, templ, map, cv::TM_CCOEFF_NORMED);
    else
        cv::matchTemplate(image, templ, map, cv::TM_CCOEFF_NORMED, weights);
    // OpenCV leaves flat places undefined.
    cv::patchNaNs(map, -1);
    cv::Mat undefined = map > 1.01;
    map.setTo(-1, undefined);
    return map;
}

double parabolaOffset(double before, double at, double after)
{
    const double curvature = before - 2 * at + after;
    if (!(curvature < 0))
        return 0;
    return std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
}

} // namespace zorvane
