#include "autotrack/autotracker.h"

#include "autotrack/backgroundmodel.h"
#include "autotrack/cameramotion.h"
#include "autotrack/colourprojection.h"
#include "autotrack/correlation.h"
#include "autotrack/graysampler.h"
#include "autotrack/motionmodel.h"
#include "autotrack/outlinefit.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <vector>

namespace zorvane {
namespace {

struct Thresholds {
    double adaptive;
    double memory;
};

struct Peak {
    cv::Point2d at;
    double score = -1;
};

// The one region that passes; none when `several` do.
template <typename Passes>
std::optional<Blob> onlyOneOf(const std::vector<Blob> &blobs, Passes passes, bool &several)
{
    std::optional<Blob> only;
    for (const Blob &blob : blobs) {
        if (!passes(blob))
            continue;
        if (only) {
            several = true;
            return std::nullopt;
        }
        only = blob;
    }
    return only;
}

// Regions sorted across the picture, so that those near a point are found
// without going through all of them: a picture of noise moves in
// thousands of specks, and comparing each with each took minutes.
class BlobsByX {
public:
    explicit BlobsByX(std::vector<Blob> blobs) : m_blobs(std::move(blobs))
    {
        std::sort(m_blobs.begin(), m_blobs.end(), [](const Blob &a, const Blob &b) { return a.centre.x < b.centre.x; });
    }

    bool anyWithin(Vec2 point, double reach) const
    {
        auto it = std::lower_bound(m_blobs.begin(), m_blobs.end(), point.x - reach,
                                   [](const Blob &blob, double x) { return blob.centre.x < x; });
        for (; it != m_blobs.end() && it->centre.x <= point.x + reach; ++it)
            if (length(minus(it->centre, point)) <= reach)
                return true;
        return false;
    }

private:
    std::vector<Blob> m_blobs;
};

Vec2 turned(Vec2 v, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {c * v.x - s * v.y, s * v.x + c * v.y};
}

double discArea(double radius) { return 3.14159 * radius * radius; }

double discRadius(double area) { return std::sqrt(area / 3.14159); }

// The best cell within `reach` cells of a point of a correlation map,
// refined between cells.
Peak peakNear(const cv::Mat &map, cv::Point2d at, int reach)
{
    const int x = std::clamp(static_cast<int>(std::lround(at.x)), 0, map.cols - 1);
    const int y = std::clamp(static_cast<int>(std::lround(at.y)), 0, map.rows - 1);
    const cv::Rect area =
        cv::Rect(x - reach, y - reach, 2 * reach + 1, 2 * reach + 1) & cv::Rect(0, 0, map.cols, map.rows);
    double best = 0;
    cv::Point loc;
    cv::minMaxLoc(map(area), nullptr, &best, nullptr, &loc);
    loc += area.tl();
    if (!std::isfinite(best))
        return {at, -1};
    double dx = 0, dy = 0;
    if (loc.x > 0 && loc.x < map.cols - 1)
        dx = parabolaOffset(map.at<float>(loc.y, loc.x - 1), best, map.at<float>(loc.y, loc.x + 1));
    if (loc.y > 0 && loc.y < map.rows - 1)
        dy = parabolaOffset(map.at<float>(loc.y - 1, loc.x), best, map.at<float>(loc.y + 1, loc.x));
    return {{loc.x + dx, loc.y + dy}, std::min(best, 1.0)};
}

// The cells of a map of `size` that peakNear() reads: `reach` either side
// of the cell nearest `at`, and the next ones for the parabola.
cv::Rect readByPeakNear(cv::Size size, cv::Point2d at, int reach)
{
    const int x = std::clamp(static_cast<int>(std::lround(at.x)), 0, size.width - 1);
    const int y = std::clamp(static_cast<int>(std::lround(at.y)), 0, size.height - 1);
    return cv::Rect(x - reach - 1, y - reach - 1, 2 * reach + 3, 2 * reach + 3) & cv::Rect(cv::Point(), size);
}

// The best cell of a correlation map, refined between cells.
Peak subPixelPeak(const cv::Mat &map)
{
    return peakNear(map, cv::Point2d(map.cols / 2, map.rows / 2), std::max(map.cols, map.rows));
}

// How far a correlation map falls one cell either side of a peak, along its
// flatter axis: a look with sharp edges places the object finely, a smooth
// one slides.
double peakSharpness(const cv::Mat &map, cv::Point2d at)
{
    if (map.cols < 3 || map.rows < 3)
        return 0;
    const int x = std::clamp(static_cast<int>(std::lround(at.x)), 1, map.cols - 2);
    const int y = std::clamp(static_cast<int>(std::lround(at.y)), 1, map.rows - 2);
    const float peak = map.at<float>(y, x);
    const double across = peak - 0.5 * (map.at<float>(y, x - 1) + map.at<float>(y, x + 1));
    const double down = peak - 0.5 * (map.at<float>(y - 1, x) + map.at<float>(y + 1, x));
    return std::isfinite(across) && std::isfinite(down) ? std::min(across, down) : 0;
}

// Radius of the outline around the patch centre whose slope points most
// consistently towards or away from the centre; 0 when none stands out.
// Radii under `minRadius` are left out: there, a stripe or a seam through
// the centre of a blurred ball outshines its outline.
double outlineRadius(const cv::Mat &patch, double minEdgeSlope, double minRadius)
{
    cv::Mat gx, gy;
    cv::Sobel(patch, gx, CV_32F, 1, 0, 3, 1.0 / 8);
    cv::Sobel(patch, gy, CV_32F, 0, 1, 3, 1.0 / 8);
    const int c = patch.cols / 2;
    std::vector<double> sum(c + 2, 0.0), count(c + 2, 0.0);
    for (int y = 1; y < patch.rows - 1; ++y) {
        for (int x = 1; x < patch.cols - 1; ++x) {
            const double dx = x - c, dy = y - c;
            const double r = std::hypot(dx, dy);
            if (r < 1.5 || r > c - 1)
                continue;
            const int bin = static_cast<int>(std::lround(r));
            sum[bin] += (gx.at<float>(y, x) * dx + gy.at<float>(y, x) * dy) / r;
            count[bin] += 1;
        }
    }
    double bestSlope = 0;
    int bestBin = 0;
    for (int bin = std::max(2, static_cast<int>(std::ceil(minRadius))); bin < c - 1; ++bin) {
        const double n = count[bin - 1] + count[bin] + count[bin + 1];
        if (n <= 0)
            continue;
        const double slope = std::fabs(sum[bin - 1] + sum[bin] + sum[bin + 1]) / n;
        if (slope > bestSlope) {
            bestSlope = slope;
            bestBin = bin;
        }
    }
    return bestSlope >= minEdgeSlope ? bestBin : 0;
}

double spreadWithin(const cv::Mat &patch, double radius)
{
    cv::Mat mask = cv::Mat::zeros(patch.size(), CV_8U);
    cv::circle(mask, cv::Point(patch.cols / 2, patch.rows / 2), static_cast<int>(std::ceil(radius)), cv::Scalar(255),
               -1);
    cv::Scalar mean, deviation;
    cv::meanStdDev(patch, mean, deviation, mask);
    return deviation[0];
}

template <typename Image>
cv::Mat frameHeader(const Image &frame, int channels)
{
    constexpr int kMaxSide = 1 << 15;
    if (frame.width <= 0 || frame.height <= 0 || frame.width > kMaxSide || frame.height > kMaxSide
        || frame.pixels.size() != static_cast<std::size_t>(frame.width) * frame.height * channels)
        throw AutoTrackError(AutoTrackErrorKind::BadFrame, "the frame's pixels do not fill its size");
    return cv::Mat(frame.height, frame.width, CV_8UC(channels), const_cast<std::uint8_t *>(frame.pixels.data()));
}

cv::Mat frameHeader(const RgbImage &frame) { return frameHeader(frame, 3); }

cv::Mat frameHeader(const GrayImage &frame) { return frameHeader(frame, 1); }

// Parameters brought into ranges where the tracker stays sound.
AutoTrackParameters sane(AutoTrackParameters p)
{
    auto clampTo = [](auto &value, auto low, auto high) {
        if (!(value >= low))
            value = low;
        if (!(value <= high))
            value = high;
    };
    clampTo(p.minProbeRadius, 4.0, 400.0);
    clampTo(p.defaultRadius, 2.0, 200.0);
    clampTo(p.minEdgeSlope, 0.0, 255.0);
    clampTo(p.minSpread, 0.0, 255.0);
    clampTo(p.maxObjectDiameter, 6.0, 48.0);
    clampTo(p.templateMargin, 1, 8);
    for (double *share :
         {&p.roundSupport,      &p.outlineSupport,    &p.followAdaptive,  &p.followMemory,  &p.widenedAdaptive,
          &p.widenedMemory,     &p.reacquireAdaptive, &p.reacquireMemory, &p.roundAdaptive, &p.roundMemory,
          &p.roundUnsureMemory, &p.sureScore,         &p.symmetricScore,  &p.adaptRate,     &p.adaptAbove,
          &p.roundAdaptAbove,   &p.anchorScore,       &p.anchorLead,      &p.uniqueLead,    &p.reacquireFirst,
          &p.anchorFits})
        clampTo(*share, 0.0, 1.0);
    clampTo(p.minRoundRadius, 2.0, 400.0);
    clampTo(p.outlineRms, 0.05, 10.0);
    clampTo(p.outlineSlope, 0.1, 255.0);
    clampTo(p.weakOutlineSlope, 0.1, 255.0);
    clampTo(p.weakOutlineSupport, 0.0, 1.0);
    clampTo(p.radiusChange, 0.0, 1.0);
    clampTo(p.radiusRate, 0.01, 1.0);
    clampTo(p.sizeTrendRate, 0.0, 1.0);
    clampTo(p.sizeTrendFrames, 1, 100);
    clampTo(p.sizeStep, 0.0, 0.5);
    clampTo(p.loneRegionFrames, 1, 100);
    clampTo(p.outlineShift, 0.0, 2.0);
    clampTo(p.wellOffClick, 0.0, 1.0);
    clampTo(p.offClickSupport, 0.0, 1.0);
    clampTo(p.largeCircleClick, 0.0, 1.0);
    clampTo(p.largerOutlineSupport, 0.0, 1.0);
    clampTo(p.nearerClick, 0.0, 100.0);
    clampTo(p.moreRays, 0.0, 1.0);
    clampTo(p.outlineOverColour, 0.0, 1.0);
    clampTo(p.completeOutline, 0.0, 1.0);
    clampTo(p.sharpOutline, 0.01, 10.0);
    clampTo(p.outlineReach, 0.0, 2.0);
    clampTo(p.coarseAbove, 4, 1000);
    clampTo(p.maxSearchSamples, 4, 160);
    clampTo(p.candidates, 1, 5);
    clampTo(p.pathPreference, 0.0, 2.0);
    clampTo(p.unknownMotionReach, 4.0, 300.0);
    clampTo(p.maxAppearances, 1, 32);
    clampTo(p.firstSamples, 1, 100);
    clampTo(p.scaleProbe, 0.001, 0.5);
    clampTo(p.turnProbe, 0.001, 0.5);
    clampTo(p.turnStep, 0.0, 0.5);
    clampTo(p.maxMissing, 0, 100000);
    clampTo(p.paceMemory, 0.0, 1.0);
    clampTo(p.missingOutside, 0, 100000);
    clampTo(p.globalSearchAfter, 1, 100000);
    clampTo(p.widenFrames, 0, 100);
    clampTo(p.roundLaterFrames, 0, 100000);
    clampTo(p.roundLaterSeen, 1, 1000);
    clampTo(p.globalSearchEvery, 1, 100000);
    clampTo(p.heldSearchEvery, 1, 100000);
    clampTo(p.coarseObjectSamples, 3.0, 64.0);
    clampTo(p.backgroundFrames, 1, 32);
    clampTo(p.backgroundLeast, 1, p.backgroundFrames);
    clampTo(p.backgroundMove, 0.0, 100.0);
    clampTo(p.backgroundEvery, 1, 100000);
    clampTo(p.foregroundContrast, 1.0, 255.0);
    clampTo(p.foregroundNoise, 0.0, 100.0);
    clampTo(p.spotTolerance, 0.1, 100.0);
    clampTo(p.outlineSpotTolerance, 0.0, 2.0);
    clampTo(p.blobAreaRange, 1.0, 100.0);
    clampTo(p.partialRegion, 0.01, 1.0);
    clampTo(p.returningRegion, 0.0, 1.0);
    clampTo(p.differenceReach, 1.0, 8.0);
    clampTo(p.differenceSmear, 0.0, 4.0);
    clampTo(p.differenceCover, 0.0, 4.0);
    clampTo(p.differenceLargest, 1.0, 100.0);
    clampTo(p.differenceSpeed, 0.0, 100.0);
    clampTo(p.differenceBorder, 0.0, 1.0);
    clampTo(p.differenceShift, 0.0, 100.0);
    clampTo(p.anchorOverRegion, 0.0, 2.0);
    clampTo(p.sharpLook, 0.0, 2.0);
    clampTo(p.silhouetteArea, 0.0, 2.0);
    clampTo(p.motionSearchSamples, 1.0, 100.0);
    clampTo(p.wholeSilhouette, 0.0, 2.0);
    clampTo(p.cameraPatches, 0, 32);
    clampTo(p.cameraReach, 1, 32);
    return p;
}

} // namespace

class AutoTracker::Private {
public:
    struct Match {
        Vec2 position;
        double adaptive = -1;
        double memory = -1;
        double rank = -std::numeric_limits<double>::infinity();
        double first = -1;      // correlation with the first appearance
        bool outline = false;   // the position is the centre of the object's fitted outline
        double radius = 0;      // of that outline, pixels
        double support = 0;     // share of its rays on the circle
        double rms = 0;         // scatter of its edges about the circle, pixels
        bool byOutline = false; // accepted on its outline alone
        bool anchored = false;  // placed by the first appearance, turned as the object
        bool lone = false;      // the lone moving region of its size, seen for a few frames
        bool leftFirst = false; // the one region of its size where the first frame differs
        bool byRegion = false;  // moved to where its moving region puts it, without an outline there
        double sharpness = 0;   // fall of the adapted template's correlation one sample off its peak
    };

