#include "autotrack/autotracker.h"

#include "autotrack/graysampler.h"
#include "autotrack/motionmodel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace zorvane {
namespace {

// Object sizing at the start: how far around the click to look for its edge.
constexpr int kMinProbeRadius = 40;
// Radius of a textured object without a clear outline.
constexpr double kDefaultRadius = 10;
// Mean slope (grey levels per pixel) an outline needs to count as one.
constexpr double kMinEdgeSlope = 0.6;
// Grey-level spread below which a patch is a flat wall.
constexpr double kMinSpread = 3.0;
// Objects wider than this (in samples) are sampled more coarsely, so the
// work per frame does not grow with the object.
constexpr double kMaxObjectDiameter = 24;
// Background ring (samples) kept around the object in the templates.
constexpr int kTemplateMargin = 3;
// Search radius (samples) above which a coarse pass comes first.
constexpr int kCoarseAbove = 28;
constexpr int kMaxSearchSamples = 120;
constexpr int kCandidates = 3;
// How much a far candidate loses against one on the predicted path, at
// the edge of the search area.
constexpr double kPathPreference = 0.25;
constexpr int kMaxMissing = 60;
// Frames without the object, its predicted place outside the picture,
// after which it is taken to have left.
constexpr int kMissingOutside = 5;
constexpr std::size_t kMaxAppearances = 8;
constexpr double kAdaptRate = 0.25;
constexpr int kFirstSamples = 6;
constexpr double kScaleProbe = 0.05;
constexpr double kTurnProbe = 0.06;
// The first appearance corrects the adapted template's position from this
// correlation on.
constexpr double kAnchorScore = 0.5;
constexpr double kAnchorLead = 0.25;
// A match this close needs no other evidence.
constexpr double kSureScore = 0.85;
constexpr double kSymmetricScore = 0.7;

// Acceptance: correlation with the adapted template, and with the best
// remembered appearance (the first one among them).
struct Thresholds {
    double adaptive;
    double memory;
};
constexpr Thresholds kFollowing{0.6, 0.5};
constexpr Thresholds kWidened{0.8, 0.7};
constexpr Thresholds kReacquiring{0.85, 0.8};

struct Peak {
    cv::Point2d at;
    double score = -1;
};

double length(Vec2 v) { return std::hypot(v.x, v.y); }

Vec2 minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }

cv::Mat correlate(const cv::Mat &image, const cv::Mat &templ, const cv::Mat &weights = {})
{
    cv::Mat map;
    if (weights.empty())
        cv::matchTemplate(image, templ, map, cv::TM_CCOEFF_NORMED);
    else
        cv::matchTemplate(image, templ, map, cv::TM_CCOEFF_NORMED, weights);
    // Flat areas (a plain wall, the repeated border outside the picture)
    // have no defined correlation.
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

// The best cell of a correlation map, refined between cells.
Peak subPixelPeak(const cv::Mat &map)
{
    return peakNear(map, cv::Point2d(map.cols / 2, map.rows / 2), std::max(map.cols, map.rows));
}

// Radius of the outline around the patch centre whose slope points most
// consistently towards or away from the centre; 0 when none stands out.
double outlineRadius(const cv::Mat &patch)
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
    for (int bin = 2; bin < c - 1; ++bin) {
        const double n = count[bin - 1] + count[bin] + count[bin + 1];
        if (n <= 0)
            continue;
        const double slope = std::fabs(sum[bin - 1] + sum[bin] + sum[bin + 1]) / n;
        if (slope > bestSlope) {
            bestSlope = slope;
            bestBin = bin;
        }
    }
    return bestSlope >= kMinEdgeSlope ? bestBin : 0;
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

} // namespace

class AutoTracker::Private {
public:
    struct Match {
        Vec2 position;
        double adaptive = -1;
        double memory = -1;
        double rank = -std::numeric_limits<double>::infinity();
    };

    void start(const cv::Mat &frame, Vec2 click);
    TrackStep next(const cv::Mat &frame);

    cv::Size frameSize() const { return m_frameSize; }

