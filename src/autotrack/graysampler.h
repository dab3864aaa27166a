#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

namespace zorvane {

// Samples grey levels of an RGB24 or 8-bit grey frame on a square grid of
// the given spacing (frame pixels per sample) centred on a frame point, so
// that an object keeps the same size in the samples while it grows or
// shrinks in the video. Only the frame area under the grid is converted.
class GraySampler {
public:
    explicit GraySampler(const cv::Mat &frame) : m_frame(frame) {}

    // A size.width x size.height float image whose centre sample
    // ((size - 1) / 2) lies on `centre`, its rows turned by `angle`
    // (radians, clockwise on screen). Outside the frame the border repeats.
    cv::Mat sample(Vec2 centre, double spacing, cv::Size size, double angle = 0) const;
    // The frame sampled, RGB24 or 8-bit grey.
    const cv::Mat &frame() const { return m_frame; }

private:
    cv::Mat m_frame;
};

// The same grid sampling on a float image already in memory, for shrinking
// a template to a coarser search level.
cv::Mat resampleAbout(const cv::Mat &image, cv::Point2d centre, double spacing, cv::Size size, double angle = 0);

} // namespace zorvane