    // `onColourAxis`: follows on the colour axis that sets the object
    // apart, rather than on luminance; without one, it has no target.
    Private(const AutoTrackParameters &parameters, bool onColourAxis)
            : m_onColourAxis(onColourAxis), m_p(sane(parameters)), m_camera(m_p.cameraPatches, m_p.cameraReach),
              m_background(m_p.backgroundFrames, m_p.backgroundLeast, m_p.foregroundContrast, m_p.foregroundNoise)
    {}

    void start(const cv::Mat &input, Vec2 click);
    void restart(const cv::Mat &input, Vec2 click, int framesAfter);
    void takeUpAt(const cv::Mat &input, Vec2 at);
    // `luminance` is the same frame in grey levels as decoded.
    TrackStep next(const cv::Mat &input, const CameraFrame &luminance);

    cv::Size frameSize() const { return m_frameSize; }
    // The frame given last may be the caller's pixels: nothing keeps them.
    void releaseFrame() { m_luminance.release(); }
    // How far the last claim was from where the motion put it, pixels.
    double lastResidual() const { return m_lastResidual; }
    // This view's kept frames show something moving at its own claim in
    // the frame just followed (grey levels) and nothing at the standing
    // view's claim, and the standing view's own do not show that moving.
    bool leftOnBackground(const cv::Mat &frame, Vec2 claim, const Private &standing, Vec2 standingClaim) const
    {
        return motionAt(frame, claim) == Motion::Moving && motionAt(frame, standingClaim) == Motion::Still
               && standing.motionAt(frame, standingClaim) != Motion::Moving;
    }
    // It follows the object's round outline, whose centre is the object's.
    bool round() const { return m_round; }
    // The other view saw the object round where this one may not (a blur,
    // a colour that shades into the background's).
    void alsoRoundIn(const Private &other) { m_ballLike = m_ballLike || other.m_round; }
    // Another view holds the object: the whole picture is searched for it
    // less often, as that view knows where it is.
    void heldElsewhere(bool held) { m_heldElsewhere = held; }
    // Its size now, pixels.
    double objectRadiusPx() const { return m_radius * m_spacing; }
    // How far its outline may have moved from that size: the smoothed size
    // lags an object coming closer or going away by the steps it weighs.
    double sizeTrendPx() const { return m_radius * m_spacingStep / m_p.radiusRate; }
    // The last claim is the centre of a sharp, nearly whole outline of the
    // object where it was expected.
    bool lastClaimOnWholeOutline() const { return m_lastOnWholeOutline; }
    // ... with nearly every ray on it.
    bool lastClaimOnAllOfOutline() const
    {
        return m_lastOnWholeOutline && m_lastOutline.support >= m_p.outlineOverColour;
    }
    // The outline the last claim is the centre of; radius 0 when it rests on none.
    Outline lastOutline() const { return m_lastOutline; }
    // The last claim is where the moving region put the object, off its
    // look's match: a side as grey as the background may pull it aside.
    bool lastClaimByRegion() const { return m_lastByRegion; }
    // The last claim shows the object's colour against its surroundings
    // about as clearly as the click did.
    bool lastClaimShowsColour() const { return m_lastColourShare >= kColourShown; }
    // It moves as fast as the object has lately: not still on something
    // that stands (a leaf of its grey).
    bool movingAtItsPace() const { return length(m_motion.velocity()) >= 0.5 * m_pace && m_pace >= 1; }

    Vec2 m_start;
    double m_separation = 0; // of the object on the colour axis, where this view located it
    bool m_hasTarget = false;
    bool m_lost = false;

private:
    struct Located {
        Vec2 centre;
        double radiusPx = 0; // pixels
        bool round = false;  // the radius is that of a fitted round outline
        bool flat = false;   // nothing to follow
    };
    TrackStep follow(const GraySampler &sampler, const CameraFrame &luminance);
    // Where the user clicked, circles larger than the texture suggests are
    // tried too (a ball close to the camera, clicked on its stripe); around
    // a claim, not (the wheel a followed marker is on).
    enum class Sizes { UpToProbe, Usual };
    Located locate(const GraySampler &sampler, Vec2 click, Sizes sizes = Sizes::UpToProbe) const;
    bool betterAtClick(const Circle &circle, const Circle &than, Vec2 click, bool clickedByUser) const;
    ColourProjection colourAxisOf(const cv::Mat &input, const Located &object) const;
    Vec2 takeLook(const GraySampler &sampler, const Located &object);
    void takeOutlineIfSeen(const GraySampler &sampler, Match &match);
    double searchRadiusPx() const;
    std::optional<Vec2> symmetryCentre(const GraySampler &sampler, Vec2 point, double minScore, double maxShift) const;
    cv::Mat templateAt(const GraySampler &sampler, Vec2 centre, double spacing) const;
    cv::Mat objectWeights() const;
    Vec2 onGrid(Vec2 centre, cv::Point2d offset, double spacing) const;
    Match search(const GraySampler &sampler, Vec2 centre, double radiusPx, Vec2 predicted) const;
    Match searchPicture(const GraySampler &sampler, Vec2 predicted);
    Match searchTurned(const GraySampler &sampler, Vec2 predicted, double radiusPx, Match best);
    Match refine(const GraySampler &sampler, Vec2 candidate, int reach, Vec2 predicted, double radiusPx) const;
    OutlineLimits limitsOfItsSize() const;
    enum class Motion { Unknown, Still, Moving };
    Motion motionAt(const cv::Mat &frame, Vec2 position) const;
    std::optional<Circle> outlineOfItsSize(const GraySampler &sampler, Vec2 guess) const;
    std::optional<Circle> outlineOfLargerSize(const GraySampler &sampler, Vec2 guess) const;
    bool smearedLarger() const;
    static void placeOn(Match &match, const Circle &circle);
    void fitToOutline(const GraySampler &sampler, Match &match) const;
    void fitToOutlineAround(const GraySampler &sampler, Match &match) const;
    // How far from a rough candidate its outline is looked for from, in radii.
    static constexpr double kAroundStep = 0.6;
    std::optional<Match> outlineOnPath(const GraySampler &sampler, Vec2 predicted) const;
    bool completeOutlineOnPath(const Match &match, Vec2 predicted) const;
    bool completeOutline(const Match &match) const;
    double nearPath() const;
    bool nearItsPath(Vec2 position, Vec2 predicted) const;
    bool inPicture(Vec2 position) const;
    bool accepted(const Match &match, const Thresholds &limits) const;
    bool closeAsAReacquisition(const Match &match) const;
    bool withinItsPace(Vec2 position) const;
    bool onPath(const Match &match, Vec2 predicted) const;
    void learn(const GraySampler &sampler, const Match &match, Vec2 predicted);
    void learnPose(const GraySampler &sampler, Vec2 centre);
    void anchorPose(const GraySampler &sampler, Match &match);
    bool predictionLeftPicture(Vec2 predicted) const;
    bool lastSeenAtTheEdge() const;
    std::optional<Match> findByMotion(const GraySampler &sampler, Vec2 predicted, double radiusPx);
    std::optional<Match> findAgainstTheFirstFrame(const GraySampler &sampler, Vec2 predicted, double radiusPx);
    struct Grid {
        Vec2 centre;
        double spacing;
        int half; // samples either side
    };
    Grid gridAlongPath(Vec2 predicted, double radiusPx, double extent) const;
    const std::vector<Blob> &rememberMovingEverywhere();
    bool onLookAlike(Vec2 position) const;
    bool followLoneRegion(Vec2 centre);
    void moveAsTheLoneRegion();
    bool onLookAlikeNow(Vec2 position);
    double travelPerFrame() const;
    bool beyondReach(Vec2 position, int frames) const;
    std::optional<Match> outlineOnPartialRegion(const GraySampler &sampler, const std::vector<Blob> &blobs,
                                                Vec2 predicted) const;
    Vec2 spotOn(const Blob &region) const;
    void learnSpotFrom(const Blob &region, Vec2 position);
    bool regionKnown() const;
    bool hasWholeArea(const Blob &region) const;
    void takeRegionArea(double area);
    Match outlineAroundRegion(const GraySampler &sampler, Match match, Vec2 spot) const;
    bool withinABounce(Vec2 position) const;
    double bounceReach() const;
    bool aboutArea(double area, double expected) const;
    double spotToleranceFor(double area, bool onOutline) const;
    double spotToleranceOnOutline() const;
    bool movesThere(const GraySampler &sampler, Match &match, Vec2 predicted);
    void centreOnDifference(Match &match) const;
    bool backgroundShowsOutline(const Match &match) const;
    bool learnSpotFromClick();
    std::optional<BackgroundModel::Finding> movingAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 at,
                                                     double spacing) const;
    void rememberClick(const cv::Mat &frame);
    void keepBackground(const cv::Mat &frame, std::optional<Vec2> object);
    Vec2 clickNow() const { return toPicture({m_start.x + m_clickOffset.x, m_start.y + m_clickOffset.y}); }
    Vec2 toWorld(Vec2 picture) const { return {picture.x + m_cameraOffset.x, picture.y + m_cameraOffset.y}; }
    Vec2 toPicture(Vec2 world) const { return {world.x - m_cameraOffset.x, world.y - m_cameraOffset.y}; }

    bool m_onColourAxis;
    AutoTrackParameters m_p;
    ColourProjection m_projection;
    // The frame in luminance, for what moves against the background: a
    // change of light shifts every colour axis but this one alike.
    cv::Mat m_luminance;
    cv::Size m_frameSize;
    int m_frame = 0;
    double m_spacing = 1; // frame pixels per template sample
    double m_spacingStep = 0; // its change per frame, as its outline showed it (an object coming or going)
    int m_sizedFrame = -1;    // the last frame its outline measured its size
    double m_firstSpacing = 1;
    double m_radius = 0;     // object radius in samples
    bool m_round = false;    // its outline is a circle, whose centre is followed
    bool m_ballLike = false; // round in one view or the other, once
    double m_angle = 0;      // the object's turn since the start, radians
    double m_turnRate = 0;   // per frame
    int m_half = 0;          // template half side in samples
    cv::Mat m_adaptive;
    cv::Mat m_weights;
    std::vector<cv::Mat> m_appearances; // the first one stays
    int m_lastAppearanceFrame = 0;
    int m_firstSamples = 1;
    MotionModel m_motion; // in world coordinates: picture plus the camera's offset
    CameraMotion m_camera;
    Vec2 m_cameraOffset;
    double m_lastResidual = 0;
    double m_typicalResidual = 0;
    double m_typicalScore = 1;
    // The fastest it went lately, pixels per frame: it may speed up again
    // while unseen (a marker on a wheel, slow where it turns).
    double m_pace = 0;
    int m_missing = 0;
    cv::Mat m_previousPictureMap; // of the last whole-picture search
    // Moving regions over the whole picture while the object is unseen,
    // and the look-alikes among them, in the frame given.
    std::vector<Blob> m_moving, m_lookAlikes;
    int m_movingFrame = -2;
    // The one region of the object's size moving over the whole picture,
    // frame after frame, while the object is unseen.
    struct Sighting {
        int frame;
        Vec2 world;
    };
    std::vector<Sighting> m_loneRegion;
    BackgroundModel m_background;
    Vec2 m_lastKeptWorld;
    int m_lastKeptFrame = 0;
    // Where the followed point lies from the moving region's centre, at
    // no turn and the first size: where the click was on it.
    Vec2 m_spot;
    bool m_spotKnown = false;
    double m_startContrast = 0;   // on the colour axis, between the object and its surroundings at the click
    double m_lastColourShare = 0; // of that contrast at the last claim
    static constexpr double kColourShown = 0.5;
    // A region this many times the object's radius holds more than it.
    static constexpr double kMuchLarger = 2.0;
    // The turn the spot is carried by: a ball's texture spins while its
    // region does not, so only a turn its first appearance confirmed counts.
    double m_spotAngle = 0;
    double m_blobArea = 0; // of the moving region, pixels
    double m_blobPace = 0; // the object's pace, pixels a frame, when that area was learnt
    cv::Mat m_clickFrame;  // until the spot is learnt
    Vec2 m_clickOffset;
    int m_lookFrame = 0;          // of the last look taken at a click
    int m_roundSeen = 0;          // claims in a row with another round outline around them than the one followed
    double m_roundSeenRadius = 0; // of the last of them, pixels
    std::optional<Blob> m_region; // what moves where the object was last claimed, when known
    bool m_heldElsewhere = false;
    bool m_lastOnWholeOutline = false;
    Outline m_lastOutline; // the last claim's
    bool m_lastByRegion = false;
};

// Of two circles round a click, the larger unless drawn by far fewer rays
// (edges of the texture around a small object, not its outline). Where
// the user clicked, the one centred on the click and drawn by more rays,
// whatever their sizes: a larger circle off the click then takes in the
// edges of what lies beside a ball clicked on its centre (the boards of a
// floor). Not around a claim, which a lit cap may have pulled aside.
bool AutoTracker::Private::betterAtClick(const Circle &circle, const Circle &than, Vec2 click, bool clickedByUser) const
{
    const double nearer = length(minus(than.centre, click)) - length(minus(circle.centre, click));
    const double moreRays = circle.support - than.support;
    if (clickedByUser && std::fabs(nearer) > m_p.nearerClick && std::fabs(moreRays) > m_p.moreRays
        && (nearer > 0) == (moreRays > 0))
        return nearer > 0;
    return circle.radius > than.radius + 0.3 && moreRays > -m_p.largerOutlineSupport;
}

