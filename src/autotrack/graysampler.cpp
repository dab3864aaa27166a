#include "autotrack/graysampler.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

double smoothingFor(double spacing) { return spacing > 1.15 ? 0.5 * std::sqrt(spacing * spacing - 1) : 0; }

// Sample (i, j) reads source at centre + spacing * R(angle) (i - (w - 1) / 2, j - (h - 1) / 2).
cv::Mat warpGrid(const cv::Mat &source, cv::Point2d centre, double spacing, cv::Size size, double angle)
{
    const double c = spacing * std::cos(angle), s = spacing * std::sin(angle);
    const double mx = (size.width - 1) / 2.0, my = (size.height - 1) / 2.0;
    const cv::Matx23d toSource(c, -s, centre.x - c * mx + s * my, s, c, centre.y - s * mx - c * my);
    cv::Mat result;
    cv::warpAffine(source, result, toSource, size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
    return result;
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
