#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

namespace zorvane {

// How colour frames become the grey levels the tracker works on. Plain
// luminance loses an object whose brightness is its background's (a red
// ball over green leaves); a projection on the colour axis that sets the
// object apart from its surroundings keeps it. Its weights add up to 1 in
// absolute value, so grey levels stay within 0 to 255 and the tracker's
// thresholds keep their meaning.
struct ColourProjection {
    cv::Matx13f weights{0.299f, 0.587f, 0.114f}; // R, G, B
    float offset = 0;
    bool luminance = true;
    // How well the object stands out from its surroundings on the best
    // colour axis: squared distance of the means over the spread.
    double separation = 0;
};

// The projection that best tells the disc of `radius` around `centre` from
// the ring around it, in an RGB24 frame; luminance when it sets them apart
// about as well, or when the object has nothing its surroundings lack.
ColourProjection projectionFor(const cv::Mat &rgb, Vec2 centre, double radius);

// How much brighter the disc of `radius` around `centre` is than the ring
// around it (negative where darker), in an 8-bit grey frame or an RGB24
// frame by the projection; 0 where the disc lies outside the frame.
double contrastAt(const cv::Mat &frame, Vec2 centre, double radius, const ColourProjection &projection = {});

// An RGB24 frame in grey levels by the projection; an 8-bit grey frame as it is.
cv::Mat toGray(const cv::Mat &frame, const ColourProjection &projection);

} // namespace zorvane
