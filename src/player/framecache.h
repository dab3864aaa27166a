#pragma once

#include "player/avpointers.h"

#include <cstddef>
#include <list>
#include <unordered_map>

namespace zorvane {

// Decoded frames by index, least recently used evicted first once the byte
// budget is exceeded. Frames are shared references to the decoder's buffers.
class FrameCache {
public:
    explicit FrameCache(std::size_t budget) : m_budget(budget) {}

    // Null when the frame is not cached; a hit makes it the most recent.
    const AVFrame *find(int index);
    // Keeps a new reference to `frame`. Throws ReaderError when out of memory.
    void insert(int index, const AVFrame *frame);
    void clear();
    // Neither lookup makes the frame more recent.
    bool contains(int index) const { return m_entries.count(index) != 0; }
    // Bytes of a cached frame, 0 when it is not cached.
    std::size_t bytesOf(int index) const;
    std::size_t budget() const { return m_budget; }

    std::size_t bytes() const { return m_bytes; }
    std::size_t peakBytes() const { return m_peak; }

private:
    struct Entry {
        FramePtr frame;
        std::size_t bytes = 0;
        std::list<int>::iterator use;
    };

    void erase(int index);

    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::size_t m_peak = 0;
    std::unordered_map<int, Entry> m_entries;
    std::list<int> m_uses; // most recent first
};

} // namespace zorvane
