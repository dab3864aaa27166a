#pragma once

#include <vector>

namespace zorvane {

// When each frame of a playback run is due, counted from the moment the
// run started on its first frame, and which frame to show at a given time:
// a frame whose successor is already due is late and is skipped.
class PlaybackClock {
public:
    PlaybackClock() = default;
    // frameTimesMs holds the presentation times of frames first, first + 1,
    // ... up to the last frame of the video.
    PlaybackClock(int first, std::vector<double> frameTimesMs);

    int firstFrame() const { return m_first; }
    int lastFrame() const { return m_first + static_cast<int>(m_times.size()) - 1; }

    // Milliseconds from the start of the run until `frame` is due.
    double dueAtMs(int frame) const;
    // The frame to show after `shown` when elapsedMs have passed: the
    // latest one already due, but at least shown + 1 and at most the last.
    int dueFrame(int shown, double elapsedMs) const;
    // How many frames lie between `shown` and `next`, never shown.
    static int skippedBetween(int shown, int next) { return next - shown - 1; }

private:
    int m_first = 0;
    std::vector<double> m_times;
};

} // namespace zorvane