// The object under a click: a round outline around it when there is one,
// its centre then being the object's.
AutoTracker::Private::Located AutoTracker::Private::locate(const GraySampler &sampler, Vec2 click, Sizes sizes) const
{
    const int probe =
        static_cast<int>(std::max(m_p.minProbeRadius, std::min(m_frameSize.width, m_frameSize.height) / 12.0));
    const cv::Mat around = sampler.sample(click, 1, cv::Size(2 * probe + 1, 2 * probe + 1));
    const double outline = outlineRadius(around, m_p.minEdgeSlope, m_p.minRoundRadius);
    // Round outlines of several sizes around the click; the one most rays
    // agree on, on which the click lies well inside.
    const OutlineLimits limits{m_p.roundSupport, m_p.outlineRms, m_p.outlineSlope};
    std::optional<Circle> best;
    std::vector<double> guesses{outline};
    // Up to a few times the outline the radial slopes show (the pattern of
    // a ball may show first), which keeps large circles of texture out.
    // Larger ones only centred on the click.
    const double usual = std::max(2.5 * outline, 2.4 * m_p.defaultRadius);
    const double largest = sizes == Sizes::Usual ? std::min<double>(probe, usual) : probe;
    for (double guess = m_p.minRoundRadius; guess < largest; guess *= 1.4)
        guesses.push_back(guess);
    for (const double guess : guesses) {
        if (guess < m_p.minRoundRadius)
            continue;
        std::optional<Circle> circle = fitOutline(sampler, click, guess, limits);
        if (circle)
            circle = fitOutline(
                sampler, circle->centre, circle->radius,
                OutlineLimits{limits.minSupport, limits.maxRms, limits.minSlope, circle->radius, m_p.radiusChange});
        if (!circle || circle->radius < m_p.minRoundRadius)
            continue;
        const double offClick = length(minus(circle->centre, click));
        if (offClick > std::max(1.5, 0.4 * circle->radius)
            || (circle->radius > usual && offClick > std::max(1.5, m_p.largeCircleClick * circle->radius)))
            continue;
        // Well off the click, part of a circle is more likely the end of a
        // longer object (an egg, a bottle) than a ball clicked off its centre.
        if (offClick > std::max(1.5, m_p.wellOffClick * circle->radius) && circle->support < m_p.offClickSupport)
            continue;
        // Larger, but drawn by far fewer rays: edges of the texture around
        // a small object, not its outline.
        if (!best || betterAtClick(*circle, *best, click, sizes == Sizes::UpToProbe))
            best = circle;
    }
    if (best)
        return {best->centre, best->radius, true, false};
    const double radius = outline > 0 ? outline : m_p.defaultRadius;
    return {click, radius, false, spreadWithin(around, radius + m_p.templateMargin) < m_p.minSpread};
}

// Sizes the templates on the object and takes its look as the first
// appearance (or one more, after a restart); returns where it took it.
Vec2 AutoTracker::Private::takeLook(const GraySampler &sampler, const Located &object)
{
    const double radiusPx = object.radiusPx;
    m_round = object.round;
    m_ballLike = m_ballLike || m_round;
    m_spacing = std::max(1.0, 2 * radiusPx / m_p.maxObjectDiameter);
    m_firstSpacing = m_spacing;
    m_spacingStep = 0;
    m_sizedFrame = -1;
    m_radius = radiusPx / m_spacing;
    m_half = static_cast<int>(std::ceil(m_radius)) + m_p.templateMargin;
    m_weights = objectWeights();
    m_angle = 0;
    m_spotAngle = 0;
    m_turnRate = 0;
    m_loneRegion.clear();
    // A click is up to half a pixel off the object's centre.
    const Vec2 centre =
        symmetryCentre(sampler, object.centre, m_round ? m_p.symmetricScore : 0.6, 1.0).value_or(object.centre);
    m_adaptive = templateAt(sampler, centre, m_spacing);
    m_appearances = {m_adaptive.clone()};
    m_firstSamples = 1;
    m_lastAppearanceFrame = m_frame;
    m_lookFrame = m_frame;
    m_roundSeen = 0;
    return centre;
}

// An object whose click frame did not show its outline as it is: not
// round there (compression, a blur, a hand over it), or round but smaller
// (a hand over part of it, an edge of its pattern taken for its outline,
// then followed as it grew). The same outline around several claims in a
// row, with the area and centre of what moves there, makes it round at
// that size, followed by its centre from then.
void AutoTracker::Private::takeOutlineIfSeen(const GraySampler &sampler, Match &match)
{
    const bool mayBecomeRound = !m_round && m_frame - m_lookFrame <= m_p.roundLaterFrames;
    const bool mayBeLarger = m_round && m_region && m_region->area > m_p.blobAreaRange * discArea(objectRadiusPx());
    if (m_onColourAxis || (!mayBecomeRound && !mayBeLarger)) {
        m_roundSeen = 0;
        return;
    }
    const Located object = locate(sampler, mayBecomeRound ? match.position : m_region->centre, Sizes::Usual);
    const bool sameSize =
        m_roundSeen > 0 && std::fabs(object.radiusPx - m_roundSeenRadius) <= m_p.radiusChange * m_roundSeenRadius + 1;
    const bool larger = object.radiusPx > (1 + m_p.radiusChange) * objectRadiusPx() + 1;
    m_roundSeen = !object.round || (m_round && !larger) ? 0 : sameSize ? m_roundSeen + 1 : 1;
    m_roundSeenRadius = object.radiusPx;
    if (m_roundSeen < m_p.roundLaterSeen)
        return;
    // Its outline must be its silhouette: the region that moves has about
    // its area and its centre (a person's head is round, but what moves
    // is the person).
    const std::optional<BackgroundModel::Finding> moving =
        movingAt(m_luminance, m_cameraOffset, object.centre, m_spacing);
    if (!moving || !moving->blob || !aboutArea(moving->blob->area, discArea(object.radiusPx))
        || length(minus(moving->blob->centre, object.centre)) > m_p.spotTolerance)
        return;
    match.position = takeLook(sampler, object);
    // Its followed point is now its centre: the moving region's.
    m_spotKnown = false;
    m_spotAngle = 0;
    m_blobArea = 0;
}

void AutoTracker::Private::start(const cv::Mat &input, Vec2 click)
{
    m_frameSize = input.size();
    m_start = click;
    cv::Mat frame = toGray(input, m_projection);
    m_luminance = frame;
    Located object = locate(GraySampler(frame), click);
    if (object.flat)
        return;
    if (m_onColourAxis) {
        m_projection = colourAxisOf(input, object);
        if (m_projection.luminance)
            return;
        frame = toGray(input, m_projection);
        object = locate(GraySampler(frame), click);
        m_separation = projectionFor(input, object.centre, object.radiusPx).separation;
        if (object.flat)
            return;
    }
    const GraySampler sampler(frame);
    m_start = takeLook(sampler, object);
    if (m_onColourAxis)
        m_startContrast = contrastAt(frame, m_start, objectRadiusPx());
    m_camera.measure(m_luminance, m_start, objectRadiusPx());
    m_motion.add(m_frame, toWorld(m_start));
    m_hasTarget = true;
    keepBackground(m_luminance, toWorld(m_start));
    rememberClick(m_luminance);
}

// The colour axis that sets the object apart. Where no axis sets apart a
// disc of the size luminance gave, that size may be the background's
// texture's (an object of the background's grey, its colour smeared by
// compression), or a dark spot's on a ball of the wall's grey, whose small
// outline is all luminance shows: object sizes around the click are tried,
// and the axis that sets one apart best is taken.
ColourProjection AutoTracker::Private::colourAxisOf(const cv::Mat &input, const Located &object) const
{
    ColourProjection best = projectionFor(input, object.centre, object.radiusPx);
    if (!best.luminance)
        return best;
    for (double radius = m_p.minRoundRadius; radius < 2.4 * m_p.defaultRadius; radius *= 1.4) {
        const ColourProjection tried = projectionFor(input, object.centre, radius);
        if (!tried.luminance && (best.luminance || tried.separation > best.separation))
            best = tried;
    }
    return best;
}

// Picking up after a stop: what was learnt of the motion stays, the look
// is taken afresh and the old ones stay as anchors.
void AutoTracker::Private::restart(const cv::Mat &input, Vec2 click, int framesAfter)
{
    if (!m_hasTarget) {
        m_lost = false;
        m_frame += framesAfter;
        start(input, click);
        return;
    }
    const cv::Mat frame = toGray(input, m_projection);
    m_luminance = m_projection.luminance ? frame : toGray(input, ColourProjection());
    const GraySampler sampler(frame);
    const Located object = locate(sampler, click);
    m_frame += framesAfter;
    m_lost = false;
    m_missing = 0;
    if (object.flat) {
        m_lost = true;
        return;
    }
    const std::vector<cv::Mat> earlier = m_appearances;
    const cv::Size earlierSize = m_adaptive.size();
    m_start = takeLook(sampler, object);
    if (earlierSize == m_adaptive.size())
        for (std::size_t i = 0;
             i < earlier.size() && m_appearances.size() < static_cast<std::size_t>(m_p.maxAppearances); ++i)
            m_appearances.push_back(earlier[i]);
    m_camera.forget();
    m_camera.measure(m_luminance, m_start, objectRadiusPx());
    // The camera's moves over the gap are not known, nor whether the click
    // is on the same spot of the object.
    m_background.forget();
    m_spotKnown = false;
    keepBackground(m_luminance, toWorld(m_start));
    rememberClick(m_luminance);
    if (framesAfter > 1)
        m_motion.keepNewest(1); // the motion before the gap says little about now
    m_motion.add(m_frame, toWorld(m_start));
}

// Starts again at a point of the frame just followed, as if clicked there:
// the motion before says nothing of where it goes next.
void AutoTracker::Private::takeUpAt(const cv::Mat &input, Vec2 at)
{
    restart(input, at, 0);
    m_motion.keepNewest(1);
    releaseFrame();
}

// The centre of point symmetry near `point`: the patch matched against
// itself turned half a turn. Empty when the object shows none there.
std::optional<Vec2> AutoTracker::Private::symmetryCentre(const GraySampler &sampler, Vec2 point, double minScore,
                                                         double maxShift) const
{
    constexpr int kReach = 3;
    const int side = 2 * m_half + 1;
    const cv::Mat patch = sampler.sample(point, m_spacing, cv::Size(side, side), m_angle);
    const cv::Mat area = sampler.sample(point, m_spacing, cv::Size(side + 2 * kReach, side + 2 * kReach), m_angle);
    cv::Mat turned;
    cv::flip(patch, turned, -1);
    const Peak peak = subPixelPeak(correlate(area, turned, m_weights));
    const Vec2 centre = onGrid(point, cv::Point2d((peak.at.x - kReach) / 2, (peak.at.y - kReach) / 2), m_spacing);
    if (peak.score < minScore || length(minus(centre, point)) > maxShift)
        return std::nullopt;
    return centre;
}

cv::Mat AutoTracker::Private::templateAt(const GraySampler &sampler, Vec2 centre, double spacing) const
{
    const int side = 2 * m_half + 1;
    return sampler.sample(centre, spacing, cv::Size(side, side), m_angle);
}

// A point of a sampling grid at `spacing` turned with the object, `offset`
// samples from the grid's centre.
Vec2 AutoTracker::Private::onGrid(Vec2 centre, cv::Point2d offset, double spacing) const
{
    const double c = spacing * std::cos(m_angle), s = spacing * std::sin(m_angle);
    return {centre.x + c * offset.x - s * offset.y, centre.y + s * offset.x + c * offset.y};
}

// Weights of the template samples: the object, and the background around
// it fading out. Background that stays put while the object moves would
// otherwise pull the match back towards the object's previous place.
cv::Mat AutoTracker::Private::objectWeights() const
{
    const int side = 2 * m_half + 1;
    cv::Mat weights(side, side, CV_32F);
    const double full = m_radius + 1;
    const double gone = m_half + 0.5;
    for (int y = 0; y < side; ++y) {
        float *row = weights.ptr<float>(y);
        for (int x = 0; x < side; ++x) {
            const double r = std::hypot(x - m_half, y - m_half);
            row[x] = static_cast<float>(std::clamp((gone - r) / std::max(gone - full, 1.0), 0.0, 1.0));
        }
    }
    return weights;
}

double AutoTracker::Private::searchRadiusPx() const
{
    const double objectRadius = objectRadiusPx();
    const double base = std::max(4.0, 0.5 * objectRadius);
    if (m_motion.samples() < 2) {
        // No motion known yet: a fast object may be anywhere nearby, and
        // farther with every frame it stays unseen, until the whole
        // picture is searched.
        const double scale = std::max(1.0, m_frameSize.height / 1080.0);
        const int unseen = std::min(m_missing, m_p.globalSearchAfter - 1);
        return (1 + unseen) * std::max(m_p.unknownMotionReach * scale, 3 * objectRadius);
    }
    const double speed = length(m_motion.velocity());
    // Growing while the object is unseen, up to a point: beyond it the
    // whole-picture search takes over, and the work per frame stays bounded.
    const int unseen = std::min(m_missing, m_p.widenFrames);
    return base + 2 * m_lastResidual + 0.2 * speed + unseen * (3 + 0.3 * speed + 0.2 * objectRadius);
}

AutoTracker::Private::Match AutoTracker::Private::search(const GraySampler &sampler, Vec2 centre, double radiusPx,
                                                         Vec2 predicted) const
{
    // Never wider than the picture: beyond it, only its repeated border.
    radiusPx = std::min(radiusPx, std::hypot(m_frameSize.width, m_frameSize.height));
    const int radius = std::clamp(static_cast<int>(std::ceil(radiusPx / m_spacing)), 1, m_p.maxSearchSamples);
    const int level = radius > m_p.coarseAbove ? 2 : 1;
    const int coarseRadius = (radius + level - 1) / level;
    const int coarseHalf = m_half / level;
    const int coarseSide = 2 * coarseHalf + 1;
    const double coarseSpacing = m_spacing * level;
    const cv::Size coarseSize(coarseSide, coarseSide);
    const cv::Point2d middle(m_half, m_half);
    const cv::Mat templ = level == 1 ? m_adaptive : resampleAbout(m_adaptive, middle, level, coarseSize);
    const cv::Mat weights = level == 1 ? m_weights : resampleAbout(m_weights, middle, level, coarseSize);
    const int side = coarseSide + 2 * coarseRadius;
    cv::Mat map = correlate(sampler.sample(centre, coarseSpacing, cv::Size(side, side), m_angle), templ, weights);

    auto positionOf = [&](cv::Point cell) {
        return onGrid(centre, cv::Point2d(cell.x - coarseRadius, cell.y - coarseRadius), coarseSpacing);
    };
    const double reachPx = std::max(radiusPx, 1.0);
    for (int y = 0; y < map.rows; ++y) {
        float *row = map.ptr<float>(y);
        for (int x = 0; x < map.cols; ++x) {
            const double d = length(minus(positionOf({x, y}), predicted)) / reachPx;
            row[x] -= static_cast<float>(m_p.pathPreference * d * d);
        }
    }

    Match best;
    double firstScore = 0;
    const int suppress = std::max(1, coarseHalf);
    for (int i = 0; i < m_p.candidates; ++i) {
        double score = 0;
        cv::Point cell;
        cv::minMaxLoc(map, nullptr, &score, nullptr, &cell);
        if (i == 0)
            firstScore = score;
        else if (score < firstScore - 0.4 || score < 0.2)
            break;
        Match match = refine(sampler, positionOf(cell), level + 1, predicted, reachPx);
        fitToOutline(sampler, match);
        if (match.rank > best.rank)
            best = match;
        cv::circle(map, cell, suppress, cv::Scalar(-10), -1);
    }
    return best;
}

