#include "player/resynclimit.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace zorvane {

void ResyncLimit::attach(const AVFormatContext *context)
{
    m_context = context;
    restart();
}

void ResyncLimit::restart()
{
    m_scanned = 0;
    m_lastPosition = -1;
}

int ResyncLimit::interrupt(void *opaque) { return static_cast<ResyncLimit *>(opaque)->exceeded() ? 1 : 0; }

bool ResyncLimit::exceeded()
{
    const AVIOContext *io = m_context ? m_context->pb : nullptr;
    if (!io)
        return false;
    const std::int64_t step = io->pos - m_lastPosition;
    if (m_lastPosition >= 0 && step > 0 && step <= kSmallStep)
        m_scanned += step;
    m_lastPosition = io->pos;
    return m_scanned > kMaxScannedBytes;
}

} // namespace zorvane
