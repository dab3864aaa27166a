#pragma once

#include "player/framesource.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace zorvane {

class AutoTracker;

// Points of a track by frame.
using FramePoints = std::vector<FramePoint>;

// Why a run could not start.
enum class RunStartError {
    NoVideo,      // nothing open
    NoPoint,      // the frame holds no point to follow
    PointOutside, // the frame's point lies outside the picture
    Unreadable,   // the frame's picture cannot be decoded
};

// What one frame of a run came to. After any but Stored and Hidden the
// run is over.
struct RunStep {
    enum class Kind {
        Stored,     // the object's point was written for the frame
        Hidden,     // no claim: nothing written
        Lost,       // the tracker gave up at this frame
        UserPoint,  // the frame holds a point the tracking did not place
        End,        // no frame left after the previous one
        Unreadable, // the frame's picture cannot be decoded
    };
    Kind kind = Kind::End;
    std::int32_t frame = 0;
    TrackPoint point; // when Stored
};

// Automatic tracking over a point track: each run starts from a frame's
// recorded point and proposes the points of the frames after it, one frame
// per call. Remembers which points its runs placed, so that a later run may
// replace them, never any other point; the last run that placed points can
// be undone. Writes go through the two given functions only.
class AutoTrackRuns {
public:
    using PictureOf = std::function<RgbImage(std::int32_t frame)>;
    using WritePoints = std::function<void(const FramePoints &points)>;

    AutoTrackRuns(PictureOf pictureOf, WritePoints store, WritePoints restore);
    ~AutoTrackRuns();
    AutoTrackRuns(const AutoTrackRuns &) = delete;
    AutoTrackRuns &operator=(const AutoTrackRuns &) = delete;

    // Starts from the point of `frame` in a video of `frameCount` frames,
    // ending any run under way.
    std::optional<RunStartError> start(const PointTrack &track, std::int32_t frame, std::int32_t frameCount);
    bool isRunning() const { return m_tracker != nullptr; }
    // Tracks the frame after the previous one. Only while running.
    RunStep advance(const PointTrack &track);
    void stop();

    bool canUndo() const { return !m_lastRun.empty(); }
    // Ends any run, then puts back what the last run that placed points
    // replaced, on the frames that still hold what it placed: a point the
    // user clicked since stays.
    void undo(const PointTrack &track);

private:
    struct Change {
        std::int32_t frame = 0;
        TrackPoint before;
        bool beforeWasPlaced = false;
        TrackPoint placed;
    };

    bool isPlaced(std::int32_t frame, TrackPoint point) const;
    RunStep finish(RunStep step);
    RunStep store(const PointTrack &track, std::int32_t frame, TrackPoint point);

    PictureOf m_pictureOf;
    WritePoints m_store;
    WritePoints m_restore;
    std::unique_ptr<AutoTracker> m_tracker;
    std::int32_t m_frame = 0;
    std::int32_t m_frameCount = 0;
    std::map<std::int32_t, TrackPoint> m_placed;
    std::vector<Change> m_run;
    std::vector<Change> m_lastRun;
};

// The point stored for a tracked position: the nearest pixel, halves to
// the even neighbour, as a click is stored. Nothing when it does not fit.
std::optional<TrackPoint> trackedPoint(double x, double y);

} // namespace zorvane
