#pragma once

#include "autotrack/graysampler.h"
#include "autotrack/motionmodel.h"

#include <initializer_list>
#include <optional>

namespace zorvane {

// A round object's outline found in a frame.
struct Circle {
    Vec2 centre;
    double radius = 0;  // frame pixels
    double support = 0; // share of the rays whose edge lies on the circle
    double rms = 0;     // their distance from it, frame pixels
};

// What an outline must show to count as one.
struct OutlineLimits {
    double minSupport = 0.6;    // share of rays on the circle
    double maxRms = 0.6;        // frame pixels, at a radius of 10 px; larger objects get more
    double minSlope = 2.0;      // grey levels per frame pixel along a ray at the edge
    double expectedRadius = 0;  // when positive, only circles of about this size count
    double radiusChange = 0.06; // how much larger, as a share (plus 0.6 px); half that smaller
    double sizeTrend = 0;       // pixels more the size may have grown (negative: shrunk) since it was expected
};

// Finds the circle a round object's outline draws around `guess`, its
// radius near `radius`: along rays from the guess, the strongest edge
// near the expected radius, then a circle fitted to them that disregards
// rays whose edge is elsewhere (the seam of a ball, a hand in front of it,
// a background of the object's own colour). The centre is the object's,
// whatever its texture does. Empty when too few rays agree.
std::optional<Circle> fitOutline(const GraySampler &sampler, Vec2 guess, double radius, const OutlineLimits &limits);
// The same with each of `tries` in turn, until one finds the outline: the
// rays are read once for all of them.
std::optional<Circle> fitOutline(const GraySampler &sampler, Vec2 guess, double radius,
                                 std::initializer_list<OutlineLimits> tries);

} // namespace zorvane
