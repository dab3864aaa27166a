#pragma once

#include "childrun.h"
#include "track/pointtrack.h"

#include <cstdint>

namespace zorvane::testing {

// Points A and B.
struct TwoTracks {
    PointTrack a;
    PointTrack b;
};

// The clicks the kill test's child makes, so that the test knows the track
// after any number of them: 160 frames clicked in turn, so the later clicks
// overwrite earlier points, with halves to round and now and then a click at
// (0, 0), which removes the frame's point.
struct ClickPlan {
    static constexpr std::int32_t upperBound = 159;

    static std::int32_t frame(int click) { return click % (upperBound + 1); }
    static float x(int click) { return click % 37 == 36 ? 0.0f : 10.5f + static_cast<float>(click); }
    static float y(int click) { return click % 37 == 36 ? 0.0f : 400.5f - static_cast<float>(click) / 2.0f; }

    // The track after clicks 0..last.
    static PointTrack trackAfter(int last)
    {
        PointTrack track;
        track.resize(upperBound);
        for (int click = 0; click <= last; ++click)
            recordClick(track, frame(click), x(click), y(click));
        return track;
    }

    // With two points, every third click goes to B.
    static int point(int click) { return click % 3 == 1 ? 1 : 0; }
    static TwoTracks twoAfter(int last)
    {
        TwoTracks tracks;
        tracks.a.resize(upperBound);
        tracks.b.resize(upperBound);
        for (int click = 0; click <= last; ++click)
            recordClick(point(click) == 0 ? tracks.a : tracks.b, frame(click), x(click), y(click));
        return tracks;
    }
};

// Same bound and the same point on every frame.
inline bool sameTrack(const PointTrack &a, const PointTrack &b)
{
    if (a.upperBound() != b.upperBound())
        return false;
    for (std::int32_t frame = 0; frame <= a.upperBound(); ++frame) {
        if (a.at(frame) != b.at(frame))
            return false;
    }
    return true;
}

inline bool sameTrack(const TwoTracks &left, const TwoTracks &right)
{
    return sameTrack(left.a, right.a) && sameTrack(left.b, right.b);
}

// Frames holding a point.
inline std::int32_t pointsIn(const PointTrack &track)
{
    std::int32_t points = 0;
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame)
        points += track.at(frame).isEmpty() ? 0 : 1;
    return points;
}

// What came back after a killed run: the clicks whose handling had
// finished, or those and the one in flight, as a click killed between its
// record reaching the disk and the end of its handling may come back too.
enum class CameBack { Neither, HandledClicks, WithInFlight };

// `trackAfter(last)` is the track expected after clicks 0..last.
template <typename Restored, typename TrackAfter>
CameBack cameBack(const Restored &restored, const ChildRun &run, TrackAfter trackAfter)
{
    const int handled = run.last("handled");
    if (sameTrack(restored, trackAfter(handled)))
        return CameBack::HandledClicks;
    if (run.nextBegun() && sameTrack(restored, trackAfter(handled + 1)))
        return CameBack::WithInFlight;
    return CameBack::Neither;
}

} // namespace zorvane::testing
