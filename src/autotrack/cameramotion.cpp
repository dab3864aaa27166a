#include "autotrack/cameramotion.h"

#include "autotrack/colourprojection.h"
#include "autotrack/correlation.h"
#include "common/middlevalue.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zorvane {
namespace {

constexpr int kPatchSide = 16;
// Mean slope (grey levels per pixel) a patch needs in its weakest
// direction to show a shift.
constexpr double kMinPatchSlope = 2.0;
// Shifts below this are the estimate's own noise: they are told once
// they add up to more.
constexpr double kStill = 0.2;
constexpr double kMinPatchScore = 0.8;
// Patches that agree must lie this share of the picture's width or height
// apart.
constexpr double kLeastSpread = 1.0 / 3;
// Patches whose shift agrees with the median within this many pixels.
constexpr double kAgreement = 0.5;
// A match is unique when no place farther than this from it (the peak's
// own slope) scores within the lead of it.
constexpr int kPeakHalfWidth = 2;
constexpr double kUniqueLead = 0.1;
// Texture is looked for at this fraction of the picture's size.
constexpr int kSearchScale = 4;
// Patches placed on texture keep this far apart.
constexpr int kPlaceSpacing = 3 * kPatchSide;
// Frames in a row the reference may fail to match before it is taken again.
constexpr int kPatience = 3;

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

// Whether the best match stands out from every other place: a repeating
// texture (a chequerboard, a grille) matches as well a period away.
bool matchesOnce(const cv::Mat &map, cv::Point best, double score)
{
    const cv::Rect aroundBest(best.x - kPeakHalfWidth, best.y - kPeakHalfWidth, 2 * kPeakHalfWidth + 1,
                              2 * kPeakHalfWidth + 1);
    cv::Mat elsewhere(map.size(), CV_8U, cv::Scalar(255));
    elsewhere(aroundBest & cv::Rect(0, 0, map.cols, map.rows)).setTo(0);
    double second = -1;
    cv::minMaxLoc(map, nullptr, &second, nullptr, nullptr, elsewhere);
    return second < score - kUniqueLead;
}

// Whether the object may move over the patch at `place` before the next frame.
bool underObject(cv::Point place, Vec2 object, double keepAway)
{
    return length(minus({double(place.x), double(place.y)}, object)) < keepAway;
}

// A patch found again: how far the picture slid there, and where it is.
struct Found {
    Vec2 slid;
    cv::Point place;
};

// Whether patches lie far enough apart not to be on one thing that moves
// (a sign, a screen, a chequered board).
bool spreadOver(const std::vector<Found> &patches, cv::Size picture)
{
    int left = picture.width, right = 0, top = picture.height, bottom = 0;
    for (const Found &patch : patches) {
        left = std::min(left, patch.place.x), right = std::max(right, patch.place.x);
        top = std::min(top, patch.place.y), bottom = std::max(bottom, patch.place.y);
    }
    return right - left >= kLeastSpread * picture.width || bottom - top >= kLeastSpread * picture.height;
}

// The shift most patches agree on, if they spread over the picture; none
// otherwise. Two would not do: both may lie on one thing that moves.
std::optional<Vec2> agreedShift(const std::vector<Found> &found, cv::Size picture)
{
    if (found.size() < 3)
        return std::nullopt;
    std::vector<double> xs, ys;
    for (const Found &patch : found)
        xs.push_back(patch.slid.x), ys.push_back(patch.slid.y);
    const double mx = middleValue(xs), my = middleValue(ys);
    std::vector<Found> agreeing;
    for (const Found &patch : found)
        if (length(minus(patch.slid, {mx, my})) <= kAgreement)
            agreeing.push_back(patch);
    if (agreeing.size() < 3 || 2 * agreeing.size() <= found.size() || !spreadOver(agreeing, picture))
        return std::nullopt;
    Vec2 sum;
    for (const Found &patch : agreeing)
        sum.x += patch.slid.x, sum.y += patch.slid.y;
    return Vec2{sum.x / agreeing.size(), sum.y / agreeing.size()};
}

cv::Mat patchArea(const cv::Mat &frame, cv::Rect area)
{
    cv::Mat result;
    toGray(frame(area), ColourProjection()).convertTo(result, CV_32F);
    return result;
}

cv::Mat patchAt(const cv::Mat &frame, cv::Point place)
{
    return patchArea(frame, {place.x - kPatchSide / 2, place.y - kPatchSide / 2, kPatchSide, kPatchSide});
}

// How well the texture around each place of the picture, shrunk, pins a
// shift down: the weakest direction's slope.
cv::Mat textureMap(const cv::Mat &frame)
{
    cv::Mat small, weakest;
    cv::resize(toGray(frame, ColourProjection()), small, cv::Size(frame.cols / kSearchScale, frame.rows / kSearchScale),
               0, 0, cv::INTER_AREA);
    cv::cornerMinEigenVal(small, weakest, kPatchSide / kSearchScale, 3);
    return weakest;
}

// The place of a cell of the picture whose texture pins a shift down best,
// one a patch and its search fit around (`border` pixels inside).
cv::Point mostTexturedIn(const cv::Mat &texture, cv::Rect cell, cv::Size picture, int border)
{
    const cv::Rect shrunk(cell.x / kSearchScale, cell.y / kSearchScale, std::max(1, cell.width / kSearchScale),
                          std::max(1, cell.height / kSearchScale));
    cv::Point best;
    cv::minMaxLoc(texture(shrunk & cv::Rect(0, 0, texture.cols, texture.rows)), nullptr, nullptr, nullptr, &best);
    return {std::clamp((shrunk.x + best.x) * kSearchScale + kSearchScale / 2, border, picture.width - border - 1),
            std::clamp((shrunk.y + best.y) * kSearchScale + kSearchScale / 2, border, picture.height - border - 1)};
}

// A grid over the picture, about as many columns as rows fit its shape, a
// patch at the middle of each cell; where the middle is flat, at the spot
// of the cell whose texture pins a shift down best (a plain wall with a few
// posters: patches at fixed places would mostly fall on the wall), but not
// beside another patch: patches that lie on one poster count as one.
CameraFrame::Patches texturedPatches(const cv::Mat &frame, int count, int border)
{
    const int rows = std::max(1, static_cast<int>(std::lround(std::sqrt(count * double(frame.rows) / frame.cols))));
    const int columns = std::max(1, (count + rows - 1) / rows);
    const double width = frame.cols - 2 * border, height = frame.rows - 2 * border;
    CameraFrame::Patches taken{count, border, {}, {}};
    cv::Mat texture;
    const auto takenNear = [&](cv::Point place) {
        cv::circle(texture, place / kSearchScale, kPlaceSpacing / kSearchScale, cv::Scalar(0), cv::FILLED);
    };
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            cv::Point place(static_cast<int>(border + width * (i + 0.5) / columns),
                            static_cast<int>(border + height * (j + 0.5) / rows));
            cv::Mat patch = patchAt(frame, place);
            if (!hasCorners(patch)) {
                if (texture.empty()) {
                    texture = textureMap(frame);
                    std::for_each(taken.places.begin(), taken.places.end(), takenNear);
                }
                const cv::Rect cell(static_cast<int>(border + width * i / columns),
                                    static_cast<int>(border + height * j / rows), static_cast<int>(width / columns),
                                    static_cast<int>(height / rows));
                place = mostTexturedIn(texture, cell, frame.size(), border);
                patch = patchAt(frame, place);
            }
            if (!texture.empty())
                takenNear(place);
            taken.places.push_back(place);
            taken.patches.push_back(hasCorners(patch) ? patch : cv::Mat());
        }
    }
    return taken;
}

} // namespace