    Vec2 m_start;
    bool m_hasTarget = false;
    bool m_lost = false;

private:
    double objectRadiusPx() const { return m_radius * m_spacing; }
    double searchRadiusPx() const;
    std::optional<Vec2> symmetryCentre(const GraySampler &sampler, Vec2 point, double minScore, double maxShift) const;
    cv::Mat templateAt(const GraySampler &sampler, Vec2 centre, double spacing) const;
    cv::Mat objectWeights() const;
    Vec2 onGrid(Vec2 centre, cv::Point2d offset, double spacing) const;
    Match search(const GraySampler &sampler, Vec2 centre, double radiusPx, Vec2 predicted) const;
    Match refine(const GraySampler &sampler, Vec2 candidate, int reach, Vec2 predicted, double radiusPx) const;
    bool accepted(const Match &match, const Thresholds &limits) const;
    bool onPath(const Match &match, Vec2 predicted) const;
    void learn(const GraySampler &sampler, const Match &match, Vec2 predicted);
    void learnPose(const GraySampler &sampler, Vec2 centre);
    bool predictionLeftPicture(Vec2 predicted) const;

    cv::Size m_frameSize;
    int m_frame = 0;
    double m_spacing = 1; // frame pixels per template sample
    double m_firstSpacing = 1;
    double m_radius = 0;   // object radius in samples
    double m_angle = 0;    // the object's turn since the start, radians
    double m_turnRate = 0; // per frame
    int m_half = 0;        // template half side in samples
    cv::Mat m_adaptive;
    cv::Mat m_weights;
    std::vector<cv::Mat> m_appearances; // the first one stays
    int m_lastAppearanceFrame = 0;
    int m_firstSamples = 1;
    MotionModel m_motion;
    double m_lastResidual = 0;
    double m_typicalResidual = 0;
    double m_typicalScore = 1;
    int m_missing = 0;
};

void AutoTracker::Private::start(const cv::Mat &frame, Vec2 click)
{
    m_frameSize = frame.size();
    m_start = click;
    const GraySampler sampler(frame);
    const int probe = std::max(kMinProbeRadius, std::min(frame.cols, frame.rows) / 12);
    const cv::Mat around = sampler.sample(click, 1, cv::Size(2 * probe + 1, 2 * probe + 1));
    double radiusPx = outlineRadius(around);
    if (radiusPx <= 0)
        radiusPx = kDefaultRadius;
    if (spreadWithin(around, radiusPx + kTemplateMargin) < kMinSpread)
        return;
    m_spacing = std::max(1.0, 2 * radiusPx / kMaxObjectDiameter);
    m_firstSpacing = m_spacing;
    m_radius = radiusPx / m_spacing;
    m_half = static_cast<int>(std::ceil(m_radius)) + kTemplateMargin;
    m_weights = objectWeights();
    // A click is up to half a pixel off the object's centre.
    m_start = symmetryCentre(sampler, click, 0.6, 1.0).value_or(click);
    m_adaptive = templateAt(sampler, m_start, m_spacing);
    m_appearances = {m_adaptive.clone()};
    m_motion.add(0, m_start);
    m_hasTarget = true;
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
    const double full = m_radius + 1, gone = m_half + 0.5;
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
        // No motion known yet: a fast object may be anywhere nearby.
        const double scale = std::max(1.0, m_frameSize.height / 1080.0);
        return std::max(72.0 * scale, 3 * objectRadius);
    }
    const double speed = length(m_motion.velocity());
    return base + 2 * m_lastResidual + 0.2 * speed + m_missing * (3 + 0.3 * speed + 0.2 * objectRadius);
}

AutoTracker::Private::Match AutoTracker::Private::search(const GraySampler &sampler, Vec2 centre, double radiusPx,
                                                         Vec2 predicted) const
{
    const int radius = std::clamp(static_cast<int>(std::ceil(radiusPx / m_spacing)), 1, kMaxSearchSamples);
    const int level = radius > kCoarseAbove ? 2 : 1;
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
            row[x] -= static_cast<float>(kPathPreference * d * d);
        }
    }

    Match best;
    double firstScore = 0;
    const int suppress = std::max(1, coarseHalf);
    for (int i = 0; i < kCandidates; ++i) {
        double score = 0;
        cv::Point cell;
        cv::minMaxLoc(map, nullptr, &score, nullptr, &cell);
        if (i == 0)
            firstScore = score;
        else if (score < firstScore - 0.4 || score < 0.2)
            break;
        const Match match = refine(sampler, positionOf(cell), level + 1, predicted, reachPx);
        if (match.rank > best.rank)
            best = match;
        cv::circle(map, cell, suppress, cv::Scalar(-10), -1);
    }
    return best;
}

