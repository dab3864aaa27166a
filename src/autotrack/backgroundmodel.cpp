#include "autotrack/backgroundmodel.h"

#include "autotrack/colourprojection.h"
#include "autotrack/graysampler.h"
#include "common/middlevalue.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace zorvane {

namespace {

// The noise that differences mostly of background show: their median
// scaled to a standard deviation, whatever a few large ones do.
double noiseOf(std::vector<float> differences) { return 1.4826 * middleValue(std::move(differences)); }

// Batcher's odd-even merge sort for n values, as pairs (lower, upper) to
// put in order one after the other. Built for the next power of two with
// the missing values taken as larger than any: pairs that reach them
// change nothing and are left out.
std::vector<std::pair<int, int>> sortingPairs(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    std::vector<std::pair<int, int>> pairs;
    for (int q = 1; q < p; q *= 2)
        for (int r = q; r > 0; r /= 2)
            for (int j = r % q; j + r < p; j += 2 * r)
                for (int i = 0; i < std::min(r, p - j - r); ++i)
                    if ((i + j) / (2 * q) == (i + j + r) / (2 * q) && i + j + r < n)
                        pairs.emplace_back(i + j, i + j + r);
    return pairs;
}

// The pairs of a sorting network for n values that the value at `place`
// depends on: the others order values no one reads.
std::vector<std::pair<int, int>> pairsFor(int n, int place)
{
    std::vector<std::pair<int, int>> pairs = sortingPairs(n);
    std::vector<bool> needed(static_cast<std::size_t>(n), false);
    needed[static_cast<std::size_t>(place)] = true;
    std::vector<std::pair<int, int>> kept;
    for (auto pair = pairs.rbegin(); pair != pairs.rend(); ++pair) {
        const auto &[a, b] = *pair;
        if (!needed[static_cast<std::size_t>(a)] && !needed[static_cast<std::size_t>(b)])
            continue;
        needed[static_cast<std::size_t>(a)] = needed[static_cast<std::size_t>(b)] = true;
        kept.push_back(*pair);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

// Puts each pair of rows in order, sample by sample: the lower values in
// the first row, the upper in the second.
void orderRows(float *first, float *second, int width)
{
    int x = 0;
#if CV_SIMD
    for (; x + cv::v_float32::nlanes <= width; x += cv::v_float32::nlanes) {
        const cv::v_float32 a = cv::vx_load(first + x), b = cv::vx_load(second + x);
        cv::v_store(first + x, cv::v_min(a, b));
        cv::v_store(second + x, cv::v_max(a, b));
    }
#endif
    for (; x < width; ++x) {
        const float lower = std::min(first[x], second[x]);
        second[x] = std::max(first[x], second[x]);
        first[x] = lower;
    }
}

// The layers' middle value sample by sample, by a sorting network run on
// one row of every layer at a time: the rows stay in the nearest cache,
// and this runs on every sample of every frame.
cv::Mat middleLayer(const std::vector<cv::Mat> &layers)
{
    const int count = static_cast<int>(layers.size());
    const int middle = count / 2;
    const std::vector<std::pair<int, int>> pairs = pairsFor(count, middle);
    const cv::Size size = layers.front().size();
    cv::Mat result(size, CV_32F);
    std::vector<float> rows(static_cast<std::size_t>(count) * size.width);
    const auto rowOf = [&](int layer) { return rows.data() + static_cast<std::size_t>(layer) * size.width; };
    for (int y = 0; y < size.height; ++y) {
        for (int i = 0; i < count; ++i)
            std::copy_n(layers[i].ptr<float>(y), size.width, rowOf(i));
        for (const auto &[a, b] : pairs)
            orderRows(rowOf(a), rowOf(b), size.width);
        std::copy_n(rowOf(middle), size.width, result.ptr<float>(y));
    }
    return result;
}

cv::Mat inLight(const cv::Mat &layer, double gain)
{
    if (gain == 1)
        return layer;
    cv::Mat scaled = layer * gain;
    cv::min(scaled, 255.0, scaled); // no brighter than the camera records
    return scaled;
}

float greyAt(const cv::Mat &frame, int x, int y)
{
    const uchar *pixel = frame.ptr<uchar>(y) + x * frame.channels();
    if (frame.channels() == 1)
        return pixel[0];
    const cv::Matx13f luminance = ColourProjection().weights;
    return luminance(0) * pixel[0] + luminance(1) * pixel[1] + luminance(2) * pixel[2];
}

// Every 32nd pixel either way: the light is the whole picture's, which the
// object covers little of.
constexpr int kLightStride = 32;

std::vector<float> lightSamplesOf(const cv::Mat &frame)
{
    std::vector<float> levels;
    for (int y = kLightStride / 2; y < frame.rows; y += kLightStride)
        for (int x = kLightStride / 2; x < frame.cols; x += kLightStride)
            levels.push_back(greyAt(frame, x, y));
    return levels;
}

// The light factor between paired samples of two frames (none for a
// picture smaller than their spacing), given their middle values.
double gainBetween(const std::vector<float> &now, float lightNow, const std::vector<float> &then, float lightThen)
{
    // Not below this level, where grain sets it, nor for a smaller change
    // than this, which noise makes.
    constexpr float kDarkest = 16;
    constexpr double kSameLight = 0.02;
    // Share of the differences between the frames the factor must leave.
    constexpr double kExplained = 0.8;
    if (now.size() < 16 || lightNow < kDarkest || lightThen < kDarkest
        || std::fabs(lightNow / lightThen - 1) < kSameLight)
        return 1;
    // The typical difference left between the frames at that gain.
    auto leftOver = [&](double gain) {
        std::vector<float> differences(now.size());
        for (std::size_t i = 0; i < now.size(); ++i)
            differences[i] = std::fabs(now[i] - static_cast<float>(gain) * then[i]);
        return middleValue(std::move(differences));
    };
    // Only a change that one factor explains over the picture: not a
    // background that changes by itself (a screen, moving shadows).
    const double gain = lightNow / lightThen;
    return leftOver(gain) <= kExplained * leftOver(1) ? gain : 1;
}

// The weights within `radius` samples of `centre`: their sum, their
// centre, and how much of them lies in the outer tenth of the disc.
struct DiscWeight {
    double mass = 0;
    Vec2 centre;
    double outer = 0;
};

DiscWeight weightWithin(const cv::Mat &weights, Vec2 centre, double radius)
{
    DiscWeight disc;
    double sumX = 0, sumY = 0;
    const double within = radius * radius, edge = 0.81 * within;
    for (int y = static_cast<int>(std::ceil(centre.y - radius)); y <= centre.y + radius; ++y) {
        const float *row = weights.ptr<float>(y);
        const double dy = y - centre.y;
        for (int x = static_cast<int>(std::ceil(centre.x - radius)); x <= centre.x + radius; ++x) {
            const double dx = x - centre.x;
            const double squared = dx * dx + dy * dy;
            if (squared > within || row[x] <= 0)
                continue;
            disc.mass += row[x];
            sumX += row[x] * x;
            sumY += row[x] * y;
            if (squared > edge)
                disc.outer += row[x];
        }
    }
    if (disc.mass > 0)
        disc.centre = {sumX / disc.mass, sumY / disc.mass};
    return disc;
}

} // namespace

double lightChange(const cv::Mat &now, Vec2 nowOffset, const cv::Mat &then, Vec2 thenOffset)
{
    const int dx = static_cast<int>(std::lround(nowOffset.x - thenOffset.x));
    const int dy = static_cast<int>(std::lround(nowOffset.y - thenOffset.y));
    std::vector<float> levelsNow, levelsThen;
    for (int y = kLightStride / 2; y < now.rows; y += kLightStride) {
        if (y + dy < 0 || y + dy >= then.rows)
            continue;
        for (int x = kLightStride / 2; x < now.cols; x += kLightStride) {
            if (x + dx < 0 || x + dx >= then.cols)
                continue;
            levelsNow.push_back(greyAt(now, x, y));
            levelsThen.push_back(greyAt(then, x + dx, y + dy));
        }
    }
    return gainBetween(levelsNow, middleValue(levelsNow), levelsThen, middleValue(levelsThen));
}

void BackgroundModel::add(const cv::Mat &frame, Vec2 cameraOffset, std::optional<Vec2> object, double objectRadius)
{
    Kept kept;
    kept.offset = cameraOffset;
    kept.object = object;
    kept.radius = objectRadius;
    if (frame.channels() == 3)
        cv::cvtColor(frame, kept.gray, cv::COLOR_RGB2GRAY);
    else
        kept.gray = frame.u ? frame : frame.clone();
    kept.lightSamples = lightSamplesOf(kept.gray);
    kept.lightMiddle = middleValue(kept.lightSamples);
    m_frames.push_back(std::move(kept));
    m_lightKnown = false;
    if (static_cast<int>(m_frames.size()) > m_keep)
        m_frames.erase(m_frames.begin() + static_cast<std::ptrdiff_t>(leastUseful()));
}

// The kept frames' light factors for `frame`, worked out once for it: they
// depend only on the samples they read of it and on the camera's offset.
void BackgroundModel::bringToLightOf(const cv::Mat &frame, Vec2 cameraOffset) const
{
    std::vector<float> samples = lightSamplesOf(frame);
    if (m_lightKnown && samples == m_lightSamples && cameraOffset.x == m_lightOffset.x
        && cameraOffset.y == m_lightOffset.y)
        return;
    // Under a still camera both show the same place: the samples kept with
    // each frame pair with these.
    const float middle = middleValue(samples);
    for (Kept &kept : m_frames)
        kept.gain = kept.offset.x == cameraOffset.x && kept.offset.y == cameraOffset.y
                        ? gainBetween(samples, middle, kept.lightSamples, kept.lightMiddle)
                        : lightChange(frame, cameraOffset, kept.gray, kept.offset);
    m_lightSamples = std::move(samples);
    m_lightOffset = cameraOffset;
    m_lightKnown = true;
}

// The kept frame that adds least: one without the object's place, else
// the one whose object was nearest its predecessor's. So a slow object's
// frames spread over a longer stretch of its path, and every place is
// seen without it in some.
std::size_t BackgroundModel::leastUseful() const
{
    std::size_t least = 0;
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < m_frames.size(); ++i) {
        const Kept &kept = m_frames[i];
        if (!kept.object)
            return i;
        if (i == 0)
            continue;
        const Kept &before = m_frames[i - 1];
        const double d = before.object
                             ? std::hypot(kept.object->x - before.object->x, kept.object->y - before.object->y)
                             : std::numeric_limits<double>::infinity();
        if (d < nearest) {
            nearest = d;
            least = i;
        }
    }
    return least;
}

// Beyond the picture's edge frames repeat their border: a point there is
// in none.
std::optional<Vec2> BackgroundModel::Kept::placeOf(Vec2 world) const
{
    const Vec2 at{world.x - offset.x, world.y - offset.y};
    if (at.x < 0 || at.y < 0 || at.x > gray.cols - 1 || at.y > gray.rows - 1)
        return std::nullopt;
    return at;
}

bool BackgroundModel::Kept::objectWithin(Vec2 world, double distance) const
{
    return object && std::hypot(object->x - world.x, object->y - world.y) < distance;
}

// The median of the kept frames over the grid, each read where the world
// point under the grid was in it; frames that do not hold the point, or
// in which the object was near it, are left out. Empty when fewer than
// `least` remain.
cv::Mat BackgroundModel::background(Vec2 cameraOffset, Vec2 near, double spacing, cv::Size size, double extent,
                                    double *noise, const cv::Mat &now) const
{
    const Vec2 world{near.x + cameraOffset.x, near.y + cameraOffset.y};
    std::vector<std::pair<const Kept *, Vec2>> usable;
    for (const Kept &kept : m_frames) {
        const std::optional<Vec2> at = kept.placeOf(world);
        if (at && !kept.objectWithin(world, 2.5 * std::max(kept.radius, extent) + 2))
            usable.emplace_back(&kept, *at);
    }
    if (static_cast<int>(usable.size()) < m_least)
        return {};
    if (!now.empty())
        bringToLightOf(now, cameraOffset);
    std::vector<cv::Mat> layers;
    for (const auto &[kept, at] : usable)
        layers.push_back(inLight(GraySampler(kept->gray).sample(at, spacing, size), now.empty() ? 1 : kept->gain));
    return medianOf(layers, noise);
}

cv::Mat medianOf(const std::vector<cv::Mat> &layers, double *noise)
{
    const cv::Size size = layers.front().size();
    const cv::Mat median = middleLayer(layers);
    std::vector<float> spreads;
    spreads.reserve(static_cast<std::size_t>(size.area()));
    for (int y = 0; y < size.height; ++y) {
        const float *middle = median.ptr<float>(y);
        for (int x = 0; x < size.width; ++x)
            spreads.push_back(std::fabs(layers[(x + y) % layers.size()].at<float>(y, x) - middle[x]));
    }
    *noise = noiseOf(std::move(spreads));
    return median;
}

// Moving samples of the grid around `near`, with their connected regions
// labelled. Empty when the background there is not known, or when most of
// the grid moves (a change of light, or a grid smaller than the object).
BackgroundModel::Regions BackgroundModel::regions(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double spacing,
                                                  int half, double extent) const
{
    const cv::Size size(2 * half + 1, 2 * half + 1);
    double noise = 0;
    const cv::Mat background = this->background(cameraOffset, near, spacing, size, extent, &noise, frame);
    if (background.empty())
        return {};
    return label(GraySampler(frame).sample(near, spacing, size), background, noise,
                 {near.x - half * spacing, near.y - half * spacing}, spacing);
}

// The moving samples of a grid whose first sample lies at `origin`,
// labelled; none when most of the grid moves (a change of light, or a grid
// smaller than the object).
BackgroundModel::Regions BackgroundModel::label(const cv::Mat &now, const cv::Mat &background, double noise,
                                                Vec2 origin, double spacing) const
{
    Regions regions;
    cv::Mat difference;
    cv::absdiff(now, background, difference);
    const double threshold = clearDifference(noise);
    cv::Mat mask = difference > threshold;
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));
    if (2 * static_cast<std::size_t>(cv::countNonZero(mask)) > mask.total())
        return regions;
    cv::Mat centroids;
    regions.count = cv::connectedComponentsWithStats(mask, regions.labels, regions.stats, centroids, 8, CV_32S);
    regions.origin = origin;
    regions.spacing = spacing;
    return regions;
}