const CameraFrame::Patches &CameraFrame::patches(int count, int border) const
{
    if (!m_patches || m_patches->count != count || m_patches->border != border)
        m_patches = texturedPatches(m_frame, count, border);
    return *m_patches;
}

// The patches of the frame, but none where the object may move over them.
void CameraMotion::takeReference(const CameraFrame &picture, Vec2 object, double keepAway)
{
    const CameraFrame::Patches &taken = picture.patches(m_patches, border());
    m_places = taken.places;
    m_reference.clear();
    for (std::size_t k = 0; k < taken.places.size(); ++k)
        m_reference.push_back(underObject(taken.places[k], object, keepAway) ? cv::Mat() : taken.patches[k]);
    m_slid = {};
    m_failures = 0;
}

// Where no patch may lie: a patch and the reach of its search fit inside.
int CameraMotion::border() const { return m_reach + kPatchSide; }

std::optional<Vec2> CameraMotion::slidSinceReference(const cv::Mat &frame, Vec2 object, double keepAway) const
{
    const cv::Point lastSlid(static_cast<int>(std::lround(m_slid.x)), static_cast<int>(std::lround(m_slid.y)));
    const cv::Rect inside(0, 0, frame.cols, frame.rows);
    std::vector<Found> found;
    for (std::size_t k = 0; k < m_places.size(); ++k) {
        if (m_reference[k].empty())
            continue;
        const cv::Point place = m_places[k] + lastSlid;
        if (underObject(place, object, keepAway))
            continue;
        const cv::Rect searchRect(place.x - kPatchSide / 2 - m_reach, place.y - kPatchSide / 2 - m_reach,
                                  kPatchSide + 2 * m_reach, kPatchSide + 2 * m_reach);
        if ((searchRect & inside) != searchRect)
            continue;
        const cv::Mat map = correlate(patchArea(frame, searchRect), m_reference[k]);
        double score = 0;
        cv::Point at;
        cv::minMaxLoc(map, nullptr, &score, nullptr, &at);
        if (std::isfinite(score) && score >= kMinPatchScore && at.x > 0 && at.y > 0 && at.x < map.cols - 1
            && at.y < map.rows - 1 && matchesOnce(map, at, score)) {
            const Vec2 slid{lastSlid.x + at.x - m_reach
                                + parabolaOffset(map.at<float>(at.y, at.x - 1), score, map.at<float>(at.y, at.x + 1)),
                            lastSlid.y + at.y - m_reach
                                + parabolaOffset(map.at<float>(at.y - 1, at.x), score, map.at<float>(at.y + 1, at.x))};
            found.push_back({slid, place});
        }
    }
    return agreedShift(found, frame.size());
}

