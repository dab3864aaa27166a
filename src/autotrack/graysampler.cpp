#include "autotrack/graysampler.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zorvane {
namespace {

double smoothingFor(double spacing) { return spacing > 1.15 ? 0.5 * std::sqrt(spacing * spacing - 1) : 0; }

// cv::warpAffine's bilinear interpolation places each sample to 1/32 of a
// pixel, in fixed point, and weighs the four pixels around it from a table.
constexpr int kFractionBits = 5;
constexpr int kFractions = 1 << kFractionBits;
constexpr int kPlaceBits = 10;

struct Weights {
    float w[kFractions * kFractions][4];
};

const Weights &bilinearWeights()
{
    static const Weights table = [] {
        Weights t{};
        for (int i = 0; i < kFractions; ++i)
            for (int j = 0; j < kFractions; ++j) {
                const float y1 = 1.f / kFractions * i, x1 = 1.f / kFractions * j;
                const float y0 = 1.f - y1, x0 = 1.f - x1;
                float *w = t.w[i * kFractions + j];
                w[0] = y0 * x0;
                w[1] = y0 * x1;
                w[2] = y1 * x0;
                w[3] = y1 * x1;
            }
        return t;
    }();
    return table;
}

// Where a grid sample falls: its source pixel and, in 1/32 pixel, how far
// past it.
struct Place {
    int pixel;
    int fraction;
};

Place placeOf(int fixedPoint)
{
    const int fine = fixedPoint >> (kPlaceBits - kFractionBits);
    return {cv::saturate_cast<short>(fine >> kFractionBits), fine & (kFractions - 1)};
}

constexpr int kScale = 1 << kPlaceBits;
constexpr int kRoundDelta = kScale / kFractions / 2;

// An unturned grid reads the same source columns on every row, and the
// same source row along each row: both are worked out once.
cv::Mat unturnedGrid(const cv::Mat &source, const cv::Matx23d &m, cv::Size size)
{
    const Weights &table = bilinearWeights();
    thread_local std::vector<int> left, right, fractions;
    left.resize(static_cast<std::size_t>(size.width));
    right.resize(static_cast<std::size_t>(size.width));
    fractions.resize(static_cast<std::size_t>(size.width));
    const int x0 = cv::saturate_cast<int>(m(0, 2) * kScale) + kRoundDelta;
    for (int x = 0; x < size.width; ++x) {
        const Place place = placeOf(x0 + cv::saturate_cast<int>(m(0, 0) * x * kScale));
        left[x] = std::clamp(place.pixel, 0, source.cols - 1);
        right[x] = std::clamp(place.pixel + 1, 0, source.cols - 1);
        fractions[x] = place.fraction;
    }
    cv::Mat result(size, CV_32F);
    for (int y = 0; y < size.height; ++y) {
        const Place place = placeOf(cv::saturate_cast<int>((m(1, 1) * y + m(1, 2)) * kScale) + kRoundDelta);
        const float *top = source.ptr<float>(std::clamp(place.pixel, 0, source.rows - 1));
        const float *bottom = source.ptr<float>(std::clamp(place.pixel + 1, 0, source.rows - 1));
        const auto *weights = table.w + place.fraction * kFractions;
        float *out = result.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            const float *w = weights[fractions[x]];
            out[x] = top[left[x]] * w[0] + top[right[x]] * w[1] + bottom[left[x]] * w[2] + bottom[right[x]] * w[3];
        }
    }
    return result;
}