// Matches every template around one candidate at full detail, following
// the adapted template's peak when it lies at the edge of the area.
AutoTracker::Private::Match AutoTracker::Private::refine(const GraySampler &sampler, Vec2 candidate, int reach,
                                                         Vec2 predicted, double radiusPx) const
{
    constexpr int kMoves = 3;
    const int side = 2 * m_half + 1 + 2 * reach;
    cv::Mat area;
    Peak adaptive;
    for (int move = 0; move <= kMoves; ++move) {
        area = sampler.sample(candidate, m_spacing, cv::Size(side, side), m_angle);
        adaptive = subPixelPeak(correlate(area, m_adaptive, m_weights));
        const cv::Point cell(static_cast<int>(std::lround(adaptive.at.x)),
                             static_cast<int>(std::lround(adaptive.at.y)));
        const bool atEdge = cell.x == 0 || cell.y == 0 || cell.x == 2 * reach || cell.y == 2 * reach;
        if (!atEdge || move == kMoves)
            break;
        candidate = onGrid(candidate, cv::Point2d(cell.x - reach, cell.y - reach), m_spacing);
    }
    Match match;
    match.adaptive = adaptive.score;
    cv::Point2d at = adaptive.at;
    for (std::size_t i = 0; i < m_appearances.size(); ++i) {
        const cv::Mat map = correlate(area, m_appearances[i], m_weights);
        match.memory = std::max(match.memory, peakNear(map, adaptive.at, 1).score);
        // The first appearance anchors the position while it still fits
        // nearly as well as the adapted template, so small errors of the
        // latter cannot add up.
        if (i == 0) {
            const Peak first = peakNear(map, adaptive.at, 2);
            const bool fits = first.score >= kAnchorScore && first.score >= adaptive.score - kAnchorLead;
            if (fits && std::hypot(first.at.x - adaptive.at.x, first.at.y - adaptive.at.y) < 2)
                at = first.at;
        }
    }
    match.position = onGrid(candidate, cv::Point2d(at.x - reach, at.y - reach), m_spacing);
    const double d = length(minus(match.position, predicted)) / std::max(radiusPx, 1.0);
    match.rank = 0.5 * (match.adaptive + match.memory) - kPathPreference * d * d;
    return match;
}

bool AutoTracker::Private::accepted(const Match &match, const Thresholds &limits) const
{
    const bool inPicture = match.position.x >= -0.5 && match.position.y >= -0.5
                           && match.position.x < m_frameSize.width - 0.5 && match.position.y < m_frameSize.height - 0.5;
    return inPicture && match.adaptive >= limits.adaptive && match.memory >= limits.memory;
}

// A middling match off a path the object kept to closely is more likely
// the object half covered, pulled aside by what covers it, than the
// object itself.
bool AutoTracker::Private::onPath(const Match &match, Vec2 predicted) const
{
    if (match.adaptive >= std::min(kSureScore, m_typicalScore - 0.1) || m_motion.samples() < 4 || m_missing > 0)
        return true;
    return length(minus(match.position, predicted)) <= 1 + 4 * std::max(m_typicalResidual, 0.5);
}

