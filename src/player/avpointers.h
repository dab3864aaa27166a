#pragma once

#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace zorvane {

// Owning pointers for the FFmpeg objects the reader keeps; the headers
// that use them need no FFmpeg header of their own.
struct FormatDeleter {
    void operator()(AVFormatContext *context) const;
};
struct CodecDeleter {
    void operator()(AVCodecContext *context) const;
};
struct PacketDeleter {
    void operator()(AVPacket *packet) const;
};
struct FrameDeleter {
    void operator()(AVFrame *frame) const;
};
struct ScalerDeleter {
    void operator()(SwsContext *context) const;
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;

// Releases the packet's payload when a loop iteration ends, whatever path it takes.
class PacketRelease {
public:
    explicit PacketRelease(AVPacket *packet) : m_packet(packet) {}
    ~PacketRelease();
    PacketRelease(const PacketRelease &) = delete;
    PacketRelease &operator=(const PacketRelease &) = delete;

private:
    AVPacket *m_packet;
};

std::string avErrorText(int code);

} // namespace zorvane
