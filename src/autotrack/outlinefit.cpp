#include "autotrack/outlinefit.h"

#include "autotrack/correlation.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zorvane {
namespace {

constexpr int kRays = 64;
constexpr double kPi = 3.14159265358979323846;
// Work stays bounded: a large object is sampled more coarsely.
constexpr double kMaxRadiusSamples = 16;

float bilinear(const cv::Mat &image, double x, double y)
{
    const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, image.cols - 2);
    const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, image.rows - 2);
    const float fx = static_cast<float>(std::clamp(x - x0, 0.0, 1.0)),
                fy = static_cast<float>(std::clamp(y - y0, 0.0, 1.0));
    const float *a = image.ptr<float>(y0), *b = image.ptr<float>(y0 + 1);
    const float top = a[x0] + fx * (a[x0 + 1] - a[x0]);
    const float bottom = b[x0] + fx * (b[x0 + 1] - b[x0]);
    return top + fy * (bottom - top);
}

struct EdgePoint {
    double x, y;
    double strength = 0; // slope, weighted by nearness to the expected radius
    double rho = 0;      // distance from the guess, samples
};

double residual(const Circle &circle, const EdgePoint &p);

// The edges found along one ray, strongest first, at most a few.
struct RayEdges {
    static constexpr int kMax = 3;
    EdgePoint edges[kMax];
    int count = 0;

    void add(const EdgePoint &edge)
    {
        int at = count;
        if (count < kMax)
            ++count;
        else if (edge.strength > edges[kMax - 1].strength)
            at = kMax - 1;
        else
            return;
        edges[at] = edge;
        for (; at > 0 && edges[at - 1].strength < edges[at].strength; --at)
            std::swap(edges[at - 1], edges[at]);
    }
    EdgePoint strongest() const { return edges[0]; }
    int outermostAt() const
    {
        int far = 0;
        for (int i = 1; i < count; ++i)
            if (edges[i].rho > edges[far].rho)
                far = i;
        return far;
    }
    EdgePoint outermost() const { return edges[outermostAt()]; }
    // The edge nearest a circle, with its distance from it.
    struct Nearest {
        const EdgePoint *edge = nullptr; // none without edges
        double residual = 0;
    };
    Nearest nearest(const Circle &circle) const
    {
        Nearest found;
        for (int i = 0; i < count; ++i) {
            const double distance = residual(circle, edges[i]);
            if (!found.edge || distance < found.residual)
                found = {&edges[i], distance};
        }
        return found;
    }
};

// Geometric circle fit by fixed-point iteration from a starting centre.
Circle fitCircle(const std::vector<EdgePoint> &points, Vec2 start)
{
    Circle circle{start, 0, 0, 0};
    const double n = static_cast<double>(points.size());
    double mx = 0, my = 0;
    for (const EdgePoint &p : points)
        mx += p.x, my += p.y;
    for (int iteration = 0; iteration < 30; ++iteration) {
        double sumR = 0, sx = 0, sy = 0;
        for (const EdgePoint &p : points) {
            const double dx = p.x - circle.centre.x, dy = p.y - circle.centre.y;
            const double r = std::max(std::hypot(dx, dy), 1e-9);
            sumR += r;
            sx += dx / r;
            sy += dy / r;
        }
        circle.radius = sumR / n;
        const Vec2 next{mx / n - circle.radius * sx / n, my / n - circle.radius * sy / n};
        const double step = std::hypot(next.x - circle.centre.x, next.y - circle.centre.y);
        circle.centre = next;
        if (step < 1e-4)
            break;
    }
    return circle;
}

double residual(const Circle &circle, const EdgePoint &p)
{
    return std::fabs(std::hypot(p.x - circle.centre.x, p.y - circle.centre.y) - circle.radius);
}

// The slope profile along each ray from the guess, half a sample a step:
// what the edges are read from, whatever an outline must show.
struct RayProfiles {
    Vec2 guess;
    double radius = 0;  // frame pixels
    double spacing = 1; // frame pixels per sample
    double r = 0;       // the radius in samples
    double inner = 0;   // samples from the guess to the first step
    std::vector<double> cx, cy;
    std::vector<std::vector<double>> profiles;
};

