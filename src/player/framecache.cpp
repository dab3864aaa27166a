#include "player/framecache.h"

#include "player/framesource.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

#include <algorithm>

namespace zorvane {
namespace {

std::size_t frameBytes(const AVFrame *frame)
{
    std::size_t bytes = 0;
    for (const AVBufferRef *buffer : frame->buf)
        if (buffer)
            bytes += buffer->size;
    return bytes;
}

} // namespace

const AVFrame *FrameCache::find(int index)
{
    auto found = m_entries.find(index);
    if (found == m_entries.end())
        return nullptr;
    m_uses.splice(m_uses.begin(), m_uses, found->second.use);
    return found->second.frame.get();
}

void FrameCache::insert(int index, const AVFrame *frame)
{
    erase(index);
    FramePtr copy(av_frame_clone(frame));
    if (!copy)
        throw ReaderError(ReaderErrorKind::DecodeFailed, "out of memory while caching a frame");
    const std::size_t bytes = frameBytes(copy.get());
    // Room is made first so the cache never holds more than its budget;
    // a single frame larger than the budget is still kept, alone.
    while (!m_uses.empty() && m_bytes + bytes > m_budget)
        erase(m_uses.back());
    m_uses.push_front(index);
    m_entries.emplace(index, Entry{std::move(copy), bytes, m_uses.begin()});
    m_bytes += bytes;
    m_peak = std::max(m_peak, m_bytes);
}

std::size_t FrameCache::bytesOf(int index) const
{
    auto found = m_entries.find(index);
    return found == m_entries.end() ? 0 : found->second.bytes;
}

void FrameCache::clear()
{
    m_entries.clear();
    m_uses.clear();
    m_bytes = 0;
}

void FrameCache::erase(int index)
{
    auto found = m_entries.find(index);
    if (found == m_entries.end())
        return;
    m_bytes -= found->second.bytes;
    m_uses.erase(found->second.use);
    m_entries.erase(found);
}

} // namespace zorvane