// A labelled region as a blob; empty when it reaches the grid's border.
// Where the object's grey matches the background's, the region has holes;
// its outline, filled, still places it.
std::optional<Blob> BackgroundModel::Regions::blob(int label) const
{
    const int left = stats.at<int>(label, cv::CC_STAT_LEFT), top = stats.at<int>(label, cv::CC_STAT_TOP);
    if (left == 0 || top == 0 || left + stats.at<int>(label, cv::CC_STAT_WIDTH) >= labels.cols
        || top + stats.at<int>(label, cv::CC_STAT_HEIGHT) >= labels.rows)
        return std::nullopt;
    // Within the region's box and a sample around it: a picture of noise
    // holds thousands of regions, and each looked at over the whole grid
    // took minutes.
    const cv::Rect box(left - 1, top - 1, stats.at<int>(label, cv::CC_STAT_WIDTH) + 2,
                       stats.at<int>(label, cv::CC_STAT_HEIGHT) + 2);
    std::vector<std::vector<cv::Point>> outlines;
    cv::findContours(labels(box) == label, outlines, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    cv::Mat filled = cv::Mat::zeros(box.size(), CV_8U);
    cv::drawContours(filled, outlines, -1, cv::Scalar(255), cv::FILLED);
    const cv::Moments moments = cv::moments(filled, true);
    if (moments.m00 <= 0)
        return std::nullopt;
    // Sums of whole sample places, as over the whole grid.
    const double sumX = moments.m10 + box.x * moments.m00, sumY = moments.m01 + box.y * moments.m00;
    return Blob{{origin.x + sumX / moments.m00 * spacing, origin.y + sumY / moments.m00 * spacing},
                moments.m00 * spacing * spacing};
}

BackgroundModel::Finding BackgroundModel::blobAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double spacing,
                                                 int half, int core, double extent) const
{
    const Regions found = regions(frame, cameraOffset, near, spacing, half, extent);
    if (found.labels.empty())
        return {};
    core = std::clamp(core, 0, half);
    const cv::Mat middle = found.labels(cv::Rect(half - core, half - core, 2 * core + 1, 2 * core + 1));
    int largest = 0;
    for (int y = 0; y < middle.rows; ++y) {
        for (int x = 0; x < middle.cols; ++x) {
            const int label = middle.at<int>(y, x);
            if (label > 0
                && (largest == 0
                    || found.stats.at<int>(label, cv::CC_STAT_AREA) > found.stats.at<int>(largest, cv::CC_STAT_AREA)))
                largest = label;
        }
    }
    if (largest == 0)
        return {true, std::nullopt};
    const std::optional<Blob> blob = found.blob(largest);
    if (!blob)
        return {};
    return {true, blob};
}

