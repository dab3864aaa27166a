#pragma once

#include "autotrack/autotracker.h"
#include "player/framesource.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace zorvane {

// Where a run starts: the object at (x, y) of frame `from`, in video
// pixels; it is followed through the frames after it up to `last`.
struct TrackingStart {
    int from = 0;
    int last = 0;
    double x = 0;
    double y = 0;
};

// The tracker's answer for one frame, with the frame's colour picture when
// one was asked for.
struct TrackedFrame {
    int frame = 0;
    TrackStep step;
    std::optional<RgbImage> picture;
};

// How a run ended, and the last frame it looked at (the one that failed,
// for Unreadable).
struct TrackingEnd {
    enum class Kind {
        LastFrame,  // every frame up to the last was tracked
        Lost,       // the tracker gave up
        Stopped,    // stopped on request
        Unreadable, // a frame could not be decoded, or was not the start's size
    };
    Kind kind = Kind::LastFrame;
    int frame = 0;
};

// Follows one object through a video, for `zorvane-inspect track` and the
// window's automatic tracking alike: the frames after the start are read
// once, in grey levels, and in colour too when the object's colour sets it
// apart, decoded ahead on a second thread while the tracker works on the
// current one.
class TrackingEngine {
public:
    using Report = std::function<void(TrackedFrame &&frame)>;

    // Reads the start frame and puts the tracker on the point. Throws
    // ReaderError, or AutoTrackError for a point outside the picture. The
    // source must stay alive and untouched by others until the run ends.
    TrackingEngine(FrameSource &source, const TrackingStart &start);
    ~TrackingEngine();
    TrackingEngine(const TrackingEngine &) = delete;
    TrackingEngine &operator=(const TrackingEngine &) = delete;

    // False when the start point has too little contrast to follow.
    bool hasTarget() const;
    // True when the frames are read in colour too.
    bool followsColour() const { return m_tracker->followsColour(); }
    // Tracks the frames in order, reporting each (the Lost one too), until
    // the last, Lost, or `stop` is set, which is looked at between frames.
    TrackingEnd run(const Report &report, const std::atomic<bool> &stop);
    // From any thread: a frame soon tracked comes in colour with its
    // report, to be shown. Costs a colour conversion, no decode.
    void requestPicture() { m_pictureWanted = true; }

private:
    class ColourTap;

    FrameSource &m_source;
    TrackingStart m_start;
    std::unique_ptr<AutoTracker> m_tracker;
    std::atomic<bool> m_pictureWanted = false;
};

} // namespace zorvane