cv::Mat turnedGrid(const cv::Mat &source, const cv::Matx23d &m, cv::Size size)
{
    const Weights &table = bilinearWeights();
    thread_local std::vector<int> stepX, stepY;
    stepX.resize(static_cast<std::size_t>(size.width));
    stepY.resize(static_cast<std::size_t>(size.width));
    for (int x = 0; x < size.width; ++x) {
        stepX[x] = cv::saturate_cast<int>(m(0, 0) * x * kScale);
        stepY[x] = cv::saturate_cast<int>(m(1, 0) * x * kScale);
    }
    const int width = source.cols, height = source.rows;
    const std::size_t stride = source.step1();
    cv::Mat result(size, CV_32F);
    for (int y = 0; y < size.height; ++y) {
        float *out = result.ptr<float>(y);
        const int x0 = cv::saturate_cast<int>((m(0, 1) * y + m(0, 2)) * kScale) + kRoundDelta;
        const int y0 = cv::saturate_cast<int>((m(1, 1) * y + m(1, 2)) * kScale) + kRoundDelta;
        for (int x = 0; x < size.width; ++x) {
            const Place px = placeOf(x0 + stepX[x]), py = placeOf(y0 + stepY[x]);
            const float *w = table.w[py.fraction * kFractions + px.fraction];
            float v0, v1, v2, v3;
            if (px.pixel >= 0 && px.pixel + 1 < width && py.pixel >= 0 && py.pixel + 1 < height) {
                const float *p = source.ptr<float>(py.pixel) + px.pixel;
                v0 = p[0];
                v1 = p[1];
                v2 = p[stride];
                v3 = p[stride + 1];
            } else {
                const int left = std::clamp(px.pixel, 0, width - 1), right = std::clamp(px.pixel + 1, 0, width - 1);
                const float *top = source.ptr<float>(std::clamp(py.pixel, 0, height - 1));
                const float *bottom = source.ptr<float>(std::clamp(py.pixel + 1, 0, height - 1));
                v0 = top[left];
                v1 = top[right];
                v2 = bottom[left];
                v3 = bottom[right];
            }
            out[x] = v0 * w[0] + v1 * w[1] + v2 * w[2] + v3 * w[3];
        }
    }
    return result;
}

// Sample (i, j) reads source at centre + spacing * R(angle) (i - (w - 1) / 2, j - (h - 1) / 2).
// The same sums as cv::warpAffine with INTER_LINEAR, WARP_INVERSE_MAP and a
// replicated border, to the last bit; this runs on a hundred thousand
// samples a frame, most of them on unturned grids, which cost less.
cv::Mat warpGrid(const cv::Mat &source, cv::Point2d centre, double spacing, cv::Size size, double angle)
{
    CV_Assert(source.type() == CV_32FC1);
    const double c = spacing * std::cos(angle), s = spacing * std::sin(angle);
    const double mx = (size.width - 1) / 2.0, my = (size.height - 1) / 2.0;
    const cv::Matx23d toSource(c, -s, centre.x - c * mx + s * my, s, c, centre.y - s * mx - c * my);
    return s == 0 ? unturnedGrid(source, toSource, size) : turnedGrid(source, toSource, size);
}

} // namespace

cv::Mat resampleAbout(const cv::Mat &image, cv::Point2d centre, double spacing, cv::Size size, double angle)
{
    const double sigma = smoothingFor(spacing);
    if (sigma <= 0)
        return warpGrid(image, centre, spacing, size, angle);
    cv::Mat smooth;
    cv::GaussianBlur(image, smooth, cv::Size(), sigma, sigma, cv::BORDER_REPLICATE);
    return warpGrid(smooth, centre, spacing, size, angle);
}

cv::Mat GraySampler::sample(Vec2 centre, double spacing, cv::Size size, double angle) const
{
    // Far outside, every sample is the border anyway; keeps the integer
    // conversions below in range.
    centre.x = std::clamp(centre.x, -1.0 * m_frame.cols, 2.0 * m_frame.cols);
    centre.y = std::clamp(centre.y, -1.0 * m_frame.rows, 2.0 * m_frame.rows);
    // A turned grid reaches as far as its corners.
    const double corner = angle == 0 ? 1 : std::abs(std::cos(angle)) + std::abs(std::sin(angle));
    const double halfW = std::max(size.width, size.height) / 2.0 * spacing * corner;
    const double halfH = halfW;
    // Wider sampling needs a smoothed source, or fine texture aliases.
    const double sigma = smoothingFor(spacing);
    const int pad = 2 + static_cast<int>(std::ceil(3 * sigma));
    const int x0 = std::clamp(static_cast<int>(std::floor(centre.x - halfW)) - pad, 0, m_frame.cols - 1);
    const int y0 = std::clamp(static_cast<int>(std::floor(centre.y - halfH)) - pad, 0, m_frame.rows - 1);
    const int x1 = std::clamp(static_cast<int>(std::ceil(centre.x + halfW)) + pad + 1, x0 + 1, m_frame.cols);
    const int y1 = std::clamp(static_cast<int>(std::ceil(centre.y + halfH)) + pad + 1, y0 + 1, m_frame.rows);
    const cv::Rect area(x0, y0, x1 - x0, y1 - y0);

    cv::Mat source;
    toGray(m_frame(area), m_projection).convertTo(source, CV_32F);
    if (sigma > 0)
        cv::GaussianBlur(source, source, cv::Size(), sigma, sigma, cv::BORDER_REPLICATE);
    return warpGrid(source, cv::Point2d(centre.x - x0, centre.y - y0), spacing, size, angle);
}

} // namespace zorvane