// A turning object that turned faster or slower than expected: the same
// search with the templates turned a little either way; the object's turn
// follows the best.
AutoTracker::Private::Match AutoTracker::Private::searchTurned(const GraySampler &sampler, Vec2 predicted,
                                                               double radiusPx, Match best)
{
    const double unturned = m_angle;
    double bestAngle = m_angle;
    for (const double step : {-1.0, 1.0}) {
        m_angle = unturned + step * m_p.turnStep;
        const Match match = search(sampler, predicted, radiusPx, predicted);
        if (match.rank > best.rank + 0.05) {
            best = match;
            bestAngle = m_angle;
        }
    }
    // The turn is kept only if it finds the object.
    m_angle = unturned;
    if (accepted(best, {m_p.followAdaptive, m_p.followMemory}) && bestAngle != unturned) {
        m_angle = bestAngle;
        m_turnRate += 0.5 * (bestAngle - unturned);
    }
    return best;
}

// The whole picture at reduced resolution, for an object that has been
// out of sight: the best place that is clearly better than the second.
AutoTracker::Private::Match AutoTracker::Private::searchPicture(const GraySampler &sampler, Vec2 predicted)
{
    // Whole pixels per coarse sample, so that an area average shrinks the
    // picture fast.
    const int factor = std::max(1, static_cast<int>(std::lround(2 * objectRadiusPx() / m_p.coarseObjectSamples)));
    const double level = factor / m_spacing;
    const int coarseHalf = std::max(1, static_cast<int>(std::lround(m_half / level)));
    const cv::Size coarseSize(2 * coarseHalf + 1, 2 * coarseHalf + 1);
    const cv::Point2d middle(m_half, m_half);
    const cv::Mat templ = resampleAbout(m_appearances.front(), middle, level, coarseSize);
    const cv::Mat weights = resampleAbout(m_weights, middle, level, coarseSize);
    const cv::Mat gray = sampler.gray();
    cv::Mat small, picture;
    cv::resize(gray, small, cv::Size(std::max(1, gray.cols / factor), std::max(1, gray.rows / factor)), 0, 0,
               cv::INTER_AREA);
    small.convertTo(picture, CV_32F);
    if (picture.cols < coarseSize.width || picture.rows < coarseSize.height)
        return {};
    // The object may have turned: the search runs unturned, the match then
    // refines with the last turn.
    cv::Mat map = correlate(picture, templ, weights);
    // Background that looks like the object stays where it is; the object
    // coming back shows where the previous search saw nothing like it.
    const cv::Mat before = m_previousPictureMap.size() == map.size() ? m_previousPictureMap : cv::Mat();
    m_previousPictureMap = map.clone();
    if (before.empty())
        return {};
    auto positionOf = [&](cv::Point cell) {
        return Vec2{(cell.x + coarseHalf) * factor + (factor - 1) / 2.0,
                    (cell.y + coarseHalf) * factor + (factor - 1) / 2.0};
    };
    std::vector<Match> found;
    for (int i = 0; i < m_p.candidates + 1; ++i) {
        double score = 0;
        cv::Point cell;
        cv::minMaxLoc(map, nullptr, &score, nullptr, &cell);
        if (score < 0.3)
            break;
        cv::circle(map, cell, 2 * coarseHalf, cv::Scalar(-10), -1);
        const cv::Rect near = cv::Rect(cell.x - 1, cell.y - 1, 3, 3) & cv::Rect(0, 0, before.cols, before.rows);
        double earlier = 0;
        cv::minMaxLoc(before(near), nullptr, &earlier);
        Match match = refine(sampler, positionOf(cell), static_cast<int>(std::ceil(level)) + 1, predicted,
                             std::max(m_frameSize.width, m_frameSize.height));
        fitToOutline(sampler, match);
        if (!match.outline)
            fitToOutlineAround(sampler, match);
        const bool again = std::any_of(found.begin(), found.end(), [&](const Match &other) {
            return length(minus(other.position, match.position)) < objectRadiusPx();
        });
        if (!again)
            found.push_back(match);
        if (earlier > score - m_p.uniqueLead)
            found.back().adaptive = found.back().memory = -1; // it was there before: not the object coming back
    }
    std::sort(found.begin(), found.end(),
              [](const Match &a, const Match &b) { return a.adaptive + a.memory > b.adaptive + b.memory; });
    if (found.empty())
        return {};
    if (found.size() >= 2
        && found[0].adaptive + found[0].memory - found[1].adaptive - found[1].memory < 2 * m_p.uniqueLead)
        return {}; // a look-alike: no telling which
    return found.front();
}

// Matches every template around one candidate at full detail, following
// the adapted template's peak when it lies at the edge of the area.
AutoTracker::Private::Match AutoTracker::Private::refine(const GraySampler &sampler, Vec2 candidate, int reach,
                                                         Vec2 predicted, double radiusPx) const
{
    constexpr int kMoves = 3;
    const int side = 2 * m_half + 1 + 2 * reach;
    cv::Mat area, adaptiveMap;
    Peak adaptive;
    for (int move = 0; move <= kMoves; ++move) {
        area = sampler.sample(candidate, m_spacing, cv::Size(side, side), m_angle);
        adaptiveMap = correlate(area, m_adaptive, m_weights);
        adaptive = subPixelPeak(adaptiveMap);
        const cv::Point cell(static_cast<int>(std::lround(adaptive.at.x)),
                             static_cast<int>(std::lround(adaptive.at.y)));
        const bool atEdge = cell.x == 0 || cell.y == 0 || cell.x == 2 * reach || cell.y == 2 * reach;
        if (!atEdge || move == kMoves)
            break;
        candidate = onGrid(candidate, cv::Point2d(cell.x - reach, cell.y - reach), m_spacing);
    }
    Match match;
    match.adaptive = adaptive.score;
    match.sharpness = peakSharpness(adaptiveMap, adaptive.at);
    cv::Point2d at = adaptive.at;
    for (std::size_t i = 0; i < m_appearances.size(); ++i) {
        const bool anchors = i == 0 && !m_round;
        const cv::Mat &appearance = m_appearances[i];
        const cv::Size mapSize(area.cols - appearance.cols + 1, area.rows - appearance.rows + 1);
        const cv::Mat map =
            correlateWithin(area, appearance, m_weights, readByPeakNear(mapSize, adaptive.at, anchors ? 2 : 1));
        const double score = peakNear(map, adaptive.at, 1).score;
        match.memory = std::max(match.memory, score);
        if (i == 0)
            match.first = score;
        // The first appearance anchors the position while it still fits
        // nearly as well as the adapted template, so small errors of the
        // latter cannot add up.
        if (anchors) {
            const Peak first = peakNear(map, adaptive.at, 2);
            const bool fits = first.score >= m_p.anchorScore && first.score >= adaptive.score - m_p.anchorLead;
            if (fits && std::hypot(first.at.x - adaptive.at.x, first.at.y - adaptive.at.y) < 2)
                at = first.at;
        }
    }
    match.position = onGrid(candidate, cv::Point2d(at.x - reach, at.y - reach), m_spacing);
    const double d = length(minus(match.position, predicted)) / std::max(radiusPx, 1.0);
    match.rank = 0.5 * (match.adaptive + match.memory) - m_p.pathPreference * d * d;
    return match;
}

// What a sharp outline of about the object's size shows.
OutlineLimits AutoTracker::Private::limitsOfItsSize() const
{
    return {m_p.outlineSupport, m_p.outlineRms, m_p.outlineSlope, objectRadiusPx(), m_p.radiusChange, sizeTrendPx()};
}

// A round object's centre is its outline's, not where its texture matched.
// The circle of about the object's size that its outline draws around a guess.
std::optional<Circle> AutoTracker::Private::outlineOfItsSize(const GraySampler &sampler, Vec2 guess) const
{
    const double radius = objectRadiusPx();
    // Compression flattens the edges of a dim or small object: weaker
    // edges count where nearly all the rays find them.
    return fitOutline(sampler, guess, radius,
                      {limitsOfItsSize(), OutlineLimits{m_p.weakOutlineSupport, m_p.outlineRms, m_p.weakOutlineSlope,
                                                        radius, m_p.radiusChange, sizeTrendPx()}});
}

// Motion smears an object that goes farther than its radius each frame
// into larger circles than it is.
bool AutoTracker::Private::smearedLarger() const { return length(m_motion.velocity()) > objectRadiusPx(); }

// An object coming closer faster than its size is followed: a whole,
// sharp outline a little larger than expected. Not smaller: a lit cap or
// the shaded rim of a ball draws smaller circles, whole ones too.
std::optional<Circle> AutoTracker::Private::outlineOfLargerSize(const GraySampler &sampler, Vec2 guess) const
{
    const double larger = (1 + m_p.sizeStep) * objectRadiusPx();
    return fitOutline(sampler, guess, larger,
                      OutlineLimits{m_p.completeOutline, m_p.sharpOutline, m_p.outlineSlope, larger, m_p.radiusChange});
}

void AutoTracker::Private::placeOn(Match &match, const Circle &circle)
{
    match.position = circle.centre;
    match.outline = true;
    match.radius = circle.radius;
    match.support = circle.support;
    match.rms = circle.rms;
}

void AutoTracker::Private::fitToOutline(const GraySampler &sampler, Match &match) const
{
    if (!m_round)
        return;
    const double radius = objectRadiusPx();
    std::optional<Circle> circle = outlineOfItsSize(sampler, match.position);
    if ((!circle || std::fabs(circle->radius - radius) > m_p.radiusChange * radius + 1) && !smearedLarger())
        circle = outlineOfLargerSize(sampler, match.position);
    if (!circle || length(minus(circle->centre, match.position)) > m_p.outlineShift * radius)
        return;
    placeOn(match, *circle);
    match.rank += 0.2 * circle->support;
}

// A candidate of the whole-picture search lies only roughly on the object
// (its coarse grid, and a face turned since the first appearance pull the
// texture's match aside): a whole, sharp outline of its size is looked for
// from around it too, and the best one places it.
void AutoTracker::Private::fitToOutlineAround(const GraySampler &sampler, Match &match) const
{
    if (!m_round)
        return;
    const double radius = objectRadiusPx();
    std::optional<Match> best;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0)
                continue;
            const Vec2 guess{match.position.x + kAroundStep * radius * dx,
                             match.position.y + kAroundStep * radius * dy};
            const std::optional<Circle> circle = outlineOfItsSize(sampler, guess);
            if (!circle || length(minus(circle->centre, match.position)) > radius)
                continue;
            Match placed = match;
            placeOn(placed, *circle);
            if (completeOutline(placed) && (!best || placed.support > best->support))
                best = placed;
        }
    }
    if (best)
        match = *best;
}

// A round object whose texture turned too far for the templates (a spinning
// ball, a disc with a stripe): a sharp, complete outline of its size where
// it is expected is the object, whatever its face shows.
std::optional<AutoTracker::Private::Match> AutoTracker::Private::outlineOnPath(const GraySampler &sampler,
                                                                               Vec2 predicted) const
{
    if (m_motion.samples() < 2)
        return std::nullopt;
    const double radius = objectRadiusPx();
    Match match;
    match.position = predicted;
    fitToOutline(sampler, match);
    if (!completeOutlineOnPath(match, predicted) || !inPicture(match.position))
        return std::nullopt;
    const Match scored = refine(sampler, match.position, 1, predicted, radius);
    match.adaptive = scored.adaptive;
    match.memory = scored.memory;
    match.first = scored.first;
    match.byOutline = true;
    return match;
}

// How far from the predicted place a claim may be that rests on the
// object's outline or its moving region alone: a share of its size, plus
// up to as much for the usual miss.
double AutoTracker::Private::nearPath() const
{
    const double near = std::max(m_p.minRoundRadius, m_p.outlineReach * objectRadiusPx());
    return near + std::min(2 * m_typicalResidual, near);
}

// Near where the object was predicted or, while one position alone tells
// its motion (just clicked, or found again anywhere), where its pace can
// have taken it: the prediction then stays there.
bool AutoTracker::Private::nearItsPath(Vec2 position, Vec2 predicted) const
{
    return length(minus(position, predicted)) <= nearPath() || (m_motion.samples() < 2 && withinItsPace(position));
}

// A sharp outline of the object's size, nearly whole, where the object
// was expected.
bool AutoTracker::Private::completeOutlineOnPath(const Match &match, Vec2 predicted) const
{
    return completeOutline(match) && length(minus(match.position, predicted)) <= nearPath();
}

bool AutoTracker::Private::completeOutline(const Match &match) const
{
    return match.outline && match.support >= m_p.completeOutline
           && match.rms <= m_p.sharpOutline * (1 + objectRadiusPx() / 40);
}

bool AutoTracker::Private::inPicture(Vec2 position) const
{
    return position.x >= -0.5 && position.y >= -0.5 && position.x < m_frameSize.width - 0.5
           && position.y < m_frameSize.height - 0.5;
}