bool BackgroundModel::unchangedAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double radius) const
{
    // Past a tenth of the disc changed, something arrived or left.
    constexpr double kChangedShare = 0.1;
    const int half = static_cast<int>(std::ceil(radius));
    const cv::Size size(2 * half + 1, 2 * half + 1);
    cv::Mat disc = cv::Mat::zeros(size, CV_8U);
    cv::circle(disc, cv::Point(half, half), half, cv::Scalar(255), cv::FILLED);
    const cv::Mat now = GraySampler(frame).sample(near, 1, size);
    const Vec2 world{near.x + cameraOffset.x, near.y + cameraOffset.y};
    for (const Kept &kept : m_frames) {
        const std::optional<Vec2> at = kept.placeOf(world);
        if (!at || kept.objectWithin(world, kept.radius + radius + 2))
            continue;
        cv::Mat difference;
        cv::absdiff(now, GraySampler(kept.gray).sample(*at, 1, size), difference);
        const cv::Mat changed = (difference > m_minContrast) & disc;
        if (cv::countNonZero(changed) < kChangedShare * cv::countNonZero(disc))
            return true;
    }
    return false;
}

cv::Mat BackgroundModel::pictureAt(Vec2 cameraOffset, Vec2 near, int half, double extent) const
{
    double noise = 0;
    const cv::Mat median = background(cameraOffset, near, 1, cv::Size(2 * half + 1, 2 * half + 1), extent, &noise);
    cv::Mat grey;
    if (!median.empty())
        median.convertTo(grey, CV_8U);
    return grey;
}

