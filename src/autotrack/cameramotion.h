#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

#include <vector>

namespace zorvane {

// How far the whole picture moved since the previous frame (a camera held
// by hand, or panning), measured on a few textured background patches
// spread over the picture and away from the followed object. Agreement of
// most patches is required: otherwise the picture is taken as still.
class CameraMotion {
public:
    CameraMotion(int patches, int reach) : m_patches(patches), m_reach(reach) {}

    // The background's shift in picture pixels from the previous frame
    // given to this one; zero on the first frame. `frame` is RGB24 or grey.
    Vec2 measure(const cv::Mat &frame, Vec2 object, double objectRadius);
    // The next frame follows after a gap: nothing to compare it with.
    void forget() { m_previous.clear(); }

private:
    cv::Mat patchArea(const cv::Mat &frame, cv::Rect area) const;

    int m_patches;
    int m_reach;
    std::vector<cv::Point> m_places; // patch centres
    std::vector<cv::Mat> m_previous; // the previous frame's patches, empty where flat
};

} // namespace zorvane
