#include "autotrack/correlation.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// The sums run in one order on every processor, the one the tracker was
// tuned with: four lanes over whole groups of four columns, the columns
// left over added to the first lane, then each row's lanes in turn.
struct Lanes {
    float lane[4];

    static Lanes of(const cv::v_float32x4 &sums)
    {
        Lanes lanes;
        cv::v_store(lanes.lane, sums);
        return lanes;
    }
    float addedTo(float total) const { return total + lane[0] + lane[1] + lane[2] + lane[3]; }
};

int wholeGroups(int width) { return width & ~3; }

// `total` with the row's weighted sum added.
float withWeightedRow(float total, const float *row, const float *w, int width)
{
    const int whole = wholeGroups(width);
    cv::v_float32x4 sums = cv::v_setzero_f32();
    for (int x = 0; x < whole; x += 4)
        sums = sums + cv::v_load(w + x) * cv::v_load(row + x);
    Lanes lanes = Lanes::of(sums);
    for (int x = whole; x < width; ++x)
        lanes.lane[0] += w[x] * row[x];
    return lanes.addedTo(total);
}

struct Deviations {
    float products = 0;   // with the scaled template
    float deviation2 = 0; // weighted squares
};

void addDeviations(const float *row, const float *scaled, const float *w2, int width, float mean, Deviations &sums)
{
    const int whole = wholeGroups(width);
    const cv::v_float32x4 middle = cv::v_setall_f32(mean);
    cv::v_float32x4 products = cv::v_setzero_f32(), deviation2 = cv::v_setzero_f32();
    for (int x = 0; x < whole; x += 4) {
        const cv::v_float32x4 d = cv::v_load(row + x) - middle;
        products = products + cv::v_load(scaled + x) * d;
        deviation2 = deviation2 + cv::v_load(w2 + x) * d * d;
    }
    Lanes productLanes = Lanes::of(products), deviationLanes = Lanes::of(deviation2);
    for (int x = whole; x < width; ++x) {
        const float d = row[x] - mean;
        productLanes.lane[0] += scaled[x] * d;
        deviationLanes.lane[0] += w2[x] * d * d;
    }
    sums.products = productLanes.addedTo(sums.products);
    sums.deviation2 = deviationLanes.addedTo(sums.deviation2);
}

float scoreOf(const Deviations &sums, const WeightedTemplate &t)
{
    if (sums.deviation2 <= kFlatDeviation * kFlatDeviation * t.weight2Sum)
        return -1;
    return sums.products / std::sqrt(sums.deviation2 * t.deviation2);
}

// The window's weighted mean first, then the sums about it, so that no
// large sums cancel.
float scoreAt(const cv::Mat &image, int left, int top, cv::Size size, const WeightedTemplate &t)
{
    float sum = 0;
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width)
        sum = withWeightedRow(sum, image.ptr<float>(top + y) + left, t.weight.data() + i, size.width);
    const float mean = sum / t.weightSum;
    Deviations sums;
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width)
        addDeviations(image.ptr<float>(top + y) + left, t.scaled.data() + i, t.weight2.data() + i, size.width, mean,
                      sums);
    return scoreOf(sums, t);
}

#if defined(__x86_64__)
// Two windows in the two halves of eight-lane registers, each half summed
// as the four lanes above sum one window: twice the work per instruction,
// to the same bits.
namespace wide {

#define ZORVANE_WIDE __attribute__((target("avx")))

// Lanes 0 and 4 of the results carry each window's values.
constexpr int kFirstLanes = 0x11;

ZORVANE_WIDE __m256 bothGroups(const float *a, const float *b)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(a)), _mm_loadu_ps(b), 1);
}

ZORVANE_WIDE __m256 bothFirsts(const float *a, const float *b)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_load_ss(a)), _mm_load_ss(b), 1);
}

ZORVANE_WIDE __m256 groupOf(const float *values)
{
    return _mm256_broadcast_ps(reinterpret_cast<const __m128 *>(values));
}

ZORVANE_WIDE __m256 addedToFirsts(__m256 lanes, __m256 values)
{
    return _mm256_blend_ps(lanes, _mm256_add_ps(lanes, values), kFirstLanes);
}

ZORVANE_WIDE __m256 addedLanes(__m256 total, __m256 lanes)
{
    total = _mm256_add_ps(total, lanes);
    total = _mm256_add_ps(total, _mm256_permute_ps(lanes, 1));
    total = _mm256_add_ps(total, _mm256_permute_ps(lanes, 2));
    return _mm256_add_ps(total, _mm256_permute_ps(lanes, 3));
}

ZORVANE_WIDE float firstOf(__m256 lanes) { return _mm256_cvtss_f32(lanes); }

ZORVANE_WIDE float secondOf(__m256 lanes) { return _mm_cvtss_f32(_mm256_extractf128_ps(lanes, 1)); }

