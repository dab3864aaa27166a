#pragma once

#include "player/framesource.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace zorvane {

// Decodes the frames of a source in order on a thread of its own, up to
// `depth` frames ahead of the player, so that one slow frame holds up this
// thread and not the display. While it exists, only its thread calls
// frameRgb() or frameGray(); the owner may still use the source's const
// queries, which answer from what the source learned when it was opened.
// Hands over colour or grey pictures, as `Image` says.
template <typename Image>
class BasicFramePrefetcher {
public:
    BasicFramePrefetcher(FrameSource &source, int first, int last, int depth);
    ~BasicFramePrefetcher();
    BasicFramePrefetcher(const BasicFramePrefetcher &) = delete;
    BasicFramePrefetcher &operator=(const BasicFramePrefetcher &) = delete;

    // Waits for frame `index` and hands it over; the frames before it are
    // dropped and, when not decoded yet, never will be. Empty when that
    // frame cannot be decoded or lies outside the range.
    std::optional<Image> take(int index);

    // Frames decoded so far, for the tests.
    int decodedCount() const;

private:
    void run();
    bool mayDecode() const;
    Image read(int index);

    FrameSource &m_source;
    const int m_last;
    const int m_depth;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<int, Image>> m_ready;
    int m_next;
    int m_wanted;
    int m_failedAt = -1;
    int m_inFlight = -1;
    int m_decoded = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

using FramePrefetcher = BasicFramePrefetcher<RgbImage>;
using GrayFramePrefetcher = BasicFramePrefetcher<GrayImage>;

} // namespace zorvane
