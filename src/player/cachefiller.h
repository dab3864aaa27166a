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
// go, one frame's decoding at most. A fill starts only once no other
// request came for `delay`: a user stepping on holds the source, and a fill
// cut short leaves the decoder away from where the next step needs it.
class CacheFiller {
public:
    explicit CacheFiller(FrameSource &source, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
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
    // Fills that ran to their end.
    int completedCount() const;

private:
    void run();

    FrameSource &m_source;
    const std::chrono::milliseconds m_delay;
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