bool AutoTracker::Private::accepted(const Match &match, const Thresholds &limits) const
{
    if (!inPicture(match.position))
        return false;
    // A round object is placed by its outline; without one, its texture
    // alone must match closely, as it may have turned.
    double adaptive = limits.adaptive, memory = limits.memory;
    if (m_round && match.outline)
        adaptive = std::min(adaptive, m_p.roundAdaptive), memory = std::min(memory, m_p.roundMemory);
    else if (m_round)
        adaptive = std::max(adaptive, m_p.sureScore), memory = std::max(memory, m_p.roundUnsureMemory);
    return match.adaptive >= adaptive && match.memory >= memory;
}

bool AutoTracker::Private::closeAsAReacquisition(const Match &match) const
{
    return match.adaptive >= m_p.reacquireAdaptive && match.memory >= m_p.reacquireMemory;
}

bool AutoTracker::Private::withinItsPace(Vec2 position) const
{
    const double pace = 1.5 * std::max(length(m_motion.velocity()), m_pace);
    return length(minus(position, toPicture(m_motion.lastPosition()))) <= (m_missing + 1) * pace + objectRadiusPx();
}

// A middling match off a path the object kept to closely is more likely
// the object half covered, pulled aside by what covers it, than the
// object itself.
bool AutoTracker::Private::onPath(const Match &match, Vec2 predicted) const
{
    if (match.adaptive >= std::min(m_p.sureScore, m_typicalScore - 0.1) || m_motion.samples() < 4 || m_missing > 0)
        return true;
    return length(minus(match.position, predicted)) <= 1 + 4 * std::max(m_typicalResidual, 0.5);
}

void AutoTracker::Private::learn(const GraySampler &sampler, const Match &match, Vec2 predicted)
{
    const double residual = length(minus(match.position, predicted));
    // An abrupt turn (a bounce): older positions no longer describe the motion.
    if (m_motion.samples() >= 3 && residual > std::max(3.0, 0.5 * objectRadiusPx()))
        m_motion.keepNewest(1);
    if (!m_motion.empty() && m_frame > m_motion.lastFrame()) {
        const double step =
            length(minus(toWorld(match.position), m_motion.lastPosition())) / (m_frame - m_motion.lastFrame());
        m_pace = std::max(step, m_p.paceMemory * m_pace);
    }
    m_motion.add(m_frame, toWorld(match.position));
    m_lastResidual = residual;
    m_lastOnWholeOutline = completeOutlineOnPath(match, predicted);
    m_lastOutline = match.outline ? Outline{match.radius, match.support} : Outline{};
    m_lastByRegion = match.byRegion;
    m_typicalResidual = m_motion.samples() <= 2 ? residual : 0.8 * m_typicalResidual + 0.2 * residual;
    m_typicalScore = 0.8 * m_typicalScore + 0.2 * match.adaptive;
    m_missing = 0;
    if (match.outline) {
        // The outline tells the size: the templates follow it.
        // Smoothed: a lit cap or a seam may give a smaller circle now and then.
        const double measured = match.radius / m_radius;
        const double before = m_spacing;
        m_spacing =
            std::clamp(m_spacing + m_p.radiusRate * (measured - m_spacing), m_firstSpacing / 4, m_firstSpacing * 4);
        const int since = m_frame - m_sizedFrame;
        if (m_sizedFrame >= 0 && since <= m_p.sizeTrendFrames)
            m_spacingStep += m_p.sizeTrendRate * ((m_spacing - before) / since - m_spacingStep);
        else
            m_spacingStep = 0;
        m_sizedFrame = m_frame;
    }
    // A round object's looks are learnt where its outline placed it only,
    // so that the templates cannot slide off its centre.
    if (match.adaptive < (match.outline ? m_p.roundAdaptAbove : m_p.adaptAbove) || (m_round && !match.outline))
        return;
    const cv::Mat now = templateAt(sampler, match.position, m_spacing);
    cv::addWeighted(m_adaptive, 1 - m_p.adaptRate, now, m_p.adaptRate, 0, m_adaptive);
    if (m_firstSamples < m_p.firstSamples) {
        // The first appearance is the mean of the first few frames: less
        // noise in it, where the object is faint.
        ++m_firstSamples;
        cv::addWeighted(m_appearances.front(), 1 - 1.0 / m_firstSamples, now, 1.0 / m_firstSamples, 0,
                        m_appearances.front());
    }
    if (match.adaptive >= 0.9 && match.memory < 0.8 && m_frame - m_lastAppearanceFrame >= 5) {
        if (m_appearances.size() >= static_cast<std::size_t>(m_p.maxAppearances))
            m_appearances.erase(m_appearances.begin() + std::min<std::ptrdiff_t>(1, m_appearances.size() - 1));
        m_appearances.push_back(now);
        m_lastAppearanceFrame = m_frame;
    }
    if (match.adaptive >= 0.85)
        learnPose(sampler, match.position);
}

// Compares the adapted template with the picture sampled a little finer
// and coarser, and a little turned either way, and follows the better fit.
void AutoTracker::Private::learnPose(const GraySampler &sampler, Vec2 centre)
{
    constexpr int kReach = 2;
    const cv::Size size(2 * m_half + 1 + 2 * kReach, 2 * m_half + 1 + 2 * kReach);
    auto fit = [&](double spacing, double angle) {
        double best = 0;
        cv::minMaxLoc(correlate(sampler.sample(centre, spacing, size, angle), m_adaptive, m_weights), nullptr, &best);
        return best;
    };
    const double now = fit(m_spacing, m_angle);
    const double scaleStep = parabolaOffset(fit(m_spacing * (1 - m_p.scaleProbe), m_angle), now,
                                            fit(m_spacing * (1 + m_p.scaleProbe), m_angle))
                             * 2 * m_p.scaleProbe;
    const double turn =
        parabolaOffset(fit(m_spacing, m_angle - m_p.turnProbe), now, fit(m_spacing, m_angle + m_p.turnProbe)) * 2
        * m_p.turnProbe;
    m_spacing = std::clamp(m_spacing * (1 + 0.7 * scaleStep), m_firstSpacing / 4, m_firstSpacing * 4);
    m_angle += 0.7 * turn;
    m_turnRate += 0.5 * 0.7 * turn;
}

// A rigid object's turn and place against its first appearance, which
// cannot drift as the adapted look can (a turning square whose corner
// alone pulled the adapted look around). Nothing changes where that
// appearance no longer fits: the object turned in depth or changed.
void AutoTracker::Private::anchorPose(const GraySampler &sampler, Match &match)
{
    constexpr int kReach = 2;
    constexpr int kSteps = 2;
    const int side = 2 * m_half + 1 + 2 * kReach;
    const double step = m_p.turnProbe;
    std::array<Peak, 2 * kSteps + 1> peaks;
    int best = kSteps;
    for (int k = -kSteps; k <= kSteps; ++k) {
        const cv::Mat area = sampler.sample(match.position, m_spacing, cv::Size(side, side), m_angle + k * step);
        peaks[k + kSteps] = subPixelPeak(correlate(area, m_appearances.front(), m_weights));
        if (peaks[k + kSteps].score > peaks[best].score)
            best = k + kSteps;
    }
    if (peaks[best].score < m_p.anchorFits)
        return;
    double turn = (best - kSteps) * step;
    if (best > 0 && best < 2 * kSteps)
        turn += parabolaOffset(peaks[best - 1].score, peaks[best].score, peaks[best + 1].score) * step;
    const cv::Point2d at = peaks[best].at;
    const double unturned = m_angle;
    // The peak lies on the grid turned as its own sample was.
    m_angle = unturned + (best - kSteps) * step;
    match.position = onGrid(match.position, cv::Point2d(at.x - kReach, at.y - kReach), m_spacing);
    m_angle = unturned + turn;
    m_turnRate += 0.5 * turn;
    m_spotAngle = m_angle;
    match.anchored = true;
}

bool AutoTracker::Private::predictionLeftPicture(Vec2 predicted) const
{
    const double margin = 2 * objectRadiusPx();
    return predicted.x < -margin || predicted.y < -margin || predicted.x > m_frameSize.width - 1 + margin
           || predicted.y > m_frameSize.height - 1 + margin;
}

// From where the object was last seen to where it is predicted, as far
// as the search reaches and the object's extent beyond.
AutoTracker::Private::Grid AutoTracker::Private::gridAlongPath(Vec2 predicted, double radiusPx, double extent) const
{
    const Vec2 last = toPicture(m_motion.lastPosition());
    const double reach = radiusPx + length(minus(predicted, last)) / 2 + 2 * extent;
    const double spacing = std::max(m_spacing, reach / m_p.maxSearchSamples);
    return {{(last.x + predicted.x) / 2, (last.y + predicted.y) / 2}, spacing,
            static_cast<int>(std::ceil(reach / spacing))};
}

// Where the texture found nothing good: the one moving region of the
// object's size around its path, confirmed by its look there (and its
// outline, for a round object). A bounce, a blur or a turn that the
// templates missed.
std::optional<AutoTracker::Private::Match> AutoTracker::Private::findByMotion(const GraySampler &sampler,
                                                                              Vec2 predicted, double radiusPx)
{
    // Too few frames show the background yet: the first one stands for it,
    // as long as the object was seen lately.
    if (!regionKnown())
        return m_round && !m_onColourAxis && m_background.frames() < m_p.backgroundLeast
                   ? findAgainstTheFirstFrame(sampler, predicted, radiusPx)
                   : std::nullopt;
    const double extent = discRadius(m_blobArea);
    // Long unseen, it may be anywhere: the whole picture, shrunk so that
    // the object keeps a few samples across. There, only a region of its
    // size with its outline or look counts: a smaller region, or a region
    // alone, is too likely something else.
    const bool longUnseen = m_missing + 1 >= m_p.globalSearchAfter;
    const Grid grid = gridAlongPath(predicted, radiusPx, extent);
    const std::vector<Blob> blobs =
        longUnseen ? rememberMovingEverywhere()
                   : m_background.blobsAround(m_luminance, m_cameraOffset, grid.centre, grid.spacing, grid.half, extent);
    bool several = false;
    const std::optional<Blob> only =
        onlyOneOf(blobs, [&](const Blob &blob) { return aboutArea(blob.area, m_blobArea); }, several);
    if (several)
        return std::nullopt; // no telling which
    if (only && longUnseen && onLookAlike(only->centre))
        return std::nullopt;
    const bool lone = only && longUnseen && followLoneRegion(only->centre);
    if (!only)
        return m_round && !longUnseen ? outlineOnPartialRegion(sampler, blobs, predicted) : std::nullopt;
    const Vec2 spot = spotOn(*only);
    Match match = refine(sampler, spot, 2, predicted, radiusPx);
    const double lookOffRegion = length(minus(match.position, spot));
    if (lookOffRegion > m_p.spotTolerance)
        match.position = spot;
    fitToOutline(sampler, match);
    // The one moving region of its size, with an outline of the object's
    // size around it: the object, whatever its spinning face shows. The
    // outline need not be whole there: motion smears it. Where it smears
    // it beyond fitting (a fast ball), a round object's region of its whole
    // area, on its path, places it alone; off its path, where a bounce took
    // it, only if nothing else moves around.
    const bool onPath = nearItsPath(spot, predicted) || (blobs.size() == 1 && withinABounce(spot));
    const bool wholeRegionOnPath = m_round && !match.outline && !longUnseen && hasWholeArea(*only) && onPath;
    if (wholeRegionOnPath)
        match.position = spot;
    else if (!accepted(match, {m_p.followAdaptive, m_p.followMemory}) && !match.outline) {
        // The look must place it about where the region does: a region
        // that leaves out the object's shaded side is well off its centre.
        const bool lookOnRegion = lookOffRegion <= std::max(m_p.spotTolerance, 0.2 * objectRadiusPx());
        if (!lone || !lookOnRegion || match.adaptive < m_p.followAdaptive || match.memory < m_p.followMemory)
            return std::nullopt;
        match.lone = true;
    }
    return match;
}

// A round object thrown from the first frame on, blurred by its speed, may
// fit neither its outline nor its look closely. Before the background is
// known, the one region of its size that differs from the first frame,
// away from where it was clicked, is where it went: on its path, or where
// its look, though blurred, places it too.
std::optional<AutoTracker::Private::Match>
AutoTracker::Private::findAgainstTheFirstFrame(const GraySampler &sampler, Vec2 predicted, double radiusPx)
{
    const double extent = objectRadiusPx();
    const double area = discArea(extent);
    const Grid grid = gridAlongPath(predicted, radiusPx, extent);
    std::vector<Blob> blobs =
        m_background.blobsSinceFirst(m_luminance, m_cameraOffset, grid.centre, grid.spacing, grid.half);
    // Where it was clicked, the place it left shows.
    std::erase_if(blobs, [&](const Blob &blob) { return length(minus(blob.centre, clickNow())) < extent; });
    // Its speed smears it: the region may be larger than its disc.
    const auto ofItsSize = [&](const Blob &blob) {
        return blob.area >= area / m_p.blobAreaRange && blob.area <= 2 * m_p.blobAreaRange * area;
    };
    bool several = false;
    const std::optional<Blob> only = onlyOneOf(blobs, ofItsSize, several);
    if (!only)
        return std::nullopt;
    const Vec2 spot = only->centre;
    Match match = refine(sampler, spot, 2, predicted, radiusPx);
    // Long unseen (let go from a hand that hid it, turned since), neither
    // its path nor its look tells: its whole outline of its size around
    // the region does.
    if (m_missing + 1 >= m_p.globalSearchAfter) {
        Match around = outlineAroundRegion(sampler, match, spot);
        around.leftFirst = true;
        return completeOutline(around) ? std::optional<Match>(around) : std::nullopt;
    }
    // On its path, the region alone places it; elsewhere its look must
    // too, if less closely than usual: its speed blurs it.
    const bool onPath = m_motion.samples() >= 2 && length(minus(spot, predicted)) <= std::max(nearPath(), extent);
    const bool lookOnRegion = length(minus(match.position, spot)) <= std::max(m_p.spotTolerance, 0.5 * extent)
                              && match.adaptive >= m_p.followAdaptive && match.memory >= m_p.followMemory;
    if (!onPath && !lookOnRegion) {
        // Just found again, one position tells nothing of its path: where
        // its pace can have taken it, its outline around the region places it.
        if (m_motion.samples() != 1 || !withinItsPace(spot))
            return std::nullopt;
        const Match around = outlineAroundRegion(sampler, match, spot);
        return around.outline ? std::optional<Match>(around) : std::nullopt;
    }
    fitToOutline(sampler, match);
    if (!match.outline)
        match.position = spot;
    return match;
}