std::optional<BackgroundModel::Mass> BackgroundModel::differenceAt(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near,
                                                                   double radius, double spacing, double extent) const
{
    // Read once, half as far again, for the centre to move in.
    const double samples = radius / spacing;
    const int half = static_cast<int>(std::ceil(1.5 * samples));
    const cv::Size size(2 * half + 1, 2 * half + 1);
    double noise = 0;
    const cv::Mat background = this->background(cameraOffset, near, spacing, size, extent, &noise, frame);
    if (background.empty())
        return std::nullopt;
    cv::Mat weights;
    cv::absdiff(GraySampler(frame).sample(near, spacing, size), background, weights);
    // Differences within the noise weigh nothing, clear ones fully.
    const double clear = clearDifference(noise);
    const double faint = 0.5 * clear;
    weights = cv::min(cv::max((weights - faint) / (clear - faint), 0.0), 1.0);
    Vec2 centre{static_cast<double>(half), static_cast<double>(half)};
    Mass found{near, 0, 0};
    for (int step = 0; step < 3; ++step) {
        if (centre.x - samples < 0 || centre.y - samples < 0 || centre.x + samples > 2 * half
            || centre.y + samples > 2 * half)
            break;
        const DiscWeight disc = weightWithin(weights, centre, samples);
        if (disc.mass <= 0)
            return Mass{near, 0, 0};
        centre = disc.centre;
        found = {{near.x + spacing * (centre.x - half), near.y + spacing * (centre.y - half)},
                 disc.mass * spacing * spacing,
                 disc.outer / disc.mass};
    }
    return found;
}

