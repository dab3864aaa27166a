#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct AVBufferRef;
struct AVCodecContext;
struct AVFrame;

namespace zorvane {

// Counts the picture buffers the decoders take, for as long as anyone (the
// decoder, the cache) holds them, and refuses one that would pass the limit.
// A few kilobytes of hostile stream can declare a dozen reference pictures
// of the largest size; refused, the decoder fails that picture instead of
// taking gigabytes. Buffers may be taken and released on decoder threads.
// Everything holding a counted buffer (decoder, cache) must go before it.
class PictureBudget {
public:
    explicit PictureBudget(std::size_t limit) : m_limit(limit) {}
    PictureBudget(const PictureBudget &) = delete;
    PictureBudget &operator=(const PictureBudget &) = delete;

    // Makes the decoder take its picture buffers through this budget.
    void attach(AVCodecContext *context);

    std::size_t usedBytes() const { return m_used.load(); }
    std::size_t peakBytes() const { return m_peak.load(); }

private:
    struct Tracked;

    static int getBuffer(AVCodecContext *context, AVFrame *frame, int flags);
    static void release(void *opaque, std::uint8_t *data);
    bool trackAll(AVFrame *frame);
    bool track(AVBufferRef *&buffer);
    bool reserve(std::size_t bytes);

    const std::size_t m_limit;
    std::atomic<std::size_t> m_used{0};
    std::atomic<std::size_t> m_peak{0};
};

} // namespace zorvane
