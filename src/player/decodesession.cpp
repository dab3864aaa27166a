#include "player/decodesession.h"

#include "common/log.h"
#include "common/utf8path.h"
#include "player/framereader.h"
#include "player/picturebudget.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <filesystem>
#include <vector>

namespace zorvane {

DecodeSession::DecodeSession(std::string path, PictureBudget &pictures)
        : m_path(std::move(path)), m_pictures(pictures), m_packet(av_packet_alloc()), m_frame(av_frame_alloc())
{}

void DecodeSession::fail(ReaderErrorKind kind, const std::string &reason) const
{
    throw ReaderError(kind, m_path + ": " + reason);
}

void DecodeSession::checkRegularFile() const
{
    std::error_code error;
    const auto status = std::filesystem::status(pathFromUtf8(m_path), error);
    if (status.type() == std::filesystem::file_type::not_found)
        fail(ReaderErrorKind::CannotOpen, "cannot open (no such file)");
    if (status.type() == std::filesystem::file_type::directory)
        fail(ReaderErrorKind::CannotOpen, "cannot open (it is a folder)");
    if (error)
        fail(ReaderErrorKind::CannotOpen, "cannot open (" + error.message() + ")");
    if (status.type() != std::filesystem::file_type::regular)
        fail(ReaderErrorKind::CannotOpen, "cannot open (not a regular file)");
}

// The one place the session's flags are set afresh.
void DecodeSession::start(SessionStart start)
{
    m_state = SessionState{};
    m_state.live = start != SessionStart::None;
    m_state.waitingForKey = start == SessionStart::AfterSeek;
    m_state.trusted = start == SessionStart::FromStart;
}

void DecodeSession::open()
{
    if (!m_packet || !m_frame)
        fail(ReaderErrorKind::CannotOpen, "out of memory");
    start(SessionStart::None);
    m_codec.reset();
    m_resync.attach(nullptr);
    m_format.reset();
    AVFormatContext *context = avformat_alloc_context();
    if (!context)
        fail(ReaderErrorKind::CannotOpen, "out of memory");
    m_interrupted = false;
    context->interrupt_callback = {&DecodeSession::interrupt, this};
    m_resync.attach(context);
    // The path is a file name, never a protocol ("pipe:", "concat:", ...),
    // and playlists inside the file may not reach beyond local files.
    const std::string url = "file:" + m_path;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int result = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        m_resync.attach(nullptr); // freed by the failed open
        fail(ReaderErrorKind::CannotOpen, "cannot open (" + avErrorText(result) + ")");
    }
    m_format.reset(context);
    result = findStreamInfo(context);
    if (m_interrupted)
        fail(ReaderErrorKind::CannotOpen, "cannot open (interrupted)");
    if (result < 0)
        fail(ReaderErrorKind::CannotOpen, "cannot read the streams (" + avErrorText(result) + ")");

    const AVCodec *decoder = nullptr;
    m_stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (m_stream == AVERROR_DECODER_NOT_FOUND)
        fail(ReaderErrorKind::NotSupported, "no decoder for its video codec");
    if (m_stream < 0)
        fail(ReaderErrorKind::NotSupported, "no video stream");
    checkVideoStream(context->streams[m_stream]);
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream)
            context->streams[i]->discard = AVDISCARD_ALL;
    openDecoder(decoder);
}

// The probing decoders get the same picture limit as ours: without it a few
// bytes claiming a huge picture make them allocate it.
int DecodeSession::findStreamInfo(AVFormatContext *context)
{
    const std::string maxPixels = std::to_string(FrameReader::kMaxPixels);
    std::vector<AVDictionary *> options(context->nb_streams, nullptr);
    for (AVDictionary *&streamOptions : options)
        av_dict_set(&streamOptions, "max_pixels", maxPixels.c_str(), 0);
    const int result = avformat_find_stream_info(context, options.empty() ? nullptr : options.data());
    for (AVDictionary *&streamOptions : options)
        av_dict_free(&streamOptions);
    return result;
}

