#pragma once

#include "player/avpointers.h"
#include "player/framesource.h"
#include "player/resynclimit.h"

#include <atomic>
#include <cstdint>
#include <string>

struct AVCodec;
struct AVStream;

namespace zorvane {

class PictureBudget;

// Where decoding stands since the last seek or reopen.
struct SessionState {
    bool live = false;          // the decoder may still output frames
    bool inputDone = false;     // the demuxer is at its end; the decoder drains
    bool waitingForKey = false; // packets before the next keyframe are skipped
    bool trusted = false;       // a keyframe has been output since the seek
    int trustFrom = 0;          // earlier frames decoded in this session may be leading-frame garbage
    int lastAccepted = -1;
    int ordinal = 0; // frames output since the start of the file
};

enum class SessionStart {
    None,      // nothing decodes until the next start
    FromStart, // a fresh demuxer at the first packet: every frame is trusted
    AfterSeek, // decoding resumes at the next keyframe packet
};

// One open demuxer and decoder for the video stream of a file, and the
// state of the decode running through them.
class DecodeSession {
public:
    DecodeSession(std::string path, PictureBudget &pictures);
    DecodeSession(const DecodeSession &) = delete;
    DecodeSession &operator=(const DecodeSession &) = delete;

    // Throws ReaderError with the file's name in front of `reason`.
    [[noreturn]] void fail(ReaderErrorKind kind, const std::string &reason) const;
    // Devices and pipes could stream forever; only regular files are read.
    void checkRegularFile() const;
    // Opens the file afresh, positioned at its first packet and not live.
    // Throws ReaderError.
    void open();
    bool isOpen() const { return m_format && m_codec; }
    void start(SessionStart start);
    // Seeks to the keyframe at or before `stamp` and starts decoding there,
    // reopening the file first when a read was interrupted.
    bool seek(std::int64_t stamp);
    void stop() { m_state.live = false; }
    // While `stop` is raised, reads, seeks and opens give up at once; the
    // session then ends as at the end of the file. Null for no such stop.
    void interruptWhen(const std::atomic<bool> *stop) { m_stop = stop; }
    // Whether a read gave up because of that stop or of stopAllDecoding()
    // since the last open: what was read is then cut short.
    bool wasInterrupted() const { return m_interrupted; }

    // Pulls the next frame the decoder outputs into frame(). False at the end.
    bool nextFrame();
    AVFrame *frame() const { return m_frame.get(); }
    // The next packet of the video stream, or null at the end. The caller
    // releases its payload (PacketRelease).
    AVPacket *readPacket();

    SessionState &state() { return m_state; }
    const SessionState &state() const { return m_state; }
    const AVStream *videoStream() const;
    // False for codecs whose invisible frames travel in packets of their own.
    bool packetsAreFrames() const;
    const std::string &path() const { return m_path; }

private:
    // For AVIOInterruptCB, with the session as the opaque pointer.
    static int interrupt(void *opaque);
    int findStreamInfo(AVFormatContext *context);
    void checkVideoStream(const AVStream *st) const;
    void openDecoder(const AVCodec *decoder);
    void feedPacket();

    std::string m_path;
    PictureBudget &m_pictures;
    ResyncLimit m_resync; // declared before the format context, whose reads call it
    FormatPtr m_format;
    CodecPtr m_codec;
    PacketPtr m_packet;
    FramePtr m_frame;
    int m_stream = -1;
    SessionState m_state;
    const std::atomic<bool> *m_stop = nullptr;
    bool m_interrupted = false;
};

} // namespace zorvane