// The match placed on the outline found from the centre of its region.
AutoTracker::Private::Match AutoTracker::Private::outlineAroundRegion(const GraySampler &sampler, Match match,
                                                                      Vec2 spot) const
{
    match.position = spot;
    fitToOutline(sampler, match);
    return match;
}

// Whether the one moving region of the object's size has now been the only
// one for a few frames in a row, each within a frame's travel of the last:
// something of the object's size and look moving on its own where nothing
// else does, the object still in view (compression blurred its look below
// what a single frame's re-acquisition needs).
bool AutoTracker::Private::followLoneRegion(Vec2 centre)
{
    const Vec2 world = toWorld(centre);
    const bool carriesOn = !m_loneRegion.empty() && m_loneRegion.back().frame == m_frame - 1
                           && length(minus(world, m_loneRegion.back().world)) <= travelPerFrame();
    if (!carriesOn)
        m_loneRegion.clear();
    m_loneRegion.push_back({m_frame, world});
    return static_cast<int>(m_loneRegion.size()) >= m_p.loneRegionFrames;
}

// Taken up on a lone moving region, the object's motion is that region's
// over the frames it was followed, not nothing.
void AutoTracker::Private::moveAsTheLoneRegion()
{
    m_motion.clear();
    for (const Sighting &sighting : m_loneRegion)
        if (sighting.frame < m_frame)
            m_motion.add(sighting.frame, sighting.world);
    m_loneRegion.clear();
}

// What moves over the whole picture while the object is unseen, kept for
// the next frame, with the look-alikes among it: regions of the object's
// size that were already moving where the object, since last seen, cannot
// have gone (a twin crossing the picture), and those that carry on from
// them.
const std::vector<Blob> &AutoTracker::Private::rememberMovingEverywhere()
{
    if (m_movingFrame == m_frame)
        return m_moving;
    const bool following = m_movingFrame == m_frame - 1;
    const std::vector<Blob> before = following ? std::move(m_moving) : std::vector<Blob>();
    const std::vector<Blob> lookAlikesBefore = following ? std::move(m_lookAlikes) : std::vector<Blob>();
    const double extent = discRadius(m_blobArea);
    m_moving = m_background.blobsEverywhere(m_luminance, m_cameraOffset,
                                            std::max(1, static_cast<int>(extent / m_p.motionSearchSamples)));
    m_movingFrame = m_frame;
    m_lookAlikes.clear();
    // Frames from the last sighting to the frame before this one.
    const int unseenBefore = m_motion.empty() ? 0 : m_frame - 1 - m_motion.lastFrame();
    const double travel = travelPerFrame();
    std::vector<Blob> elsewhereBefore;
    std::copy_if(before.begin(), before.end(), std::back_inserter(elsewhereBefore), [&](const Blob &earlier) {
        return aboutArea(earlier.area, m_blobArea) && beyondReach(earlier.centre, unseenBefore);
    });
    // Compression makes a region's area vary from frame to frame: what
    // carries on from a look-alike is one, whatever its area.
    const BlobsByX lookAlikes(lookAlikesBefore), elsewhere(std::move(elsewhereBefore));
    for (const Blob &now : m_moving)
        if (lookAlikes.anyWithin(now.centre, travel) || elsewhere.anyWithin(now.centre, travel))
            m_lookAlikes.push_back(now);
    return m_moving;
}

// Within the object's radius of a look-alike moving in this frame.
bool AutoTracker::Private::onLookAlike(Vec2 position) const
{
    return m_movingFrame == m_frame && std::any_of(m_lookAlikes.begin(), m_lookAlikes.end(), [&](const Blob &region) {
               return length(minus(region.centre, position)) <= objectRadiusPx();
           });
}

// The same for a place the object's look was found at, what moves over
// the whole picture being looked at first.
bool AutoTracker::Private::onLookAlikeNow(Vec2 position)
{
    if (!regionKnown())
        return false;
    rememberMovingEverywhere();
    return onLookAlike(position);
}

// How far the object may go in a frame, pixels: its pace and its size.
double AutoTracker::Private::travelPerFrame() const
{
    return 1.5 * length(m_motion.velocity()) + std::max(objectRadiusPx(), discRadius(m_blobArea));
}

// Farther from where the object was last seen than it can go in that
// many frames.
bool AutoTracker::Private::beyondReach(Vec2 position, int frames) const
{
    return length(minus(position, toPicture(m_motion.lastPosition()))) > frames * travelPerFrame();
}

// A round object as grey as the background behind it moves as a region
// smaller than itself (a white ball on a light wall, its shaded side
// only): near its path, the one such region around which an outline of
// its size shows. Farther off, such a region with an outline around it is
// as likely a stripe of the floor.
std::optional<AutoTracker::Private::Match> AutoTracker::Private::outlineOnPartialRegion(const GraySampler &sampler,
                                                                                        const std::vector<Blob> &blobs,
                                                                                        Vec2 predicted) const
{
    std::optional<Match> only;
    for (const Blob &blob : blobs) {
        if (blob.area >= m_blobArea / m_p.blobAreaRange || blob.area < m_p.partialRegion * m_blobArea)
            continue;
        const std::optional<Circle> circle = outlineOfItsSize(sampler, blob.centre);
        if (!circle || length(minus(circle->centre, blob.centre)) > objectRadiusPx() || !inPicture(circle->centre))
            continue;
        if (!nearItsPath(circle->centre, predicted))
            continue;
        Match match = refine(sampler, circle->centre, 1, predicted, std::max(m_frameSize.width, m_frameSize.height));
        placeOn(match, *circle);
        if (only)
            return std::nullopt; // two of them: no telling which
        only = match;
    }
    return only;
}

// A prediction can leave the picture where the object turned unseen (a
// bounce): it has gone only if it was last seen about to cross the edge.
bool AutoTracker::Private::lastSeenAtTheEdge() const
{
    const Vec2 last = toPicture(m_motion.lastPosition());
    const double margin = 2 * objectRadiusPx() + length(m_motion.velocity());
    return last.x < margin || last.y < margin || last.x > m_frameSize.width - 1 - margin
           || last.y > m_frameSize.height - 1 - margin;
}

// Where the followed point lies on a moving region of the object: the
// click's place on it, scaled and turned as the object is.
Vec2 AutoTracker::Private::spotOn(const Blob &region) const
{
    const double scale = m_spacing / m_firstSpacing;
    const Vec2 offset = turned(m_spot, m_spotAngle);
    return {region.centre.x + scale * offset.x, region.centre.y + scale * offset.y};
}

// Where the look places the object on its region, learnt: the region
// taken at the click may have left out the parts as grey as what was
// behind them then.
void AutoTracker::Private::learnSpotFrom(const Blob &region, Vec2 position)
{
    const double scale = m_spacing / m_firstSpacing;
    const Vec2 seen = turned(minus(position, region.centre), -m_spotAngle);
    m_spot.x += m_p.adaptRate * (seen.x / scale - m_spot.x);
    m_spot.y += m_p.adaptRate * (seen.y / scale - m_spot.y);
}

// A moving region's area near enough an expected one for the object's:
// neither merged with something else nor mostly hidden.
bool AutoTracker::Private::aboutArea(double area, double expected) const
{
    return std::fabs(std::log(area / expected)) <= std::log(m_p.blobAreaRange);
}

// A bounce turns the motion but keeps its pace: a frame later the object
// is about as far from where it was as it went each frame. Only a fast
// object, one that goes farther than its radius each frame, is looked for
// there by its region: a slower one keeps an outline to be found by.
bool AutoTracker::Private::withinABounce(Vec2 position) const
{
    const double pace = length(m_motion.velocity());
    if (m_missing > 0 || m_motion.samples() < 2 || pace <= objectRadiusPx())
        return false;
    const Vec2 last = toPicture(m_motion.lastPosition());
    return length(minus(position, last)) <= bounceReach();
}

// How far from where it was last seen a bounce may take the object in a
// frame, pixels.
double AutoTracker::Private::bounceReach() const { return 1.5 * length(m_motion.velocity()) + 0.5 * objectRadiusPx(); }

// The object's moving region, and where on it the followed point lies, are
// known.
bool AutoTracker::Private::regionKnown() const { return m_spotKnown && m_blobArea > 0; }

// The area of the object's region, and the pace it went at when that
// area was taken.
void AutoTracker::Private::takeRegionArea(double area)
{
    m_blobArea = area;
    m_blobPace = length(m_motion.velocity());
}

// The region has the object's area, as its whole silhouette has. Motion
// smears the object along its path: faster than when its area was
// learnt, its region may be larger by its width times the extra way it
// goes while the shutter is open, a frame at most; slower, smaller.
bool AutoTracker::Private::hasWholeArea(const Blob &region) const
{
    const double smear = 2 * objectRadiusPx() * (length(m_motion.velocity()) - m_blobPace);
    const double least = std::max(m_blobArea + std::min(smear, 0.0), 0.1 * m_blobArea);
    const double most = m_blobArea + std::max(smear, 0.0);
    return std::log(region.area / most) < m_p.silhouetteArea && std::log(least / region.area) < m_p.silhouetteArea;
}

// The background itself draws the claimed outline there: something that
// stays put (a round leaf, a lamp), not the object passing.
bool AutoTracker::Private::backgroundShowsOutline(const Match &match) const
{
    const double radius = objectRadiusPx();
    const int half = static_cast<int>(std::ceil(1.5 * radius)) + 2;
    const cv::Mat background = m_background.pictureAt(m_cameraOffset, match.position, half, radius);
    if (background.empty())
        return true;
    return fitOutline(GraySampler(background), {static_cast<double>(half), static_cast<double>(half)}, radius,
                      limitsOfItsSize())
        .has_value();
}

// How far a claim may lie from where its moving region places it. A
// round object's region smaller than its disc misses the side whose grey
// matches the background, and its centre is off the other way: as far as
// its outline allows, or without one, by about the missing share of the
// disc over the share shown, in radii. Not an object going farther than
// its size each frame, whose region is its smear, centred where it is.
double AutoTracker::Private::spotToleranceFor(double area, bool onOutline) const
{
    const double radius = objectRadiusPx();
    const double disc = discArea(radius);
    if (area >= m_p.wholeSilhouette * disc)
        return m_p.spotTolerance;
    if (onOutline)
        return spotToleranceOnOutline();
    if (!m_round || smearedLarger())
        return m_p.spotTolerance;
    return std::max(m_p.spotTolerance, std::min(m_p.outlineSpotTolerance, (disc - area) / area) * radius);
}

// ... for a claim whose outline vouches for it.
double AutoTracker::Private::spotToleranceOnOutline() const
{
    return std::max(m_p.spotTolerance, m_p.outlineSpotTolerance * objectRadiusPx());
}

// Whether what moves against the background agrees with a claim: the
// claim must lie on a moving region, where that region puts the followed
// point. Yes when the background there is not known well enough to tell.
// Where the texture matched off that point, the object is placed by its
// outline around it, or by the region itself when it has just the
// object's size.
bool AutoTracker::Private::movesThere(const GraySampler &sampler, Match &match, Vec2 predicted)
{
    const std::optional<BackgroundModel::Finding> found =
        movingAt(m_luminance, m_cameraOffset, match.position, m_spacing);
    m_region = found ? found->blob : std::nullopt;
    // Nothing tells whether the place moves (too few frames show it without
    // the object). Found again after frames unseen, it must then lie where
    // the object's pace can have taken it, or look as closely like it as a
    // re-acquisition needs, whatever its outline: a round look-alike that
    // does not move, once taken, would keep the background unknown where it
    // stands, and be claimed for good.
    if (!found) {
        // ... and what was there already when the object was elsewhere (a
        // patch of floor the object left from) is not it. Kept in grey
        // levels, the frames tell nothing of an object set apart by colour.
        // The whole template is compared: the object may be larger than
        // what its size was taken from (a sticker on a plain cart), and a
        // disc of its plain body looks the same wherever the body passed.
        if (!m_onColourAxis
            && m_background.unchangedAt(m_luminance, m_cameraOffset, match.position, m_half * m_spacing))
            return false;
        return m_missing == 0 || withinItsPace(match.position) || closeAsAReacquisition(match) || match.leftFirst;
    }
    // What is claimed there looks as the place did without the object:
    // not it, unless its extent is not known yet and it was seen a frame
    // ago within its pace of there (what was kept may show it there, or
    // it may hardly show in grey; not a circle of the leaves that the
    // search found well off its path). Found again after frames
    // unseen, it has moved since. But an object as grey as what it crosses
    // (a red ball on a wall of its brightness) hardly shows against the
    // background: its sharp, whole outline on its path shows it.
    if (!found->blob)
        return (!m_spotKnown && m_missing == 0 && withinItsPace(match.position))
               || (completeOutlineOnPath(match, predicted) && !backgroundShowsOutline(match));
    const Blob &blob = *found->blob;
    if (!m_spotKnown && m_round) {
        // A round object's followed point is its outline's centre, which
        // is the moving region's, if that region is the object alone.
        if (!aboutArea(blob.area, discArea(objectRadiusPx())))
            return true;
        m_spot = {};
        takeRegionArea(blob.area);
        m_spotKnown = true;
    }
    if (!m_spotKnown && !learnSpotFromClick())
        return true;
    // Merged with something else, or mostly hidden: no telling. Long
    // unseen, its look must then be as close as a re-acquisition needs,
    // and a region far smaller than it, without its outline, is something
    // else that moves there (what a passing object uncovers), not the
    // object coming back.
    if (!aboutArea(blob.area, m_blobArea))
        return m_missing <= 1
               || (closeAsAReacquisition(match) && (match.outline || blob.area >= m_p.returningRegion * m_blobArea));
    const Vec2 spot = spotOn(blob);
    const double disc = discArea(objectRadiusPx());
    const double tolerance = spotToleranceFor(blob.area, match.outline);
    // The first appearance placed it turned as it is: a moving region that
    // misses part of the object (as grey as the background) would pull it
    // off, by a fraction of its size.
    const bool anchorHolds =
        match.anchored && length(minus(spot, match.position)) <= m_p.anchorOverRegion * objectRadiusPx();
    // A rigid object's sharp look, matched closely by its first appearance
    // too, places it more finely than the centre of a region much larger
    // than it (a sticker on a cart, whose region a few stray moving pixels
    // shift by pixels). A smooth look (the end of an egg) slides, and a look
    // that changed (a walker's head) drifts: the region places them.
    const double regionRadius = discRadius(m_blobArea);
    const bool sharpLookHolds = !m_round && match.sharpness >= m_p.sharpLook && match.adaptive >= m_p.sureScore
                                && match.first >= m_p.sureScore && regionRadius >= kMuchLarger * objectRadiusPx()
                                && length(minus(spot, match.position)) <= m_p.anchorOverRegion * regionRadius;
    if (sharpLookHolds)
        learnSpotFrom(blob, match.position);
    if (length(minus(spot, match.position)) > tolerance && !anchorHolds && !sharpLookHolds) {
        Match there = match;
        there.position = spot;
        there.outline = false;
        fitToOutline(sampler, there);
        // The same outline found from the region's centre as from the
        // claim: the region is the object's, off its centre by a shaded side
        // as grey as what it crosses.
        const bool sameOutline =
            there.outline && match.outline && length(minus(there.position, match.position)) <= 0.5 * m_p.spotTolerance;
        const double outlineTolerance = sameOutline ? spotToleranceOnOutline() : m_p.spotTolerance;
        if (there.outline ? length(minus(spot, there.position)) > outlineTolerance : !hasWholeArea(blob))
            return false;
        // A region larger than the object's whole, sharp outline holds
        // more than the object (its shadow on the floor): its bare centre
        // does not place it. Unless the object goes farther than its size
        // each frame: the region is then its smear, centred where it is,
        // and the outline fitted to the smear is off.
        if (!there.outline && match.outline && blob.area > disc && completeOutlineOnPath(match, predicted)
            && !smearedLarger())
            return true;
        match = there;
        match.byRegion = !there.outline;
    }
    m_blobArea += 0.1 * (blob.area - m_blobArea);
    m_blobPace += 0.1 * (length(m_motion.velocity()) - m_blobPace);
    return true;
}