RayProfiles readRays(const GraySampler &sampler, Vec2 guess, double radius)
{
    RayProfiles rays;
    rays.guess = guess;
    rays.radius = radius;
    const double spacing = std::max(1.0, radius / kMaxRadiusSamples);
    const double r = radius / spacing;
    rays.spacing = spacing;
    rays.r = r;
    const int half = static_cast<int>(std::ceil(1.6 * r + 3));
    cv::Mat patch = sampler.sample(guess, spacing, cv::Size(2 * half + 1, 2 * half + 1));
    cv::GaussianBlur(patch, patch, cv::Size(5, 5), 1.0);

    const double inner = std::max(1.5, 0.55 * r), outer = 1.5 * r + 1.5;
    rays.inner = inner;
    rays.cx.resize(kRays);
    rays.cy.resize(kRays);
    rays.profiles.resize(kRays);
    for (int ray = 0; ray < kRays; ++ray) {
        const double angle = 2 * kPi * ray / kRays;
        const double cx = std::cos(angle), cy = std::sin(angle);
        rays.cx[ray] = cx;
        rays.cy[ray] = cy;
        auto at = [&](double rho) { return bilinear(patch, half + rho * cx, half + rho * cy); };
        std::vector<double> &profile = rays.profiles[ray];
        // Half a sample on, the level behind is mostly the one read ahead
        // two steps before: read once where the radii are the same.
        double aheadRadius[2] = {};
        float aheadLevel[2] = {};
        int step = 0;
        for (double rho = inner; rho <= outer; rho += 0.5, ++step) {
            const double behindRadius = rho - 0.5;
            const float behind = step >= 2 && behindRadius == aheadRadius[step % 2]
                                     ? aheadLevel[step % 2]
                                     : at(behindRadius);
            const float ahead = at(rho + 0.5);
            aheadRadius[step % 2] = rho + 0.5;
            aheadLevel[step % 2] = ahead;
            profile.push_back(std::fabs(ahead - behind));
        }
    }
    return rays;
}

// Per ray, the few strongest edges at least `minSlope` steep (grey levels
// per frame pixel): the outline, but also a seam, the shading of the ball
// or the background may give one.
std::vector<RayEdges> edgesOf(const RayProfiles &rays, double minSlope)
{
    const double spread = 0.35 * rays.r + 1;
    const double slopeLimit = minSlope * rays.spacing;
    std::vector<RayEdges> edgesPerRay;
    edgesPerRay.reserve(kRays);
    for (int ray = 0; ray < kRays; ++ray) {
        const std::vector<double> &profile = rays.profiles[ray];
        const double cx = rays.cx[ray], cy = rays.cy[ray];
        RayEdges edges;
        const double strongest = *std::max_element(profile.begin(), profile.end());
        for (std::size_t i = 1; i + 1 < profile.size(); ++i) {
            const double slope = profile[i];
            if (slope < slopeLimit || slope < 0.3 * strongest || slope < profile[i - 1] || slope < profile[i + 1])
                continue;
            // Profile steps are half a sample.
            const double offset = parabolaOffset(profile[i - 1], slope, profile[i + 1]) * 0.5;
            const double rho = rays.inner + 0.5 * i + offset;
            const double d = (rho - rays.r) / spread;
            edges.add({rays.guess.x + rays.spacing * rho * cx, rays.guess.y + rays.spacing * rho * cy,
                       slope * std::exp(-0.5 * d * d), rho});
        }
        edgesPerRay.push_back(edges);
    }
    return edgesPerRay;
}

bool strongestAreOutermost(const std::vector<RayEdges> &rays)
{
    return std::all_of(rays.begin(), rays.end(),
                       [](const RayEdges &edges) { return edges.count == 0 || edges.outermostAt() == 0; });
}

