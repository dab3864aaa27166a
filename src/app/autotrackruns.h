#pragma once

#include "app/trackingengine.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace zorvane {

// Points of a track by frame.
using FramePoints = std::vector<FramePoint>;

// Why a run could not start.
enum class RunStartError {
    NoVideo,      // nothing open
    NoPoint,      // the frame holds no point to follow
    PointOutside, // the frame's point lies outside the picture
    Unreadable,   // the frame's picture cannot be decoded
};

// The frames a run may cover: from the start point's frame up to the one
// before the next point the runs did not place, or the video's last.
struct RunPlan {
    std::int32_t from = 0;
    std::int32_t last = 0;
    TrackPoint point;
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
        Stopped,    // stopped on request after this frame
    };
    Kind kind = Kind::End;
    std::int32_t frame = 0;
    TrackPoint point; // when Stored
};

// Automatic tracking over a point track: each run starts from a frame's
// recorded point, and the tracker's answers for the frames after it are
// written as they come. Remembers which points its runs placed, so that a
// later run may replace them, never any other point; the last run that
// placed points can be undone. Writes go through the two given functions
// only.
class AutoTrackRuns {
public:
    using WritePoints = std::function<void(const FramePoints &points)>;

    AutoTrackRuns(WritePoints store, WritePoints restore);

    // Starts from the point of `frame` in a video of `frameCount` frames,
    // ending any run under way.
    std::optional<RunStartError> start(const PointTrack &track, std::int32_t frame, std::int32_t frameCount);
    bool isRunning() const { return m_running; }
    // Where the run under way goes.
    const RunPlan &plan() const { return m_plan; }
    // The tracker's answers for the next frames, in order: their found
    // points go in one write. Returns the last frame's step; the run ends at
    // a frame that holds a point it did not place, and where it is Lost.
    RunStep apply(const PointTrack &track, std::span<const TrackedFrame> frames);
    // How the tracking ended, after its last answers: ends the run.
    RunStep end(const PointTrack &track, const TrackingEnd &end);
    void stop();

    // Ends any run and forgets which points the runs placed, as when the
    // next run follows another track.
    void forget();

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
    bool holdsOtherPoint(const PointTrack &track, std::int32_t frame) const;
    RunStep finish(RunStep step);
    void keep(const PointTrack &track, std::int32_t frame, TrackPoint point, FramePoints &batch);

    WritePoints m_store;
    WritePoints m_restore;
    bool m_running = false;
    RunPlan m_plan;
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