void DecodeSession::checkVideoStream(const AVStream *st) const
{
    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
        fail(ReaderErrorKind::NotSupported, "no video stream (only a cover picture)");
    const AVCodecParameters *par = st->codecpar;
    if (par->width <= 0 || par->height <= 0)
        fail(ReaderErrorKind::NotSupported, "video stream without a frame size");
    if (par->width > FrameReader::kMaxDimension || par->height > FrameReader::kMaxDimension
        || std::int64_t{par->width} * par->height > FrameReader::kMaxPixels)
        fail(ReaderErrorKind::NotSupported,
             "frame size " + std::to_string(par->width) + "x" + std::to_string(par->height) + " is too large");
    if (st->time_base.num <= 0 || st->time_base.den <= 0)
        fail(ReaderErrorKind::NotSupported, "video stream without a time base");
}

void DecodeSession::openDecoder(const AVCodec *decoder)
{
    CodecPtr context(avcodec_alloc_context3(decoder));
    if (!context)
        fail(ReaderErrorKind::NotSupported, "cannot allocate a decoder");
    const AVStream *st = videoStream();
    if (avcodec_parameters_to_context(context.get(), st->codecpar) < 0)
        fail(ReaderErrorKind::NotSupported, "cannot configure the decoder");
    context->pkt_timebase = st->time_base;
    // Every frame thread holds pictures of its own: a large picture costs
    // a hundred megabytes per thread, so two threads, not one per core.
    context->thread_count = FrameReader::kDecoderThreads;
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    context->max_pixels = FrameReader::kMaxPixels;
    m_pictures.attach(context.get());
    const int result = avcodec_open2(context.get(), decoder, nullptr);
    if (result < 0)
        fail(ReaderErrorKind::NotSupported,
             std::string("cannot open the ") + decoder->name + " decoder (" + avErrorText(result) + ")");
    m_codec = std::move(context);
}

const AVStream *DecodeSession::videoStream() const { return m_format->streams[m_stream]; }

bool DecodeSession::packetsAreFrames() const { return m_codec->codec_id != AV_CODEC_ID_VP8; }

int DecodeSession::interrupt(void *opaque)
{
    auto *session = static_cast<DecodeSession *>(opaque);
    if ((session->m_stop && *session->m_stop) || decodingStoppedForGood()) {
        session->m_interrupted = true;
        return 1;
    }
    return ResyncLimit::interrupt(&session->m_resync);
}

bool DecodeSession::seek(std::int64_t stamp)
{
    // An interrupted read may leave the demuxer's buffers in error.
    if (m_interrupted && !(m_stop && *m_stop)) {
        try {
            open();
        } catch (const ReaderError &error) {
            logDebug("player", error.what());
            return false;
        }
    }
    // A failed reopen (file gone since) leaves nothing to seek in.
    if (!isOpen())
        return false;
    m_resync.restart();
    const int sought = av_seek_frame(m_format.get(), m_stream, stamp, AVSEEK_FLAG_BACKWARD);
    m_resync.restart();
    if (sought < 0)
        return false;
    avcodec_flush_buffers(m_codec.get());
    start(SessionStart::AfterSeek);
    return true;
}

bool DecodeSession::nextFrame()
{
    int errorsInRow = 0;
    for (;;) {
        const int result = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (result == 0)
            return true;
        if (result == AVERROR_EOF) {
            m_state.live = false;
            return false;
        }
        if (result != AVERROR(EAGAIN)) {
            // A damaged frame; the decoder carries on with the next one.
            if (++errorsInRow > 1000) {
                m_state.live = false;
                return false;
            }
            continue;
        }
        if (m_state.inputDone) {
            m_state.live = false;
            return false;
        }
        feedPacket();
    }
}

AVPacket *DecodeSession::readPacket()
{
    for (;;) {
        if (av_read_frame(m_format.get(), m_packet.get()) < 0)
            return nullptr;
        m_resync.restart();
        if (m_packet->stream_index == m_stream)
            return m_packet.get();
        av_packet_unref(m_packet.get());
    }
}

void DecodeSession::feedPacket()
{
    for (;;) {
        AVPacket *packet = readPacket();
        if (!packet) {
            avcodec_send_packet(m_codec.get(), nullptr);
            m_state.inputDone = true;
            return;
        }
        PacketRelease release(packet);
        if (m_state.waitingForKey) {
            if (!(packet->flags & AV_PKT_FLAG_KEY))
                continue;
            m_state.waitingForKey = false;
        }
        // Undecodable packets are skipped, as a full decode would.
        avcodec_send_packet(m_codec.get(), packet);
        return;
    }
}

} // namespace zorvane
