#include "player/picturebudget.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

#include <cerrno>
#include <new>

namespace zorvane {

struct PictureBudget::Tracked {
    AVBufferRef *inner;
    PictureBudget *budget;
    std::size_t bytes;
};

void PictureBudget::attach(AVCodecContext *context)
{
    context->opaque = this;
    context->get_buffer2 = &PictureBudget::getBuffer;
#if LIBAVCODEC_VERSION_MAJOR < 60
    // Counting is thread-safe; without the flag FFmpeg 5 hands every
    // request to the calling thread and waits for it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    context->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

int PictureBudget::getBuffer(AVCodecContext *context, AVFrame *frame, int flags)
{
    const int result = avcodec_default_get_buffer2(context, frame, flags);
    if (result < 0)
        return result;
    if (!static_cast<PictureBudget *>(context->opaque)->trackAll(frame)) {
        av_frame_unref(frame);
        return AVERROR(ENOMEM);
    }
    return 0;
}

bool PictureBudget::trackAll(AVFrame *frame)
{
    for (AVBufferRef *&buffer : frame->buf)
        if (buffer && !track(buffer))
            return false;
    for (int i = 0; i < frame->nb_extended_buf; ++i)
        if (!track(frame->extended_buf[i]))
            return false;
    return true;
}

// Replaces `buffer` by a reference over the same bytes whose release
// gives them back to the count.
bool PictureBudget::track(AVBufferRef *&buffer)
{
    const std::size_t bytes = buffer->size;
    if (!reserve(bytes))
        return false;
    auto *tracked = new (std::nothrow) Tracked{buffer, this, bytes};
    AVBufferRef *outer =
        tracked ? av_buffer_create(buffer->data, buffer->size, &PictureBudget::release, tracked, 0) : nullptr;
    if (!outer) {
        delete tracked;
        m_used -= bytes;
        return false;
    }
    buffer = outer;
    return true;
}

bool PictureBudget::reserve(std::size_t bytes)
{
    std::size_t used = m_used.load();
    do {
        if (bytes > m_limit || used > m_limit - bytes)
            return false;
    } while (!m_used.compare_exchange_weak(used, used + bytes));
    std::size_t peak = m_peak.load();
    while (used + bytes > peak && !m_peak.compare_exchange_weak(peak, used + bytes)) {
    }
    return true;
}

void PictureBudget::release(void *opaque, std::uint8_t *)
{
    auto *tracked = static_cast<Tracked *>(opaque);
    tracked->budget->m_used -= tracked->bytes;
    av_buffer_unref(&tracked->inner);
    delete tracked;
}

} // namespace zorvane
