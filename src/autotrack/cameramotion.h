#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

namespace zorvane {

// A frame the camera's motion is measured on. Where its texture lies is
// worked out when first needed, once for every view that measures on it.
class CameraFrame {
public:
    explicit CameraFrame(const cv::Mat &frame) : m_frame(frame) {}
    const cv::Mat &pixels() const { return m_frame; }
    // How well the texture around each place of the picture, shrunk,
    // pins a shift down: the weakest direction's slope.
    const cv::Mat &texture() const;

private:
    cv::Mat m_frame;
    mutable cv::Mat m_texture;
};

// How far the whole picture moved since the previous frame (a camera held
// by hand, or panning), measured on a few textured background patches
// spread over the picture and away from the followed object. Most patches
// must agree, and lie far apart: otherwise the picture is taken as still.
// Patches are matched against the frame they were taken from, not the
// previous one, so that a slow pan adds up instead of drowning in each
// frame's noise; they are taken again once the picture slid half a patch.
class CameraMotion {
public:
    CameraMotion(int patches, int reach) : m_patches(patches), m_reach(reach) {}

    // The background's shift in picture pixels from the previous frame
    // given to this one; zero on the first frame. `frame` is RGB24 or grey.
    Vec2 measure(const cv::Mat &frame, Vec2 object, double objectRadius)
    {
        return measure(CameraFrame(frame), object, objectRadius);
    }
    Vec2 measure(const CameraFrame &frame, Vec2 object, double objectRadius);
    // The next frame follows after a gap: nothing to compare it with.
    void forget()
    {
        m_reference.clear();
        m_untold = {};
    }

private:
    cv::Mat patchArea(const cv::Mat &frame, cv::Rect area) const;
    int border() const;
    cv::Mat patchAt(const cv::Mat &frame, cv::Point place) const;
    cv::Point mostTexturedIn(const cv::Mat &texture, cv::Rect cell, cv::Size picture) const;
    Vec2 tell(Vec2 move);
    void takeReference(const CameraFrame &frame, Vec2 object, double keepAway);
    std::optional<Vec2> slidSinceReference(const cv::Mat &frame, Vec2 object, double keepAway) const;

    int m_patches;
    int m_reach;
    std::vector<cv::Point> m_places;  // patch centres in the reference frame
    std::vector<cv::Mat> m_reference; // patches of the reference frame, empty where flat
    Vec2 m_slid;                      // the picture's shift from the reference frame to the last one measured
    int m_failures = 0;               // frames in a row the reference did not match
    Vec2 m_untold;                    // measured but too small to tell yet
};

} // namespace zorvane
