#include "player/playbackclock.h"

#include <utility>

namespace zorvane {

PlaybackClock::PlaybackClock(int first, std::vector<double> frameTimesMs)
        : m_first(first), m_times(std::move(frameTimesMs))
{}

double PlaybackClock::dueAtMs(int frame) const
{
    const auto at = static_cast<std::size_t>(frame - m_first);
    if (m_times.empty() || frame < m_first || at >= m_times.size())
        return 0.0;
    return m_times[at] - m_times.front();
}

int PlaybackClock::dueFrame(int shown, double elapsedMs) const
{
    const int last = lastFrame();
    int frame = shown + 1;
    while (frame < last && dueAtMs(frame + 1) <= elapsedMs)
        ++frame;
    return frame;
}

} // namespace zorvane