// Each window's weighted mean, in all lanes of its half.
ZORVANE_WIDE __m256 means(const cv::Mat &image, cv::Point a, cv::Point b, cv::Size size, const WeightedTemplate &t)
{
    const int whole = wholeGroups(size.width);
    __m256 total = _mm256_setzero_ps();
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width) {
        const float *rowA = image.ptr<float>(a.y + y) + a.x, *rowB = image.ptr<float>(b.y + y) + b.x;
        const float *w = t.weight.data() + i;
        __m256 sums = _mm256_setzero_ps();
        for (int x = 0; x < whole; x += 4)
            sums = _mm256_add_ps(sums, _mm256_mul_ps(groupOf(w + x), bothGroups(rowA + x, rowB + x)));
        for (int x = whole; x < size.width; ++x)
            sums = addedToFirsts(sums, _mm256_mul_ps(_mm256_set1_ps(w[x]), bothFirsts(rowA + x, rowB + x)));
        total = addedLanes(total, sums);
    }
    return _mm256_permute_ps(_mm256_div_ps(total, _mm256_set1_ps(t.weightSum)), 0);
}

ZORVANE_WIDE std::pair<float, float> scoresAt(const cv::Mat &image, cv::Point a, cv::Point b, cv::Size size,
                                              const WeightedTemplate &t)
{
    const __m256 middle = means(image, a, b, size, t);
    const int whole = wholeGroups(size.width);
    __m256 products = _mm256_setzero_ps(), deviation2 = _mm256_setzero_ps();
    for (int y = 0, i = 0; y < size.height; ++y, i += size.width) {
        const float *rowA = image.ptr<float>(a.y + y) + a.x, *rowB = image.ptr<float>(b.y + y) + b.x;
        const float *scaled = t.scaled.data() + i, *w2 = t.weight2.data() + i;
        __m256 rowProducts = _mm256_setzero_ps(), rowDeviation2 = _mm256_setzero_ps();
        for (int x = 0; x < whole; x += 4) {
            const __m256 d = _mm256_sub_ps(bothGroups(rowA + x, rowB + x), middle);
            rowProducts = _mm256_add_ps(rowProducts, _mm256_mul_ps(groupOf(scaled + x), d));
            rowDeviation2 = _mm256_add_ps(rowDeviation2, _mm256_mul_ps(_mm256_mul_ps(groupOf(w2 + x), d), d));
        }
        for (int x = whole; x < size.width; ++x) {
            const __m256 d = _mm256_sub_ps(bothFirsts(rowA + x, rowB + x), middle);
            rowProducts = addedToFirsts(rowProducts, _mm256_mul_ps(_mm256_set1_ps(scaled[x]), d));
            rowDeviation2 = addedToFirsts(rowDeviation2, _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(w2[x]), d), d));
        }
        products = addedLanes(products, rowProducts);
        deviation2 = addedLanes(deviation2, rowDeviation2);
    }
    return {scoreOf({firstOf(products), firstOf(deviation2)}, t),
            scoreOf({secondOf(products), secondOf(deviation2)}, t)};
}

#undef ZORVANE_WIDE

} // namespace wide
#endif

// Each cell is scored on its own: cells outside `cells` are left at -1.
cv::Mat correlateDirectly(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights, cv::Rect cells,
                          SumWidth width)
{
    const WeightedTemplate t = prepare(templ, weights);
    cv::Mat map(image.rows - templ.rows + 1, image.cols - templ.cols + 1, CV_32F, cv::Scalar(-1));
    cells &= cv::Rect(0, 0, map.cols, map.rows);
    const bool flatTemplate = !(t.weightSum > 0) || t.deviation2 <= kFlatDeviation * kFlatDeviation * t.weight2Sum;
    if (flatTemplate)
        return map;
    const auto cellAt = [&](int k) { return cv::Point(cells.x + k % cells.width, cells.y + k / cells.width); };
    const int count = cells.area();
    int k = 0;
#if defined(__x86_64__)
    if (width == SumWidth::Widest && hasWiderSums())
        for (; k + 1 < count; k += 2) {
            const cv::Point a = cellAt(k), b = cellAt(k + 1);
            std::tie(map.at<float>(a), map.at<float>(b)) = wide::scoresAt(image, a, b, templ.size(), t);
        }
#endif
    for (; k < count; ++k) {
        const cv::Point cell = cellAt(k);
        map.at<float>(cell) = scoreAt(image, cell.x, cell.y, templ.size(), t);
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

bool hasWiderSums()
{
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("avx");
    return has;
#else
    return false;
#endif
}

cv::Mat correlateWithin(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights, cv::Rect cells,
                        SumWidth width)
{
    if (directIsFaster(image, templ, weights))
        return correlateDirectly(image, templ, weights, cells, width);
    return correlate(image, templ, weights);
}

cv::Mat correlate(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights)
{
    if (directIsFaster(image, templ, weights))
        return correlateDirectly(image, templ, weights, {0, 0, image.cols, image.rows}, SumWidth::Widest);
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