// What moves at a point, looked for over an area that grows until it holds
// the whole moving region (the object may be larger than its templates).
// Empty when the background there is not known.
std::optional<BackgroundModel::Finding> AutoTracker::Private::movingAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 at,
                                                                       double spacing) const
{
    const double extent = std::max(objectRadiusPx(), discRadius(m_blobArea));
    const int half = static_cast<int>(std::ceil(2.2 * extent / spacing)) + 3;
    const int core = std::max(2, static_cast<int>(std::lround(0.5 * m_radius)));
    // Wider only while the object's size is not known from its region.
    for (int wider = 0; wider <= (m_blobArea > 0 ? 0 : 2); ++wider) {
        const BackgroundModel::Finding found =
            m_background.blobAt(frame, cameraOffset, at, spacing, half << wider, core, extent);
        if (found.known)
            return found;
    }
    return std::nullopt;
}

void AutoTracker::Private::rememberClick(const cv::Mat &frame)
{
    if (frame.channels() == 3)
        cv::cvtColor(frame, m_clickFrame, cv::COLOR_RGB2GRAY);
    else
        m_clickFrame = frame.clone();
    m_clickOffset = m_cameraOffset;
}

AutoTracker::Private::Motion AutoTracker::Private::motionAt(const cv::Mat &frame, Vec2 position) const
{
    const std::optional<BackgroundModel::Finding> found = movingAt(frame, m_cameraOffset, position, m_spacing);
    if (!found)
        return Motion::Unknown;
    return found->blob ? Motion::Moving : Motion::Still;
}

// Where the click lies on the moving region, on the frame clicked, once
// the background around it is known (the object has moved away).
bool AutoTracker::Private::learnSpotFromClick()
{
    if (m_clickFrame.empty())
        return false;
    std::optional<BackgroundModel::Finding> found = movingAt(m_clickFrame, m_clickOffset, m_start, m_firstSpacing);
    if (found && found->blob && m_blobArea <= 0) {
        // Again, now that the object's size is known: the frames kept while
        // it was near the click, but farther than its templates reach, are
        // left out too.
        takeRegionArea(found->blob->area);
        found = movingAt(m_clickFrame, m_clickOffset, m_start, m_firstSpacing);
    }
    // Nothing moving under the click may be the object still shown by the
    // frames kept: later ones tell.
    if (!found || !found->blob)
        return false;
    m_spot = minus(m_start, found->blob->centre);
    takeRegionArea(found->blob->area);
    m_spotKnown = true;
    m_clickFrame.release();
    return true;
}

// Keeps a frame for the background now and then, and whenever the object
// has moved on from where it was in the last one kept.
void AutoTracker::Private::keepBackground(const cv::Mat &frame, std::optional<Vec2> object)
{
    const bool moved = object
                       && length(minus(*object, m_lastKeptWorld))
                              >= m_p.backgroundMove * std::max(objectRadiusPx(), m_p.minRoundRadius * 2);
    if (m_background.frames() > 0 && !moved && m_frame - m_lastKeptFrame < m_p.backgroundEvery)
        return;
    m_background.add(frame, m_cameraOffset, object, objectRadiusPx());
    m_lastKeptFrame = m_frame;
    if (object)
        m_lastKeptWorld = *object;
}

TrackStep AutoTracker::Private::next(const cv::Mat &input, const CameraFrame &luminance)
{
    ++m_frame;
    if (!m_hasTarget)
        m_lost = true;
    if (m_lost)
        return {TrackStep::State::Lost};
    // Colour frames stay as they are: what is looked at is converted as it is read.
    m_luminance = luminance.pixels();
    const TrackStep step = follow(GraySampler(input, m_projection), luminance);
    if (m_onColourAxis && step.state == TrackStep::State::Found && m_startContrast != 0) {
        m_lastColourShare = contrastAt(input, {step.x, step.y}, objectRadiusPx(), m_projection) / m_startContrast;
    }
    releaseFrame();
    return step;
}

// A moving ball placed without its outline (blurred by its speed) is
// placed by its texture or by what clearly moves, both pulled towards its
// sharp or lit side. The centre of all that differs from the background
// around it, faint parts weighing their share, is its own, as long as
// nothing else moving comes near.
void AutoTracker::Private::centreOnDifference(Match &match) const
{
    const double radius = objectRadiusPx();
    const double speed = length(m_motion.velocity());
    // Its pace lately: just found again, its motion is not known yet.
    const double pace = std::max(speed, m_pace);
    if (!m_ballLike || match.outline || pace < m_p.differenceSpeed * radius)
        return;
    const double reach = std::min(2 * m_p.differenceReach * radius,
                                  std::max(m_p.differenceReach * radius, 1.5 * radius + m_p.differenceSmear * speed));
    const std::optional<BackgroundModel::Mass> mass = m_background.differenceAt(
        m_luminance, m_cameraOffset, match.position, reach, m_spacing, std::max(radius, reach / 2));
    if (!mass)
        return;
    const Vec2 centre = mass->centre;
    const double disc = discArea(radius);
    const double shift = length(minus(centre, match.position));
    // Smeared farther than its size, its difference is spread thin or
    // drawn out: how much of it shows says less.
    const double loose = pace > radius ? 2.0 : 1.0;
    if (mass->area < m_p.differenceCover * disc / loose
        || mass->area > loose * m_p.differenceLargest * (disc + 2 * radius * speed)
        || mass->atBorder > m_p.differenceBorder || shift > radius)
        return;
    // Nearer, the grain of the difference places it no better.
    if (shift >= m_p.differenceShift)
        match.position = centre;
}

TrackStep AutoTracker::Private::follow(const GraySampler &sampler, const CameraFrame &luminance)
{
    m_angle += m_turnRate;
    if (m_p.followCamera) {
        const Vec2 guess = toPicture(m_motion.predict(m_frame));
        const Vec2 shift = m_camera.measure(luminance, guess, objectRadiusPx() + searchRadiusPx());
        m_cameraOffset.x -= shift.x;
        m_cameraOffset.y -= shift.y;
    }
    const Vec2 predicted = toPicture(m_motion.predict(m_frame));
    const double radius = searchRadiusPx();
    const Thresholds following{m_p.followAdaptive, m_p.followMemory};
    const Thresholds widened{m_p.widenedAdaptive, m_p.widenedMemory};
    const Thresholds reacquiring{m_p.reacquireAdaptive, m_p.reacquireMemory};
    Match match = search(sampler, predicted, radius, predicted);
    bool found = accepted(match, m_missing > 0 ? reacquiring : following) && onPath(match, predicted);
    if (!found && !m_round && m_missing == 0) {
        match = searchTurned(sampler, predicted, radius, match);
        found = accepted(match, following) && onPath(match, predicted);
    }
    if (!found && m_round && m_missing + 1 < m_p.globalSearchAfter) {
        if (const std::optional<Match> outline = outlineOnPath(sampler, predicted)) {
            match = *outline;
            found = true;
        }
    }
    if (!found && m_missing > 0) {
        // The object may have turned while out of sight: look around where
        // it was, as far as where it would be.
        const Vec2 last = toPicture(m_motion.lastPosition());
        match = search(sampler, last, radius + length(minus(predicted, last)), predicted);
        found = accepted(match, reacquiring);
    }
    if (!found && m_missing == 0 && m_motion.samples() >= 2) {
        // Weak evidence on the predicted path: the motion may have turned.
        const double wide = std::max(2 * radius, bounceReach());
        match = search(sampler, toPicture(m_motion.lastPosition()), wide, predicted);
        found = accepted(match, widened);
    }
    // Gone from the picture (or long unseen): it may come back anywhere. Not
    // while it may be just hidden where it was going, where a look-alike
    // elsewhere would be taken for it.
    const bool mayBeAnywhere = predictionLeftPicture(predicted) || m_missing + 1 >= m_p.globalSearchAfter;
    bool anywhere = false; // found by a search of the whole picture
    const int searchEvery = m_heldElsewhere ? m_p.heldSearchEvery : m_p.globalSearchEvery;
    if (!found && mayBeAnywhere && (m_missing + 1) % searchEvery == 0) {
        match = searchPicture(sampler, predicted);
        // A spinning ball shows another face when it comes back: its whole
        // outline, of its size, stands for what its first look no longer shows.
        const double firstNeeded = completeOutline(match) ? m_p.roundMemory : m_p.reacquireFirst;
        found = accepted(match, reacquiring) && match.first >= firstNeeded && !onLookAlikeNow(match.position);
        anywhere = found;
    }
    // Found again, it must show at least half: a centre on the picture's
    // edge is more likely its border than the object coming back.
    if (found && m_missing > 0) {
        const double inset = 0.5 * objectRadiusPx();
        found = match.position.x >= inset && match.position.y >= inset
                && match.position.x <= m_frameSize.width - 1 - inset
                && match.position.y <= m_frameSize.height - 1 - inset;
    }
    const bool textureFound = found;
    if (found) {
        if (!m_round && !match.byOutline)
            anchorPose(sampler, match);
        // A symmetric object's own centre keeps the templates from drifting
        // off it where the first appearance no longer fits.
        if (!match.byOutline)
            match.position = symmetryCentre(sampler, match.position, m_p.symmetricScore, 1.0).value_or(match.position);
        // Where it may be anywhere, where it was predicted says nothing.
        found = movesThere(sampler, match, mayBeAnywhere ? match.position : predicted);
    }
    // Where the texture found nothing good; when long unseen, also where
    // what it found does not move (the object's region is then looked for
    // over the whole picture, and must be the only one of its size).
    if (!found && (!textureFound || m_missing + 1 >= m_p.globalSearchAfter)) {
        if (const std::optional<Match> moving = findByMotion(sampler, predicted, radius)) {
            match = *moving;
            found = movesThere(sampler, match, mayBeAnywhere ? match.position : predicted);
            anywhere = m_missing + 1 >= m_p.globalSearchAfter;
        }
    }
    // Found anywhere after a long gap: the motion before it says nothing.
    if (found && anywhere)
        m_motion.keepNewest(0);
    if (found && match.lone)
        moveAsTheLoneRegion();
    if (found) {
        takeOutlineIfSeen(sampler, match);
        centreOnDifference(match);
    }
    keepBackground(m_luminance, found ? std::optional<Vec2>(toWorld(match.position)) : std::nullopt);
    if (found) {
        learn(sampler, match, predicted);
        const double confidence = std::clamp(0.5 * (match.adaptive + match.memory), 0.0, 1.0);
        return {TrackStep::State::Found, match.position.x, match.position.y, confidence};
    }
    ++m_missing;
    // The whole picture is searched from the next frame on: what moves
    // there now is not the object.
    if (m_missing + 1 >= m_p.globalSearchAfter && regionKnown())
        rememberMovingEverywhere();
    if (m_missing > m_p.maxMissing
        || (m_missing > m_p.missingOutside && predictionLeftPicture(predicted) && lastSeenAtTheEdge())) {
        m_lost = true;
        return {TrackStep::State::Lost};
    }
    return {TrackStep::State::Hidden};
}

AutoTracker::AutoTracker(const RgbImage &startFrame, double x, double y)
        : AutoTracker(frameHeader(startFrame), x, y, AutoTrackParameters())
{}

AutoTracker::AutoTracker(const GrayImage &startFrame, double x, double y)
        : AutoTracker(frameHeader(startFrame), x, y, AutoTrackParameters())
{}

