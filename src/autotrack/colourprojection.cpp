#include "autotrack/colourprojection.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

namespace zorvane {
namespace {

// Colour differences below this are camera noise, grey levels.
constexpr double kNoise = 3.0;
// A colour axis must set the object apart this many times better than
// luminance to be worth following as well.
constexpr double kBetterBy = 3.0;
// Luminance that separates this well already is kept.
constexpr double kClearAlready = 12.0;
// Below this separation on any axis, the object is not told from its
// surroundings by colour: what differs is grain.
constexpr double kLeastSeparation = 2.0;

struct Statistics {
    cv::Vec3d mean;
    cv::Matx33d covariance;
    int count = 0;
};

Statistics statisticsOf(const cv::Mat &rgb, const cv::Mat &mask)
{
    Statistics s;
    cv::Matx33d sum2 = cv::Matx33d::zeros();
    cv::Vec3d sum(0, 0, 0);
    for (int y = 0; y < rgb.rows; ++y) {
        const cv::Vec3b *row = rgb.ptr<cv::Vec3b>(y);
        const std::uint8_t *in = mask.ptr<std::uint8_t>(y);
        for (int x = 0; x < rgb.cols; ++x) {
            if (!in[x])
                continue;
            const cv::Vec3d v(row[x][0], row[x][1], row[x][2]);
            sum += v;
            sum2 += v * v.t();
            ++s.count;
        }
    }
    if (s.count == 0)
        return s;
    s.mean = sum / s.count;
    s.covariance = sum2 * (1.0 / s.count) - s.mean * s.mean.t();
    return s;
}

// Separation of the two sets along w: squared distance of the means over
// the spread within them, noise included.
double separation(const cv::Vec3d &w, const Statistics &object, const Statistics &around)
{
    const cv::Vec3d difference = object.mean - around.mean;
    const double along = w.dot(difference);
    const cv::Matx33d within = object.covariance + around.covariance;
    const double spread = (w.t() * within * w)(0) + 2 * kNoise * kNoise * w.dot(w);
    return along * along / std::max(spread, 1e-9);
}

// The disc of an object and the ring of surroundings around it, as masks
// over the smallest area of the frame that holds both.
struct DiscAndRing {
    cv::Rect area;
    cv::Mat inside, ring;
};

std::optional<DiscAndRing> discAndRing(cv::Size frame, Vec2 centre, double radius)
{
    const double outer = 2.5 * radius + 3;
    DiscAndRing masks;
    masks.area = cv::Rect(static_cast<int>(std::floor(centre.x - outer)), static_cast<int>(std::floor(centre.y - outer)),
                          static_cast<int>(2 * outer) + 2, static_cast<int>(2 * outer) + 2)
                 & cv::Rect(0, 0, frame.width, frame.height);
    if (masks.area.empty())
        return std::nullopt;
    masks.inside = cv::Mat::zeros(masks.area.size(), CV_8U);
    masks.ring = cv::Mat::zeros(masks.area.size(), CV_8U);
    const cv::Point middle(static_cast<int>(std::lround(centre.x)) - masks.area.x,
                           static_cast<int>(std::lround(centre.y)) - masks.area.y);
    cv::circle(masks.ring, middle, static_cast<int>(std::lround(outer)), cv::Scalar(255), -1);
    cv::circle(masks.ring, middle, static_cast<int>(std::lround(1.4 * radius + 1)), cv::Scalar(0), -1);
    cv::circle(masks.inside, middle, std::max(1, static_cast<int>(std::lround(0.7 * radius))), cv::Scalar(255), -1);
    if (cv::countNonZero(masks.inside) == 0 || cv::countNonZero(masks.ring) == 0)
        return std::nullopt;
    return masks;
}

} // namespace

ColourProjection projectionFor(const cv::Mat &rgb, Vec2 centre, double radius)
{
    ColourProjection luminance;
    if (rgb.channels() != 3 || !(radius > 1))
        return luminance;
    const std::optional<DiscAndRing> masks = discAndRing(rgb.size(), centre, radius);
    if (!masks)
        return luminance;
    const cv::Mat patch = rgb(masks->area);
    const cv::Mat &inside = masks->inside, &ring = masks->ring;
    const Statistics object = statisticsOf(patch, inside);
    const Statistics background = statisticsOf(patch, ring);
    const cv::Vec3d luma(0.299, 0.587, 0.114);
    const cv::Matx33d within = object.covariance + background.covariance + cv::Matx33d::eye() * (2 * kNoise * kNoise);
    const cv::Vec3d fisher = within.inv() * (object.mean - background.mean);
    const double lumaSeparation = separation(luma, object, background);
    const double fisherSeparation = separation(fisher, object, background);
    luminance.separation = fisherSeparation;
    if (lumaSeparation >= kClearAlready || fisherSeparation < kBetterBy * lumaSeparation
        || fisherSeparation < kLeastSeparation)
        return luminance;
    const double total = std::fabs(fisher[0]) + std::fabs(fisher[1]) + std::fabs(fisher[2]);
    if (!(total > 0))
        return luminance;
    ColourProjection projection;
    projection.luminance = false;
    projection.separation = fisherSeparation;
    double negative = 0;
    for (int i = 0; i < 3; ++i) {
        projection.weights(0, i) = static_cast<float>(fisher[i] / total);
        negative += std::min(0.0, fisher[i] / total);
    }
    projection.offset = static_cast<float>(-255 * negative);
    return projection;
}

double contrastAt(const cv::Mat &gray, Vec2 centre, double radius)
{
    const std::optional<DiscAndRing> masks = discAndRing(gray.size(), centre, radius);
    if (!masks)
        return 0;
    const cv::Mat patch = gray(masks->area);
    return cv::mean(patch, masks->inside)[0] - cv::mean(patch, masks->ring)[0];
}

cv::Mat toGray(const cv::Mat &frame, const ColourProjection &projection)
{
    if (frame.channels() == 1)
        return frame;
    cv::Mat gray;
    if (projection.luminance) {
        cv::cvtColor(frame, gray, cv::COLOR_RGB2GRAY);
        return gray;
    }
    // In fixed point: a generic matrix transform costs several times more.
    constexpr int kShift = 12;
    const auto scaled = [](double value) { return static_cast<int>(std::lround(value * (1 << kShift))); };
    const int wr = scaled(projection.weights(0, 0)), wg = scaled(projection.weights(0, 1)),
              wb = scaled(projection.weights(0, 2));
    const int offset = scaled(projection.offset) + (1 << (kShift - 1));
    gray.create(frame.size(), CV_8UC1);
    for (int y = 0; y < frame.rows; ++y) {
        const std::uint8_t *in = frame.ptr<std::uint8_t>(y);
        std::uint8_t *out = gray.ptr<std::uint8_t>(y);
        for (int x = 0; x < frame.cols; ++x, in += 3) {
            const int value = (wr * in[0] + wg * in[1] + wb * in[2] + offset) >> kShift;
            out[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        }
    }
    return gray;
}

} // namespace zorvane