void AutoTracker::Private::learn(const GraySampler &sampler, const Match &match, Vec2 predicted)
{
    const double residual = length(minus(match.position, predicted));
    // An abrupt turn (a bounce): older positions no longer describe the motion.
    if (m_motion.samples() >= 3 && residual > std::max(3.0, 0.5 * objectRadiusPx()))
        m_motion.keepNewest(1);
    m_motion.add(m_frame, match.position);
    m_lastResidual = residual;
    m_typicalResidual = m_motion.samples() <= 2 ? residual : 0.8 * m_typicalResidual + 0.2 * residual;
    m_typicalScore = 0.8 * m_typicalScore + 0.2 * match.adaptive;
    m_missing = 0;
    if (match.adaptive < 0.8)
        return;
    const cv::Mat now = templateAt(sampler, match.position, m_spacing);
    cv::addWeighted(m_adaptive, 1 - kAdaptRate, now, kAdaptRate, 0, m_adaptive);
    if (m_firstSamples < kFirstSamples) {
        // The first appearance is the mean of the first few frames: less
        // noise in it, where the object is faint.
        ++m_firstSamples;
        cv::addWeighted(m_appearances.front(), 1 - 1.0 / m_firstSamples, now, 1.0 / m_firstSamples, 0,
                        m_appearances.front());
    }
    if (match.adaptive >= 0.9 && match.memory < 0.8 && m_frame - m_lastAppearanceFrame >= 5) {
        if (m_appearances.size() >= kMaxAppearances)
            m_appearances.erase(m_appearances.begin() + 1);
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
    const double scaleStep =
        parabolaOffset(fit(m_spacing * (1 - kScaleProbe), m_angle), now, fit(m_spacing * (1 + kScaleProbe), m_angle))
        * 2 * kScaleProbe;
    const double turn = parabolaOffset(fit(m_spacing, m_angle - kTurnProbe), now, fit(m_spacing, m_angle + kTurnProbe))
                        * 2 * kTurnProbe;
    m_spacing = std::clamp(m_spacing * (1 + 0.7 * scaleStep), m_firstSpacing / 4, m_firstSpacing * 4);
    m_angle += 0.7 * turn;
    m_turnRate += 0.5 * 0.7 * turn;
}

bool AutoTracker::Private::predictionLeftPicture(Vec2 predicted) const
{
    const double margin = 2 * objectRadiusPx();
    return predicted.x < -margin || predicted.y < -margin || predicted.x > m_frameSize.width - 1 + margin
           || predicted.y > m_frameSize.height - 1 + margin;
}

TrackStep AutoTracker::Private::next(const cv::Mat &frame)
{
    ++m_frame;
    if (!m_hasTarget)
        m_lost = true;
    if (m_lost)
        return {TrackStep::State::Lost};
    const GraySampler sampler(frame);
    m_angle += m_turnRate;
    const Vec2 predicted = m_motion.predict(m_frame);
    const double radius = searchRadiusPx();
    Match match = search(sampler, predicted, radius, predicted);
    bool found = accepted(match, m_missing > 0 ? kReacquiring : kFollowing) && onPath(match, predicted);
    if (!found && m_missing > 0) {
        // The object may have turned while out of sight: look around where
        // it was, as far as where it would be.
        const Vec2 last = m_motion.lastPosition();
        match = search(sampler, last, radius + length(minus(predicted, last)), predicted);
        found = accepted(match, kReacquiring);
    }
    if (!found && m_missing == 0 && m_motion.samples() >= 2) {
        // Weak evidence on the predicted path: the motion may have turned.
        const double wide = std::max(2 * radius, 1.5 * length(m_motion.velocity()) + 0.5 * objectRadiusPx());
        match = search(sampler, m_motion.lastPosition(), wide, predicted);
        found = accepted(match, kWidened);
    }
    if (found) {
        // A symmetric object's own centre keeps the templates from drifting
        // off it where the first appearance no longer fits.
        match.position = symmetryCentre(sampler, match.position, kSymmetricScore, 1.0).value_or(match.position);
        learn(sampler, match, predicted);
        const double confidence = std::clamp(0.5 * (match.adaptive + match.memory), 0.0, 1.0);
        return {TrackStep::State::Found, match.position.x, match.position.y, confidence};
    }
    ++m_missing;
    if (m_missing > kMaxMissing || (m_missing > kMissingOutside && predictionLeftPicture(predicted))) {
        m_lost = true;
        return {TrackStep::State::Lost};
    }
    return {TrackStep::State::Hidden};
}

AutoTracker::AutoTracker(const RgbImage &startFrame, double x, double y) : AutoTracker(frameHeader(startFrame), x, y) {}

AutoTracker::AutoTracker(const GrayImage &startFrame, double x, double y) : AutoTracker(frameHeader(startFrame), x, y)
{}

AutoTracker::AutoTracker(const cv::Mat &frame, double x, double y) : m_impl(std::make_unique<Private>())
{
    if (!(x >= -0.5 && x < frame.cols - 0.5 && y >= -0.5 && y < frame.rows - 0.5))
        throw AutoTrackError(AutoTrackErrorKind::PointOutside, "the point is outside the picture");
    m_impl->start(frame, {x, y});
}

AutoTracker::~AutoTracker() = default;

double AutoTracker::startX() const { return m_impl->m_start.x; }

double AutoTracker::startY() const { return m_impl->m_start.y; }

bool AutoTracker::hasTarget() const { return m_impl->m_hasTarget; }

TrackStep AutoTracker::next(const RgbImage &frame) { return next(frameHeader(frame)); }

TrackStep AutoTracker::next(const GrayImage &frame) { return next(frameHeader(frame)); }

TrackStep AutoTracker::next(const cv::Mat &frame)
{
    if (frame.size() != m_impl->frameSize())
        throw AutoTrackError(AutoTrackErrorKind::SizeChanged, "the frame's size differs from the start frame's");
    return m_impl->next(frame);
}

} // namespace zorvane
