#pragma once

#include "player/framesource.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace zorvane {

// Fills a source's cache around the paused position on a thread of its
// own. A source is not thread-safe: whoever else decodes from it claims it
// first, which stops the fill between two frames and waits for it to let
// go, one frame's decoding at most. The frames a step back needs are
// decoded once no other request came for `nearDelay`; the farther ones only
// once none came for `delay`: a user stepping on holds the source, and a
// far fill cut short leaves the decoder away from where the next step needs
// it.
class CacheFiller {
public:
    explicit CacheFiller(FrameSource &source, std::chrono::milliseconds delay = std::chrono::milliseconds(0),
                         std::chrono::milliseconds nearDelay = std::chrono::milliseconds(0));
    ~CacheFiller();
    CacheFiller(const CacheFiller &) = delete;
    CacheFiller &operator=(const CacheFiller &) = delete;

    // Replaces any request not started yet.
    void fillAround(int index);
    // Drops the request, stops the fill and keeps it off the source for as
    // long as the returned lock is held.
    [[nodiscard]] std::unique_lock<std::mutex> claim();

    // Waits until nothing is pending or running; false on timeout.
    bool waitUntilIdle(std::chrono::milliseconds timeout);
    // Fills that ran to their end, far frames included.
    int completedCount() const;

private:
    void run();
    // False when a request, a claim or the quit came within `duration`.
    bool restFor(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds duration);
    // False when stopped, or when a request or a claim came meanwhile.
    bool fill(std::unique_lock<std::mutex> &lock, FillReach reach);

    FrameSource &m_source;
    const std::chrono::milliseconds m_delay;
    const std::chrono::milliseconds m_nearDelay;
    std::mutex m_sourceMutex;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<int> m_pending;
    std::atomic<bool> m_stop{false};
    // Raised by each claim, so that a fill taken before it does not start.
    unsigned m_generation = 0;
    unsigned m_requests = 0;
    bool m_running = false;
    bool m_quitting = false;
    int m_completed = 0;
    std::thread m_thread;
};

} // namespace zorvane