AutoTracker::AutoTracker(const RgbImage &startFrame, double x, double y, const AutoTrackParameters &parameters)
        : AutoTracker(frameHeader(startFrame), x, y, parameters)
{}

AutoTracker::AutoTracker(const GrayImage &startFrame, double x, double y, const AutoTrackParameters &parameters)
        : AutoTracker(frameHeader(startFrame), x, y, parameters)
{}

AutoTracker::AutoTracker(const GrayImage &startFrame, const RgbImage &startColour, double x, double y)
        : AutoTracker(frameHeader(startFrame), x, y, AutoTrackParameters())
{
    const cv::Mat colour = frameHeader(startColour);
    checkSize(colour);
    startColourView(colour, x, y, AutoTrackParameters());
}

namespace {

void checkInside(const cv::Mat &frame, double x, double y)
{
    if (!(x >= -0.5 && x < frame.cols - 0.5 && y >= -0.5 && y < frame.rows - 0.5))
        throw AutoTrackError(AutoTrackErrorKind::PointOutside, "the point is outside the picture");
}

} // namespace

AutoTracker::AutoTracker(const cv::Mat &frame, double x, double y, const AutoTrackParameters &parameters)
        : m_impl(std::make_unique<Private>(parameters, false))
{
    checkInside(frame, x, y);
    m_impl->start(frame, {x, y});
    m_impl->releaseFrame();
    if (frame.channels() == 3)
        startColourView(frame, x, y, parameters);
}

void AutoTracker::startColourView(const cv::Mat &colour, double x, double y, const AutoTrackParameters &parameters)
{
    if (!m_impl->m_hasTarget)
        return;
    m_colour = std::make_unique<Private>(parameters, true);
    m_colour->start(colour, {x, y});
    m_colour->releaseFrame();
    if (!m_colour->m_hasTarget) {
        m_colour.reset();
        return;
    }
    m_colourLeads =
        m_colour->m_separation >= kColourLeads && length(minus(m_colour->m_start, m_impl->m_start)) <= kSameStart;
    m_impl->alsoRoundIn(*m_colour);
    m_colour->alsoRoundIn(*m_impl);
}

AutoTracker::~AutoTracker() = default;

double AutoTracker::startX() const { return m_impl->m_start.x; }

double AutoTracker::startY() const { return m_impl->m_start.y; }

bool AutoTracker::hasTarget() const { return m_impl->m_hasTarget; }

bool AutoTracker::followsColour() const { return m_colour != nullptr; }

TrackStep AutoTracker::next(const RgbImage &frame)
{
    const cv::Mat header = frameHeader(frame);
    return next(header, header);
}

TrackStep AutoTracker::next(const GrayImage &frame) { return next(frameHeader(frame), cv::Mat()); }

TrackStep AutoTracker::next(const GrayImage &frame, const RgbImage &colour)
{
    return next(frameHeader(frame), frameHeader(colour));
}

TrackStep AutoTracker::next(const cv::Mat &frame, const cv::Mat &colour)
{
    checkSize(frame);
    if (!colour.empty())
        checkSize(colour);
    m_impl->heldElsewhere(m_colourHeld && !colour.empty());
    // Luminance follows grey levels, and both views judge motion and the
    // background on them: one conversion, and one map of its texture, serve both.
    const cv::Mat gray = toGray(frame, ColourProjection());
    const CameraFrame grayFrame(gray);
    const TrackStep luminance = m_impl->next(gray, grayFrame);
    if (!m_colour || colour.empty())
        return luminance;
    const TrackStep colourStep = m_colour->next(colour, grayFrame);
    const TrackStep colourOnCentre = placedOnCentre(luminance, colourStep);
    // A leading colour view that jumped off its own path, or whose claim
    // lacks the object's colour (smeared by compression), is not trusted
    // over luminance.
    const bool colourHolds =
        m_colourLeads && m_colour->lastResidual() <= kAgreement && m_colour->lastClaimShowsColour();
    using State = TrackStep::State;
    m_luminanceStands.follow(luminance);
    m_colourStands.follow(colourStep);
    m_colourHeld = colourHolds && colourStep.state == State::Found;
    const bool bothFound = luminance.state == State::Found && colourStep.state == State::Found;
    const double gap = bothFound ? std::hypot(luminance.x - colourStep.x, luminance.y - colourStep.y) : 0;
    // Luminance follows a round object by its outline; a colour view that
    // does not see it round follows its texture, which shading pulls off
    // its centre: alone, that view is not trusted. Where luminance places
    // the object by its whole, sharp outline, luminance holds over it, and
    // over a colour view that does not hold and saw, on the same object,
    // only part of the outline (a cap of the object's colour).
    if (m_impl->round() && !m_colour->round() && !colourHolds && luminance.state != State::Found
        && colourStep.state == State::Found)
        return {State::Hidden};
    const bool colourSawPart = !colourHolds && !m_luminanceStrayed && gap < m_impl->objectRadiusPx()
                               && m_impl->lastClaimOnAllOfOutline() && !m_colour->lastClaimOnWholeOutline();
    if (m_impl->round() && gap > kAgreement && m_impl->lastClaimOnWholeOutline()
        && (!m_colour->round() || colourSawPart))
        return luminance;
    // Near each other, on the same object: luminance, following its
    // outline, places it better than the texture a view that does not see
    // it round follows, even where that view holds (its colour sets the
    // object apart, but shading pulls its texture aside). Not where only
    // its moving region placed it.
    if (m_impl->round() && !m_colour->round() && !m_luminanceStrayed && !m_impl->lastClaimByRegion() && gap > kAgreement
        && gap < kNearOutline * std::min(m_impl->objectRadiusPx(), m_colour->objectRadiusPx()))
        return luminance;
    // Each view placed the object by an outline, one well inside the
    // other: the smaller is what shading leaves of the object in that view
    // (its lit cap), the larger the whole object.
    if (bothFound && gap > kAgreement) {
        const Outline inLuminance = m_impl->lastOutline();
        const Outline inColour = m_colour->lastOutline();
        if (holdsWellInside(inLuminance, inColour, gap))
            return luminance;
        if (holdsWellInside(inColour, inLuminance, gap))
            return colourOnCentre;
    }
    // Luminance lost while the colour view holds the object takes it up
    // again there (a ball whose side as bright as the wall was turned to
    // the camera for a while).
    if (++m_sinceTakeUp >= kTakeUpEvery && luminance.state == State::Lost && colourHolds
        && colourStep.state == State::Found) {
        m_impl->takeUpAt(frame, {colourStep.x, colourStep.y});
        m_sinceTakeUp = 0;
    }
    // Luminance found well away from a colour view that held is following
    // something else (the wheel a marker is on): alone, it is not trusted
    // until the views agree again. A colour view that does not hold for a
    // frame (its claim off its own path as the camera shakes) tells nothing.
    // Views that parted farther than the object's size, neither leading:
    // one follows something else, more likely luminance (a leaf of the
    // ball's grey; the colour view keeps to the colour that sets the ball
    // apart). Alone, luminance is not trusted until they are on the object
    // together.
    if (bothFound) {
        const double radius = m_impl->objectRadiusPx();
        if (gap <= kAgreement)
            m_luminanceStrayed = false;
        else if (colourHolds && gap > kStrayed)
            m_luminanceStrayed = true;
        if (gap <= std::max(kAgreement, radius))
            m_viewsParted = false;
        else if (gap > std::max(kStrayed, 2 * radius))
            m_viewsParted = true;
    }
    // The colour view that lost the object (its colour changed with what is
    // behind it: a red cart leaving a red wall) while luminance keeps on
    // along the object's path, at its pace: luminance holds it.
    if (m_viewsParted && !bothFound && luminance.state == State::Found && m_impl->lastResidual() <= kAgreement
        && m_impl->movingAtItsPace())
        ++m_heldByLuminanceAlone;
    else
        m_heldByLuminanceAlone = 0;
    if (m_heldByLuminanceAlone >= kHeldAlone)
        m_viewsParted = false;
    // Parted views, neither holding, one on what moves and the other
    // standing in one place where the background shows nothing moving: the
    // second slid onto the background (a patch of the walker's colour he
    // passed). Its own kept frames place the object there and cannot tell
    // it: the first view's are asked. A leading colour view may not hold
    // for a frame (a small ball's colour smeared by its speed).
    if (bothFound && m_viewsParted && !colourHolds) {
        const Vec2 inLuminance{luminance.x, luminance.y}, inColour{colourStep.x, colourStep.y};
        if (m_colourStands.frames >= kHeldAlone && m_impl->leftOnBackground(gray, inLuminance, *m_colour, inColour))
            return luminance;
        if (m_luminanceStands.frames >= kHeldAlone && m_colour->leftOnBackground(gray, inColour, *m_impl, inLuminance))
            return colourOnCentre;
    }
    if (!bothFound && luminance.state == State::Found
        && ((m_luminanceStrayed && m_colourLeads) || (m_viewsParted && !m_colourLeads)))
        return {State::Hidden};
    // Both see it round, a little apart, neither trusted over the other:
    // each outline is pulled aside by its own shading or grain, and the
    // object lies between them.
    if (bothFound && m_impl->round() && m_colour->round() && !colourHolds && !m_viewsParted && gap <= kRoundViewsApart
        && gap < kNearOutline * m_impl->objectRadiusPx())
        return midway(luminance, colourStep, std::min(luminance.confidence, colourStep.confidence));
    return agreed(luminance, colourStep, colourOnCentre, colourHolds);
}

// A colour view that does not see the object round follows a point of its
// texture, off its centre by as much as its shading and turn put it. Where
// luminance places the object on its whole outline near that point, the
// offset between them is measured, and for a while the colour view's
// claims are moved by it where they stand for the object. Not where they are
// compared with luminance's: an offset that no longer holds would then make
// two views agree on the wrong place.
TrackStep AutoTracker::placedOnCentre(const TrackStep &luminance, TrackStep colour)
{
    using State = TrackStep::State;
    ++m_sinceCentreOffset;
    if (!m_impl->round() || m_colour->round() || colour.state != State::Found)
        return colour;
    const double dx = colour.x - luminance.x, dy = colour.y - luminance.y;
    if (luminance.state == State::Found && m_impl->lastClaimOnWholeOutline()
        && std::hypot(dx, dy) < kNearOutline * m_impl->objectRadiusPx()) {
        // Smoothed while measured frame after frame: the outline's grain.
        const double rate = m_sinceCentreOffset == 1 ? kCentreOffsetRate : 1.0;
        m_centreOffsetX += rate * (dx - m_centreOffsetX);
        m_centreOffsetY += rate * (dy - m_centreOffsetY);
        m_sinceCentreOffset = 0;
    }
    if (m_sinceCentreOffset <= kCentreOffsetFrames) {
        colour.x -= m_centreOffsetX;
        colour.y -= m_centreOffsetY;
    }
    return colour;
}

void AutoTracker::Standing::follow(const TrackStep &step)
{
    if (step.state != TrackStep::State::Found) {
        frames = 0;
        return;
    }
    if (frames > 0 && std::hypot(step.x - x, step.y - y) <= kStandingStill) {
        ++frames;
        return;
    }
    x = step.x;
    y = step.y;
    frames = 1;
}

TrackStep AutoTracker::midway(const TrackStep &luminance, const TrackStep &colour, double confidence)
{
    return {TrackStep::State::Found, (luminance.x + colour.x) / 2, (luminance.y + colour.y) / 2, confidence};
}

bool AutoTracker::holdsWellInside(Outline outer, Outline inner, double gap)
{
    return inner.radius > 0 && outer.radius - inner.radius >= std::max(1.0, kSmallerOutline * outer.radius)
           && outer.radius <= kLargestCap * inner.radius && outer.support >= inner.support - kSupportSlack
           && gap + inner.radius <= (1 + kSmallerOutline) * outer.radius + 1;
}

// Two views of the same object: a claim either makes alone stands, a claim
// both make stands where they agree. Where they disagree, the colour view
// holds when the object's colour sets it far apart (luminance may then be
// following what stands out in grey around it: the wheel a marker is on);
// otherwise neither is trusted.
TrackStep AutoTracker::agreed(const TrackStep &luminance, const TrackStep &colour, const TrackStep &colourOnCentre,
                              bool colourLeads)
{
    using State = TrackStep::State;
    if (luminance.state == State::Found && colour.state == State::Found) {
        if (std::hypot(luminance.x - colour.x, luminance.y - colour.y) > kAgreement)
            return colourLeads ? colourOnCentre : TrackStep{State::Hidden};
        return midway(luminance, colour, std::max(luminance.confidence, colour.confidence));
    }
    if (luminance.state == State::Found)
        return luminance;
    if (colour.state == State::Found)
        return colourOnCentre;
    return {luminance.state == State::Lost && colour.state == State::Lost ? State::Lost : State::Hidden};
}

void AutoTracker::restart(const RgbImage &frame, double x, double y, int framesAfter)
{
    restart(frameHeader(frame), x, y, framesAfter);
}

void AutoTracker::restart(const GrayImage &frame, double x, double y, int framesAfter)
{
    restart(frameHeader(frame), x, y, framesAfter);
}

void AutoTracker::restart(const cv::Mat &frame, double x, double y, int framesAfter)
{
    checkSize(frame);
    checkInside(frame, x, y);
    m_impl->restart(frame, {x, y}, std::max(1, framesAfter));
    m_impl->releaseFrame();
    m_luminanceStrayed = m_viewsParted = m_colourHeld = false;
    m_heldByLuminanceAlone = 0;
    m_luminanceStands = m_colourStands = {};
    m_sinceCentreOffset = kNoCentreOffset;
    if (m_colour && frame.channels() != 3)
        m_colour.reset(); // it cannot follow colour on grey levels
    if (m_colour) {
        m_colour->restart(frame, {x, y}, std::max(1, framesAfter));
        m_colour->releaseFrame();
    }
}

void AutoTracker::checkSize(const cv::Mat &frame) const
{
    if (frame.size() != m_impl->frameSize())
        throw AutoTrackError(AutoTrackErrorKind::SizeChanged, "the frame's size differs from the start frame's");
}

} // namespace zorvane