std::optional<Circle> outlineOn(const RayProfiles &profiles, const OutlineLimits &limits)
{
    const std::vector<RayEdges> rays = edgesOf(profiles, limits.minSlope);
    const Vec2 guess = profiles.guess;
    const double radius = profiles.radius;
    // Hypotheses: the expected circle, the strongest edges, the outermost
    // edges, and a circle a little larger than expected.
    // Edges of a true outline lie within a pixel of it, whatever its size;
    // a loose tolerance lets a large circle collect texture edges.
    const double maxRms = limits.maxRms * (1 + radius / 40);
    const double tolerance = 0.8 + 0.03 * radius;
    std::optional<Circle> best;
    for (int hypothesis = 0; hypothesis < 4; ++hypothesis) {
        // The same edges as the strongest ones fit the same circle, which
        // cannot do better than it did.
        if (hypothesis == 2 && strongestAreOutermost(rays))
            continue;
        Circle circle{guess, hypothesis == 3 ? 1.1 * radius : radius, 0, 0};
        if (hypothesis == 1 || hypothesis == 2) {
            std::vector<EdgePoint> points;
            for (const RayEdges &edges : rays)
                if (edges.count > 0)
                    points.push_back(hypothesis == 1 ? edges.strongest() : edges.outermost());
            if (points.size() < limits.minSupport * kRays)
                continue;
            circle = fitCircle(points, guess);
        }
        std::vector<EdgePoint> kept;
        for (int round = 0; round < 4; ++round) {
            const double limit = round == 0 ? 3 * tolerance : tolerance;
            kept.clear();
            for (const RayEdges &edges : rays) {
                const RayEdges::Nearest nearest = edges.nearest(circle);
                if (nearest.edge && nearest.residual <= limit)
                    kept.push_back(*nearest.edge);
            }
            if (kept.size() < limits.minSupport * kRays)
                break;
            circle = fitCircle(kept, circle.centre);
        }
        if (kept.size() < limits.minSupport * kRays || !std::isfinite(circle.centre.x))
            continue;
        double sum = 0;
        for (const EdgePoint &p : kept) {
            const double distance = residual(circle, p);
            sum += distance * distance;
        }
        circle.rms = std::sqrt(sum / kept.size());
        circle.support = static_cast<double>(kept.size()) / kRays;
        if (circle.rms > maxRms)
            continue;
        // A lit cap or a seam inside the ball can make a circle too, always
        // a smaller one: at the start the outline is the largest circle;
        // later, of those of the expected size, the one most rays agree on.
        bool better = !best;
        if (limits.expectedRadius > 0) {
            // Smaller circles are the suspect ones: less room that way.
            const double change = circle.radius - limits.expectedRadius;
            if (change > limits.radiusChange * limits.expectedRadius + 0.6 + std::max(limits.sizeTrend, 0.0)
                || -change > 0.5 * limits.radiusChange * limits.expectedRadius + 0.3 + std::max(-limits.sizeTrend, 0.0))
                continue;
            better = better || (circle.radius > best->radius + 0.3 && circle.support > best->support - 0.2)
                     || (circle.radius > best->radius - 0.3 && circle.support > best->support + 0.2);
        } else {
            better = better || circle.radius > best->radius + 0.3
                     || (std::fabs(circle.radius - best->radius) <= 0.3 && circle.support > best->support);
        }
        if (better)
            best = circle;
    }
    return best;
}

} // namespace

std::optional<Circle> fitOutline(const GraySampler &sampler, Vec2 guess, double radius, const OutlineLimits &limits)
{
    return fitOutline(sampler, guess, radius, {limits});
}

std::optional<Circle> fitOutline(const GraySampler &sampler, Vec2 guess, double radius,
                                 std::initializer_list<OutlineLimits> tries)
{
    if (!(radius > 1) || !std::isfinite(guess.x) || !std::isfinite(guess.y))
        return std::nullopt;
    const RayProfiles rays = readRays(sampler, guess, radius);
    for (const OutlineLimits &limits : tries)
        if (std::optional<Circle> circle = outlineOn(rays, limits))
            return circle;
    return std::nullopt;
}

} // namespace zorvane