Vec2 CameraMotion::measure(const CameraFrame &picture, Vec2 object, double objectRadius)
{
    const cv::Mat &frame = picture.pixels();
    if (frame.cols < 2 * border() + kPatchSide || frame.rows < 2 * border() + kPatchSide || m_patches <= 0)
        return {};
    const double keepAway = objectRadius + kPatchSide + m_reach;
    if (m_reference.empty()) {
        takeReference(picture, object, keepAway);
        return {};
    }
    const std::optional<Vec2> slid = slidSinceReference(frame, object, keepAway);
    if (!slid) {
        // Too few patches agree: the picture is taken as still. A frame or
        // two of that is passing (the object crossing a patch, a flash);
        // longer, the reference has grown stale.
        if (++m_failures > kPatience)
            takeReference(picture, object, keepAway);
        return {};
    }
    const Vec2 step = minus(*slid, m_slid);
    m_failures = 0;
    m_slid = *slid;
    const Vec2 shift = tell(step);
    if (length(m_slid) >= 0.5 * kPatchSide)
        takeReference(picture, object, keepAway);
    return shift;
}

// The shift to tell for a move: none until the moves add up to more than
// the estimate's noise.
Vec2 CameraMotion::tell(Vec2 move)
{
    m_untold.x += move.x;
    m_untold.y += move.y;
    Vec2 shift;
    if (length(m_untold) >= kStill)
        std::swap(shift, m_untold);
    return shift;
}

} // namespace zorvane