std::vector<Blob> BackgroundModel::blobsAround(const cv::Mat &frame, Vec2 cameraOffset, Vec2 centre, double spacing,
                                               int half, double extent) const
{
    return regions(frame, cameraOffset, centre, spacing, half, extent).blobs();
}

std::vector<Blob> BackgroundModel::blobsSinceFirst(const cv::Mat &frame, Vec2 cameraOffset, Vec2 centre,
                                                   double spacing, int half) const
{
    if (m_frames.empty())
        return {};
    const Kept &first = m_frames.front();
    const std::optional<Vec2> at = first.placeOf({centre.x + cameraOffset.x, centre.y + cameraOffset.y});
    if (!at)
        return {};
    const cv::Size size(2 * half + 1, 2 * half + 1);
    const cv::Mat then = GraySampler(first.gray).sample(*at, spacing, size);
    const cv::Mat now = GraySampler(frame).sample(centre, spacing, size);
    cv::Mat difference;
    cv::absdiff(now, then, difference);
    const double noise = noiseOf(std::vector<float>(difference.begin<float>(), difference.end<float>()));
    return label(now, then, noise, {centre.x - half * spacing, centre.y - half * spacing}, spacing).blobs();
}

std::vector<Blob> BackgroundModel::Regions::blobs() const
{
    std::vector<Blob> found;
    for (int label = 1; label < count; ++label) {
        if (stats.at<int>(label, cv::CC_STAT_AREA) < 6)
            continue; // grain
        if (const std::optional<Blob> blob = this->blob(label))
            found.push_back(*blob);
    }
    return found;
}

