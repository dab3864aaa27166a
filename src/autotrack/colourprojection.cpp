#include "autotrack/colourprojection.h"

#include <opencv2/core/hal/intrin.hpp>
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
    masks.area =
        cv::Rect(static_cast<int>(std::floor(centre.x - outer)), static_cast<int>(std::floor(centre.y - outer)),
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

// One row of RGB24 onto the colour axis, in fixed point with kShift
// fractional bits: whole vectors of pixels first (this runs on every
// pixel of every frame), the same sums one by one for the rest. The
// weights, at most 1 each, fit 16 bits, so pairs of products are summed
// exactly in 32.
struct FixedWeights {
    int r, g, b, offset;
};
constexpr int kShift = 12;

void projectRow(const std::uint8_t *in, std::uint8_t *out, int width, const FixedWeights &w)
{
    int x = 0;
#if CV_SIMD
    const auto pair = [](int low, int high) {
        return cv::v_reinterpret_as_s16(cv::vx_setall_s32(
            static_cast<int>((static_cast<std::uint32_t>(high) << 16) | (static_cast<std::uint32_t>(low) & 0xffffu))));
    };
    const cv::v_int16 redGreen = pair(w.r, w.g), blue = pair(w.b, 0);
    const cv::v_int32 offset = cv::vx_setall_s32(w.offset);
    const cv::v_int16 zero = cv::vx_setzero_s16();
    // Eight pixels' channels, widened, onto the axis: two vectors of sums.
    const auto project = [&](const cv::v_uint16 &r, const cv::v_uint16 &g, const cv::v_uint16 &b) {
        cv::v_int16 rg[2], b0[2];
        cv::v_zip(cv::v_reinterpret_as_s16(r), cv::v_reinterpret_as_s16(g), rg[0], rg[1]);
        cv::v_zip(cv::v_reinterpret_as_s16(b), zero, b0[0], b0[1]);
        const cv::v_int32 low = (cv::v_dotprod(rg[0], redGreen) + cv::v_dotprod(b0[0], blue) + offset) >> kShift;
        const cv::v_int32 high = (cv::v_dotprod(rg[1], redGreen) + cv::v_dotprod(b0[1], blue) + offset) >> kShift;
        return cv::v_pack(low, high);
    };
    constexpr int kLanes = cv::v_uint8::nlanes;
    if (std::max({std::abs(w.r), std::abs(w.g), std::abs(w.b)}) <= 32767) {
        for (; x + kLanes <= width; x += kLanes) {
            cv::v_uint8 r8, g8, b8;
            cv::v_load_deinterleave(in + 3 * x, r8, g8, b8);
            cv::v_uint16 r16[2], g16[2], b16[2];
            cv::v_expand(r8, r16[0], r16[1]);
            cv::v_expand(g8, g16[0], g16[1]);
            cv::v_expand(b8, b16[0], b16[1]);
            cv::v_store(out + x, cv::v_pack_u(project(r16[0], g16[0], b16[0]), project(r16[1], g16[1], b16[1])));
        }
    }
#endif
    for (; x < width; ++x) {
        const std::uint8_t *pixel = in + 3 * x;
        const int value = (w.r * pixel[0] + w.g * pixel[1] + w.b * pixel[2] + w.offset) >> kShift;
        out[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
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

double contrastAt(const cv::Mat &frame, Vec2 centre, double radius, const ColourProjection &projection)
{
    const std::optional<DiscAndRing> masks = discAndRing(frame.size(), centre, radius);
    if (!masks)
        return 0;
    const cv::Mat patch = toGray(frame(masks->area), projection);
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
    const auto scaled = [](double value) { return static_cast<int>(std::lround(value * (1 << kShift))); };
    const int wr = scaled(projection.weights(0, 0)), wg = scaled(projection.weights(0, 1)),
              wb = scaled(projection.weights(0, 2));
    const int offset = scaled(projection.offset) + (1 << (kShift - 1));
    gray.create(frame.size(), CV_8UC1);
    for (int y = 0; y < frame.rows; ++y)
        projectRow(frame.ptr<std::uint8_t>(y), gray.ptr<std::uint8_t>(y), frame.cols, {wr, wg, wb, offset});
    return gray;
}

} // namespace zorvane
