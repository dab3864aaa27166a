#pragma once

#include "autotrack/motionmodel.h"

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

namespace zorvane {

// A frame the camera's motion is measured on. The textured patches a
// reference is taken from are picked when first needed, once for every
// view that measures on it.
class CameraFrame {
public:
    explicit CameraFrame(const cv::Mat &frame) : m_frame(frame) {}
    const cv::Mat &pixels() const { return m_frame; }

    struct Patches {
        int count = 0;  // asked for
        int border = 0; // pixels inside the picture
        std::vector<cv::Point> places;
        std::vector<cv::Mat> patches; // grey levels, empty where flat
    };
    const Patches &patches(int count, int border) const;

private:
    cv::Mat m_frame;
    mutable std::optional<Patches> m_patches;
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
    int border() const;
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