// Each kept frame shrunk once per factor, shifted by the camera's move.
std::vector<Blob> BackgroundModel::blobsEverywhere(const cv::Mat &frame, Vec2 cameraOffset, int factor) const
{
    if (static_cast<int>(m_frames.size()) < m_least)
        return {};
    auto shrink = [factor](const cv::Mat &gray) {
        cv::Mat small, values;
        cv::resize(gray, small, cv::Size(std::max(1, gray.cols / factor), std::max(1, gray.rows / factor)), 0, 0,
                   cv::INTER_AREA);
        small.convertTo(values, CV_32F);
        return values;
    };
    bringToLightOf(frame, cameraOffset);
    std::vector<cv::Mat> layers;
    for (Kept &kept : m_frames) {
        if (kept.factor != factor) {
            kept.small = shrink(kept.gray);
            kept.factor = factor;
        }
        const double dx = (kept.offset.x - cameraOffset.x) / factor, dy = (kept.offset.y - cameraOffset.y) / factor;
        if (dx == 0 && dy == 0) {
            layers.push_back(inLight(kept.small, kept.gain)); // a still camera: nothing to move
            continue;
        }
        cv::Mat moved;
        cv::warpAffine(kept.small, moved, cv::Matx23d(1, 0, -dx, 0, 1, -dy), kept.small.size(), cv::INTER_LINEAR,
                       cv::BORDER_REPLICATE);
        layers.push_back(inLight(moved, kept.gain));
    }
    const cv::Mat now = shrink(toGray(frame, ColourProjection()));
    double noise = 0;
    const cv::Mat background = medianOf(layers, &noise);
    // A coarse sample covers factor x factor pixels; its centre lies half
    // of that in.
    const double first = (factor - 1) / 2.0;
    return label(now, background, noise, {first, first}, factor).blobs();
}

} // namespace zorvane
