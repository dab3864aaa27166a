#include "autotrack/cameramotion.h"

#include "autotrack/colourprojection.h"
#include "common/middlevalue.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace zorvane {
namespace {

constexpr int kPatchSide = 16;
// Mean slope (grey levels per pixel) a patch needs in its weakest
// direction to show a shift.
constexpr double kMinPatchSlope = 3.0;
// Shifts below this are the estimate's own noise.
constexpr double kStill = 0.2;
constexpr double kMinPatchScore = 0.8;
// Patches whose shift agrees with the median within this many pixels.
constexpr double kAgreement = 0.5;

double peakOffset(double before, double at, double after)
{
    const double curvature = before - 2 * at + after;
    return curvature < 0 ? std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5) : 0.0;
}

// Texture that pins a shift down in both directions: a smooth ramp or
// parallel stripes slide along themselves and match anywhere along them.
bool hasCorners(const cv::Mat &patch)
{
    cv::Mat gx, gy;
    cv::Sobel(patch, gx, CV_32F, 1, 0, 3, 1.0 / 8);
    cv::Sobel(patch, gy, CV_32F, 0, 1, 3, 1.0 / 8);
    const double xx = gx.dot(gx), yy = gy.dot(gy), xy = gx.dot(gy);
    const double weakest = 0.5 * (xx + yy - std::sqrt((xx - yy) * (xx - yy) + 4 * xy * xy));
    return weakest / patch.total() >= kMinPatchSlope * kMinPatchSlope;
}

} // namespace

cv::Mat CameraMotion::patchArea(const cv::Mat &frame, cv::Rect area) const
{
    cv::Mat result;
    toGray(frame(area), ColourProjection()).convertTo(result, CV_32F);
    return result;
}

Vec2 CameraMotion::measure(const cv::Mat &frame, Vec2 object, double objectRadius)
{
    const int border = m_reach + kPatchSide;
    if (frame.cols < 2 * border + kPatchSide || frame.rows < 2 * border + kPatchSide || m_patches <= 0)
        return {};
    if (m_places.empty()) {
        // A grid over the picture, about as many columns as rows fit its shape.
        const int rows =
            std::max(1, static_cast<int>(std::lround(std::sqrt(m_patches * double(frame.rows) / frame.cols))));
        const int columns = std::max(1, (m_patches + rows - 1) / rows);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i)
                m_places.emplace_back(border + (frame.cols - 2 * border) * (i + 0.5) / columns,
                                      border + (frame.rows - 2 * border) * (j + 0.5) / rows);
    }
    std::vector<double> xs, ys;
    const double keepAway = objectRadius + kPatchSide + m_reach;
    const bool compare = m_previous.size() == m_places.size();
    std::vector<cv::Mat> current(m_places.size());
    for (std::size_t k = 0; k < m_places.size(); ++k) {
        const cv::Point place = m_places[k];
        const cv::Rect patchRect(place.x - kPatchSide / 2, place.y - kPatchSide / 2, kPatchSide, kPatchSide);
        if (std::hypot(place.x - object.x, place.y - object.y) < keepAway)
            continue; // the object moves over it
        if (compare && !m_previous[k].empty()) {
            const cv::Rect searchRect(patchRect.x - m_reach, patchRect.y - m_reach, kPatchSide + 2 * m_reach,
                                      kPatchSide + 2 * m_reach);
            cv::Mat map;
            cv::matchTemplate(patchArea(frame, searchRect), m_previous[k], map, cv::TM_CCOEFF_NORMED);
            double score = 0;
            cv::Point at;
            cv::minMaxLoc(map, nullptr, &score, nullptr, &at);
            if (std::isfinite(score) && score >= kMinPatchScore && at.x > 0 && at.y > 0 && at.x < map.cols - 1
                && at.y < map.rows - 1) {
                xs.push_back(at.x - m_reach
                             + peakOffset(map.at<float>(at.y, at.x - 1), score, map.at<float>(at.y, at.x + 1)));
                ys.push_back(at.y - m_reach
                             + peakOffset(map.at<float>(at.y - 1, at.x), score, map.at<float>(at.y + 1, at.x)));
            }
        }
        cv::Mat patch = patchArea(frame, patchRect);
        if (hasCorners(patch))
            current[k] = patch;
    }
    m_previous = std::move(current);
    if (xs.size() < 3)
        return {};
    const double mx = middleValue(xs), my = middleValue(ys);
    double sx = 0, sy = 0;
    int agreeing = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (std::hypot(xs[i] - mx, ys[i] - my) <= kAgreement) {
            sx += xs[i], sy += ys[i];
            ++agreeing;
        }
    }
    if (agreeing < 3 || 2 * agreeing <= static_cast<int>(xs.size()))
        return {};
    const Vec2 shift{sx / agreeing, sy / agreeing};
    return std::hypot(shift.x, shift.y) < kStill ? Vec2{} : shift;
}

} // namespace zorvane
