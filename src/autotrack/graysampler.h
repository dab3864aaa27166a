#pragma once

#include "autotrack/colourprojection.h"
#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

namespace zorvane {

// Samples grey levels of an RGB24 or 8-bit grey frame on a square grid of
// the given spacing (frame pixels per sample) centred on a frame point, so
// that an object keeps the same size in the samples while it grows or
// shrinks in the video. Only the frame area under the grid is converted,
// by the projection given: a whole frame costs more than a frame's work.
class GraySampler {
public:
    explicit GraySampler(const cv::Mat &frame, const ColourProjection &projection = {})
            : m_frame(frame), m_projection(projection)
    {}

    // A size.width x size.height float image whose centre sample
    // ((size - 1) / 2) lies on `centre`, its rows turned by `angle`
    // (radians, clockwise on screen). Outside the frame the border repeats.
    cv::Mat sample(Vec2 centre, double spacing, cv::Size size, double angle = 0) const;
    // The frame sampled, RGB24 or 8-bit grey.
    const cv::Mat &frame() const { return m_frame; }
    const ColourProjection &projection() const { return m_projection; }
    // The whole frame in grey levels.
    cv::Mat gray() const { return toGray(m_frame, m_projection); }

private:
    cv::Mat m_frame;
    ColourProjection m_projection;
};

// The same grid sampling on a float image already in memory, for shrinking
// a template to a coarser search level.
cv::Mat resampleAbout(const cv::Mat &image, cv::Point2d centre, double spacing, cv::Size size, double angle = 0);

} // namespace zorvane
