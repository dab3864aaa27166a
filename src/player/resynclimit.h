#pragma once

#include <cstdint>

struct AVFormatContext;

namespace zorvane {

// Counts what the demuxer reads in small steps without handing out a
// packet: in junk it resynchronises byte by byte, and gigabytes of junk (a
// sparse or half-copied file) would take minutes. Past the limit reading
// is interrupted, which ends the file there. Large reads (big packets) and
// seeks are not counted, so whole videos of any size still read through.
class ResyncLimit {
public:
    static constexpr std::int64_t kMaxScannedBytes = std::int64_t{64} << 20;

    void attach(const AVFormatContext *context);
    // Called whenever the demuxer hands out a packet or seeks.
    void restart();
    // For AVIOInterruptCB, with this limit as the opaque pointer.
    static int interrupt(void *opaque);

private:
    static constexpr std::int64_t kSmallStep = std::int64_t{1} << 20;

    bool exceeded();

    const AVFormatContext *m_context = nullptr;
    std::int64_t m_scanned = 0;
    std::int64_t m_lastPosition = -1;
};

} // namespace zorvane
