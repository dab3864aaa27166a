#include "autotrack/backgroundmodel.h"

#include "autotrack/graysampler.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zorvane {

void BackgroundModel::add(const cv::Mat &frame, Vec2 cameraOffset, std::optional<Vec2> object, double objectRadius)
{
    Kept kept{cv::Mat(), cameraOffset, object, objectRadius};
    if (frame.channels() == 3)
        cv::cvtColor(frame, kept.gray, cv::COLOR_RGB2GRAY);
    else
        kept.gray = frame.clone();
    m_frames.push_back(std::move(kept));
    if (static_cast<int>(m_frames.size()) > m_keep)
        m_frames.erase(m_frames.begin() + static_cast<std::ptrdiff_t>(leastUseful()));
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

// The median of the kept frames over the grid, each read where the world
// point under the grid was in it; frames that do not hold the point, or
// in which the object was near it, are left out. Empty when fewer than
// `least` remain.
cv::Mat BackgroundModel::background(Vec2 cameraOffset, Vec2 near, double spacing, cv::Size size, double extent,
                                    double *noise) const
{
    std::vector<cv::Mat> layers;
    for (const Kept &kept : m_frames) {
        const Vec2 at{near.x + cameraOffset.x - kept.offset.x, near.y + cameraOffset.y - kept.offset.y};
        // Beyond the picture's edge both frames repeat their border.
        if (at.x < 0 || at.y < 0 || at.x > kept.gray.cols - 1 || at.y > kept.gray.rows - 1)
            continue;
        if (kept.object
            && std::hypot(kept.object->x - near.x - cameraOffset.x, kept.object->y - near.y - cameraOffset.y)
                   < 2.5 * std::max(kept.radius, extent) + 2)
            continue;
        layers.push_back(GraySampler(kept.gray).sample(at, spacing, size));
    }
    if (static_cast<int>(layers.size()) < m_least)
        return {};
    cv::Mat median(size, CV_32F);
    std::vector<float> values(layers.size());
    std::vector<float> spreads;
    spreads.reserve(static_cast<std::size_t>(size.area()));
    const std::size_t middle = values.size() / 2;
    for (int y = 0; y < size.height; ++y) {
        float *out = median.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            for (std::size_t i = 0; i < layers.size(); ++i)
                values[i] = layers[i].at<float>(y, x);
            std::nth_element(values.begin(), values.begin() + middle, values.end());
            out[x] = values[middle];
            // One frame's difference from the median: the noise, over time.
            spreads.push_back(std::fabs(layers[(x + y) % layers.size()].at<float>(y, x) - out[x]));
        }
    }
    std::nth_element(spreads.begin(), spreads.begin() + spreads.size() / 2, spreads.end());
    *noise = 1.4826 * spreads[spreads.size() / 2];
    return median;
}

// Moving samples of the grid around `near`, with their connected regions
// labelled. Empty when the background there is not known, or when most of
// the grid moves (a change of light, or a grid smaller than the object).
BackgroundModel::Regions BackgroundModel::regions(const cv::Mat &frame, Vec2 cameraOffset, Vec2 near, double spacing,
                                                  int half, double extent) const
{
    Regions regions;
    const cv::Size size(2 * half + 1, 2 * half + 1);
    double noise = 0;
    const cv::Mat background = this->background(cameraOffset, near, spacing, size, extent, &noise);
    if (background.empty())
        return regions;
    cv::Mat difference;
    cv::absdiff(GraySampler(frame).sample(near, spacing, size), background, difference);
    const double threshold = std::max(m_minContrast, m_noiseFactor * noise);
    cv::Mat mask = difference > threshold;
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));
    if (2 * static_cast<std::size_t>(cv::countNonZero(mask)) > mask.total())
        return regions;
    cv::Mat centroids;
    regions.count = cv::connectedComponentsWithStats(mask, regions.labels, regions.stats, centroids, 8, CV_32S);
    regions.near = near;
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
    std::vector<std::vector<cv::Point>> outlines;
    cv::findContours(labels == label, outlines, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    cv::Mat filled = cv::Mat::zeros(labels.size(), CV_8U);
    cv::drawContours(filled, outlines, -1, cv::Scalar(255), cv::FILLED);
    const cv::Moments moments = cv::moments(filled, true);
    if (moments.m00 <= 0)
        return std::nullopt;
    const int half = labels.cols / 2;
    return Blob{
        {near.x + (moments.m10 / moments.m00 - half) * spacing, near.y + (moments.m01 / moments.m00 - half) * spacing},
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

std::vector<Blob> BackgroundModel::blobsAround(const cv::Mat &frame, Vec2 cameraOffset, Vec2 centre, double spacing,
                                               int half, double extent) const
{
    const Regions found = regions(frame, cameraOffset, centre, spacing, half, extent);
    std::vector<Blob> blobs;
    for (int label = 1; label < found.count; ++label) {
        if (found.stats.at<int>(label, cv::CC_STAT_AREA) < 6)
            continue; // grain
        if (const std::optional<Blob> blob = found.blob(label))
            blobs.push_back(*blob);
    }
    return blobs;
}

} // namespace zorvane
