#include "player/framereader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace zorvane {
namespace {

struct FormatDeleter {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct CodecDeleter {
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct PacketDeleter {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct ScalerDeleter {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;

std::string avErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Releases the packet's payload when a loop iteration ends, whatever path it takes.
class PacketRelease {
public:
    explicit PacketRelease(AVPacket *packet) : m_packet(packet) {}
    ~PacketRelease() { av_packet_unref(m_packet); }
    PacketRelease(const PacketRelease &) = delete;
    PacketRelease &operator=(const PacketRelease &) = delete;

private:
    AVPacket *m_packet;
};

std::size_t frameBytes(const AVFrame *frame)
{
    std::size_t bytes = 0;
    for (const AVBufferRef *buffer : frame->buf)
        if (buffer)
            bytes += buffer->size;
    return bytes;
}

// Counts the picture buffers the decoders take, for as long as anyone (the
// decoder, the cache) holds them, and refuses one that would pass the limit.
// A few kilobytes of hostile stream can declare a dozen reference pictures
// of the largest size; refused, the decoder fails that picture instead of
// taking gigabytes. Buffers may be taken and released on decoder threads.
// Everything holding a counted buffer (decoder, cache) must go before it.
class PictureBudget {
public:
    explicit PictureBudget(std::size_t limit) : m_limit(limit) {}

    void attach(AVCodecContext *context)
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

    std::size_t peakBytes() const { return m_peak.load(); }

private:
    struct Tracked {
        AVBufferRef *inner;
        PictureBudget *budget;
        std::size_t bytes;
    };

    static int getBuffer(AVCodecContext *context, AVFrame *frame, int flags)
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

    bool trackAll(AVFrame *frame)
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
    bool track(AVBufferRef *&buffer)
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

    bool reserve(std::size_t bytes)
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

    static void release(void *opaque, std::uint8_t *)
    {
        auto *tracked = static_cast<Tracked *>(opaque);
        tracked->budget->m_used -= tracked->bytes;
        av_buffer_unref(&tracked->inner);
        delete tracked;
    }

    const std::size_t m_limit;
    std::atomic<std::size_t> m_used{0};
    std::atomic<std::size_t> m_peak{0};
};

// Decoded frames by index, least recently used evicted first once the byte
// budget is exceeded. Frames are shared references to the decoder's buffers.
class FrameCache {
public:
    explicit FrameCache(std::size_t budget) : m_budget(budget) {}

    const AVFrame *find(int index)
    {
        auto found = m_entries.find(index);
        if (found == m_entries.end())
            return nullptr;
        m_uses.splice(m_uses.begin(), m_uses, found->second.use);
        return found->second.frame.get();
    }

    void insert(int index, const AVFrame *frame)
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

    void clear()
    {
        m_entries.clear();
        m_uses.clear();
        m_bytes = 0;
    }

    std::size_t bytes() const { return m_bytes; }
    std::size_t peakBytes() const { return m_peak; }

private:
    struct Entry {
        FramePtr frame;
        std::size_t bytes = 0;
        std::list<int>::iterator use;
    };

    void erase(int index)
    {
        auto found = m_entries.find(index);
        if (found == m_entries.end())
            return;
        m_bytes -= found->second.bytes;
        m_uses.erase(found->second.use);
        m_entries.erase(found);
    }

    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::size_t m_peak = 0;
    std::unordered_map<int, Entry> m_entries;
    std::list<int> m_uses; // most recent first
};

// Decoders copy these fields from the bitstream unchecked, so they may
// hold numbers outside their enums; reading them as the enum would be
// undefined, so they are read as the integers they are.
template <typename Enum>
int storedValue(const Enum &field)
{
    std::underlying_type_t<Enum> value;
    std::memcpy(&value, &field, sizeof value);
    return static_cast<int>(value);
}

int sourceRange(const AVFrame *frame)
{
    if (storedValue(frame->color_range) == AVCOL_RANGE_JPEG)
        return 1;
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return 1;
    default:
        return 0;
    }
}

// Hostile files may put timestamps at both ends of the 64-bit range.
double stampSpan(std::int64_t from, std::int64_t to)
{
    return static_cast<double>(static_cast<long double>(to) - static_cast<long double>(from));
}

// Gives frames that came out without a timestamp (typically the last one,
// flushed at the end) a value between their neighbours. False when the
// result does not order the frames strictly.
bool fillMissingStamps(std::vector<std::int64_t> &stamps)
{
    std::vector<std::size_t> known;
    for (std::size_t i = 0; i < stamps.size(); ++i)
        if (stamps[i] != AV_NOPTS_VALUE)
            known.push_back(i);
    if (known.empty())
        return false;
    long double step = 1;
    if (known.size() > 1)
        step = std::max<long double>(1, static_cast<long double>(stamps[known.back()] - stamps[known.front()])
                                            / static_cast<long double>(known.back() - known.front()));
    constexpr long double kLimit = 9.0e18L;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (stamps[i] != AV_NOPTS_VALUE)
            continue;
        const auto next = std::upper_bound(known.begin(), known.end(), i);
        long double value = 0;
        if (next != known.begin() && next != known.end()) {
            const std::size_t before = *std::prev(next);
            const std::size_t after = *next;
            value = stamps[before] + static_cast<long double>(stamps[after] - stamps[before]) * (i - before)
                                         / static_cast<long double>(after - before);
        } else if (next != known.begin()) {
            const std::size_t before = *std::prev(next);
            value = stamps[before] + step * static_cast<long double>(i - before);
        } else {
            value = stamps[*next] - step * static_cast<long double>(*next - i);
        }
        if (value > kLimit || value < -kLimit)
            return false;
        stamps[i] = static_cast<std::int64_t>(value);
    }
    for (std::size_t i = 1; i < stamps.size(); ++i)
        if (stamps[i] <= stamps[i - 1])
            return false;
    return true;
}

// Counts what the demuxer reads in small steps without handing out a
// packet: in junk it resynchronises byte by byte, and gigabytes of junk (a
// sparse or half-copied file) would take minutes. Past the limit reading
// is interrupted, which ends the file there. Large reads (big packets) and
// seeks are not counted, so whole videos of any size still read through.
class ResyncLimit {
public:
    static constexpr std::int64_t kMaxScannedBytes = std::int64_t{64} << 20;

    void attach(const AVFormatContext *context)
    {
        m_context = context;
        restart();
    }
    void restart()
    {
        m_scanned = 0;
        m_lastPosition = -1;
    }
    static int interrupt(void *opaque) { return static_cast<ResyncLimit *>(opaque)->exceeded() ? 1 : 0; }

private:
    static constexpr std::int64_t kSmallStep = std::int64_t{1} << 20;

    bool exceeded()
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

    const AVFormatContext *m_context = nullptr;
    std::int64_t m_scanned = 0;
    std::int64_t m_lastPosition = -1;
};

} // namespace

struct FrameReader::Impl {
    Impl(std::string filePath, std::size_t cacheBudget, std::size_t decoderBudget)
        : path(std::move(filePath)),
          pictures(cacheBudget + decoderBudget),
          cache(cacheBudget)
    {
    }

    std::string path;
    PictureBudget pictures; // before codec, frame and cache, which hold its buffers
    ResyncLimit resync; // declared before format, whose reads call it
    FormatPtr format;
    CodecPtr codec;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    ScalerPtr scaler;
    int stream = -1;
    AVRational timeBase{0, 1};
    int width = 0;
    int height = 0;
    double fps = 0;
    bool fromPackets = false;
    // Timestamps could not tell frames apart: frames are counted from the start.
    bool byOrdinal = false;
    bool timesFromStamps = true;
    std::vector<std::int64_t> stamps; // presentation order, strictly increasing
    std::vector<int> keyframes;       // ascending frame indices
    int frames = 0;
    FrameCache cache;

    // Decoding session since the last seek or reopen.
    bool live = false;
    bool inputDone = false;
    bool waitingForKey = false;
    bool trusted = false; // a keyframe has been output since the seek
    int trustFrom = 0;    // earlier frames decoded in this session may be leading-frame garbage
    int lastAccepted = -1;
    int ordinal = 0;

    [[noreturn]] void fail(ReaderErrorKind kind, const std::string &reason) const
    {
        throw ReaderError(kind, path + ": " + reason);
    }

    void checkRegularFile() const;
    void openDemuxer();
    int findStreamInfo(AVFormatContext *context);
    void openDecoder(const AVCodec *decoder);
    void checkVideoStream(const AVStream *st) const;
    bool scanPackets();
    void scanByDecoding();
    void computeRate();

    bool nextDecodedFrame();
    void feedPacket();
    int identify(const AVFrame *decoded);
    bool decodeForwardTo(int target);
    void switchToOrdinal();
    bool seekToKeyframe(std::size_t keyPosition);
    bool decodeFromStart(int target);
    const AVFrame *decodedFrame(int index);
    int keyPositionAtOrBefore(int index) const;
    RgbImage toRgb(const AVFrame *decoded);
};

// Devices and pipes could stream forever; only regular files are read.
void FrameReader::Impl::checkRegularFile() const
{
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(path), error);
    if (status.type() == std::filesystem::file_type::not_found)
        fail(ReaderErrorKind::CannotOpen, "cannot open (no such file)");
    if (status.type() == std::filesystem::file_type::directory)
        fail(ReaderErrorKind::CannotOpen, "cannot open (it is a folder)");
    if (error)
        fail(ReaderErrorKind::CannotOpen, "cannot open (" + error.message() + ")");
    if (status.type() != std::filesystem::file_type::regular)
        fail(ReaderErrorKind::CannotOpen, "cannot open (not a regular file)");
}

void FrameReader::Impl::openDemuxer()
{
    live = false;
    codec.reset();
    resync.attach(nullptr);
    format.reset();
    AVFormatContext *context = avformat_alloc_context();
    if (!context)
        fail(ReaderErrorKind::CannotOpen, "out of memory");
    context->interrupt_callback = {&ResyncLimit::interrupt, &resync};
    resync.attach(context);
    // The path is a file name, never a protocol ("pipe:", "concat:", ...),
    // and playlists inside the file may not reach beyond local files.
    const std::string url = "file:" + path;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int result = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        resync.attach(nullptr); // freed by the failed open
        fail(ReaderErrorKind::CannotOpen, "cannot open (" + avErrorText(result) + ")");
    }
    format.reset(context);
    result = findStreamInfo(context);
    if (result < 0)
        fail(ReaderErrorKind::CannotOpen, "cannot read the streams (" + avErrorText(result) + ")");

    const AVCodec *decoder = nullptr;
    stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream == AVERROR_DECODER_NOT_FOUND)
        fail(ReaderErrorKind::NotSupported, "no decoder for its video codec");
    if (stream < 0)
        fail(ReaderErrorKind::NotSupported, "no video stream");
    const AVStream *st = context->streams[stream];
    checkVideoStream(st);
    for (unsigned i = 0; i < context->nb_streams; ++i)
        if (static_cast<int>(i) != stream)
            context->streams[i]->discard = AVDISCARD_ALL;
    timeBase = st->time_base;
    width = st->codecpar->width;
    height = st->codecpar->height;
    openDecoder(decoder);
}

// The probing decoders get the same picture limit as ours: without it a few
// bytes claiming a huge picture make them allocate it.
int FrameReader::Impl::findStreamInfo(AVFormatContext *context)
{
    const std::string maxPixels = std::to_string(kMaxPixels);
    std::vector<AVDictionary *> options(context->nb_streams, nullptr);
    for (AVDictionary *&streamOptions : options)
        av_dict_set(&streamOptions, "max_pixels", maxPixels.c_str(), 0);
    const int result = avformat_find_stream_info(context, options.empty() ? nullptr : options.data());
    for (AVDictionary *&streamOptions : options)
        av_dict_free(&streamOptions);
    return result;
}

void FrameReader::Impl::checkVideoStream(const AVStream *st) const
{
    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
        fail(ReaderErrorKind::NotSupported, "no video stream (only a cover picture)");
    const AVCodecParameters *par = st->codecpar;
    if (par->width <= 0 || par->height <= 0)
        fail(ReaderErrorKind::NotSupported, "video stream without a frame size");
    if (par->width > kMaxDimension || par->height > kMaxDimension
        || std::int64_t{par->width} * par->height > kMaxPixels)
        fail(ReaderErrorKind::NotSupported, "frame size " + std::to_string(par->width) + "x"
                                                + std::to_string(par->height) + " is too large");
    if (st->time_base.num <= 0 || st->time_base.den <= 0)
        fail(ReaderErrorKind::NotSupported, "video stream without a time base");
}

void FrameReader::Impl::openDecoder(const AVCodec *decoder)
{
    CodecPtr context(avcodec_alloc_context3(decoder));
    if (!context)
        fail(ReaderErrorKind::NotSupported, "cannot allocate a decoder");
    const AVStream *st = format->streams[stream];
    if (avcodec_parameters_to_context(context.get(), st->codecpar) < 0)
        fail(ReaderErrorKind::NotSupported, "cannot configure the decoder");
    context->pkt_timebase = st->time_base;
    // Every frame thread holds pictures of its own: a large picture costs
    // a hundred megabytes per thread, so two threads, not one per core.
    context->thread_count = kDecoderThreads;
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    context->max_pixels = kMaxPixels;
    pictures.attach(context.get());
    const int result = avcodec_open2(context.get(), decoder, nullptr);
    if (result < 0)
        fail(ReaderErrorKind::NotSupported, std::string("cannot open the ") + decoder->name + " decoder ("
                                                + avErrorText(result) + ")");
    codec = std::move(context);
}

// Builds the index from packet timestamps. Returns false when they cannot be
// trusted to match the decoder's output one for one.
bool FrameReader::Impl::scanPackets()
{
    // Invisible frames (alt-ref) travel in their own packets.
    if (codec->codec_id == AV_CODEC_ID_VP8)
        return false;
    std::vector<std::int64_t> found;
    std::vector<std::int64_t> keyStamps;
    bool first = true;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        PacketRelease release(packet.get());
        resync.restart();
        if (packet->stream_index != stream || (packet->flags & AV_PKT_FLAG_DISCARD))
            continue;
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        if ((first && !key) || packet->pts == AV_NOPTS_VALUE || packet->size == 0)
            return false;
        first = false;
        found.push_back(packet->pts);
        if (key)
            keyStamps.push_back(packet->pts);
        if (found.size() > static_cast<std::size_t>(kMaxFrames))
            fail(ReaderErrorKind::NotSupported, "more than " + std::to_string(kMaxFrames) + " frames");
    }
    if (found.empty())
        return false;
    std::sort(found.begin(), found.end());
    if (std::adjacent_find(found.begin(), found.end()) != found.end())
        return false;
    stamps = std::move(found);
    keyframes.clear();
    std::sort(keyStamps.begin(), keyStamps.end());
    for (std::int64_t stamp : keyStamps)
        keyframes.push_back(static_cast<int>(std::lower_bound(stamps.begin(), stamps.end(), stamp) - stamps.begin()));
    frames = static_cast<int>(stamps.size());
    return true;
}

// Decodes the whole file once: the count is then what a full decode yields
// by construction, and frames are told apart by timestamps when those are
// present and increasing, by their rank otherwise.
void FrameReader::Impl::scanByDecoding()
{
    std::vector<std::int64_t> found;
    std::vector<int> keys;
    live = true;
    inputDone = false;
    waitingForKey = false;
    while (nextDecodedFrame()) {
        if (frame->key_frame)
            keys.push_back(static_cast<int>(found.size()));
        found.push_back(frame->best_effort_timestamp);
        av_frame_unref(frame.get());
        if (found.size() > static_cast<std::size_t>(kMaxFrames))
            fail(ReaderErrorKind::NotSupported, "more than " + std::to_string(kMaxFrames) + " frames");
    }
    if (found.empty())
        fail(ReaderErrorKind::DecodeFailed, "no frame could be decoded");
    frames = static_cast<int>(found.size());
    timesFromStamps = fillMissingStamps(found);
    byOrdinal = !timesFromStamps;
    stamps = std::move(found);
    keyframes = std::move(keys);
}

void FrameReader::Impl::computeRate()
{
    const AVStream *st = format->streams[stream];
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        fps = av_q2d(rate);
    if (timesFromStamps && frames > 1) {
        const double spanSeconds = stampSpan(stamps.front(), stamps.back()) * av_q2d(timeBase);
        if (spanSeconds > 0 && (fps <= 0 || !std::isfinite(fps)))
            fps = (frames - 1) / spanSeconds;
    }
    if (fps <= 0 || !std::isfinite(fps))
        fps = 25.0;
}

// Pulls the next frame the decoder outputs into `frame`. False at the end.
bool FrameReader::Impl::nextDecodedFrame()
{
    int errorsInRow = 0;
    for (;;) {
        const int result = avcodec_receive_frame(codec.get(), frame.get());
        if (result == 0)
            return true;
        if (result == AVERROR_EOF) {
            live = false;
            return false;
        }
        if (result != AVERROR(EAGAIN)) {
            // A damaged frame; the decoder carries on with the next one.
            if (++errorsInRow > 1000) {
                live = false;
                return false;
            }
            continue;
        }
        if (inputDone) {
            live = false;
            return false;
        }
        feedPacket();
    }
}

void FrameReader::Impl::feedPacket()
{
    for (;;) {
        if (av_read_frame(format.get(), packet.get()) < 0) {
            avcodec_send_packet(codec.get(), nullptr);
            inputDone = true;
            return;
        }
        PacketRelease release(packet.get());
        resync.restart();
        if (packet->stream_index != stream)
            continue;
        if (waitingForKey) {
            if (!(packet->flags & AV_PKT_FLAG_KEY))
                continue;
            waitingForKey = false;
        }
        // Undecodable packets are skipped, as a full decode would.
        avcodec_send_packet(codec.get(), packet.get());
        return;
    }
}

int FrameReader::Impl::identify(const AVFrame *decoded)
{
    if (byOrdinal)
        return ordinal++;
    const std::int64_t stamp = decoded->best_effort_timestamp;
    // Once a session is anchored, frames come out in presentation order.
    if (stamp == AV_NOPTS_VALUE)
        return trusted && lastAccepted >= 0 && lastAccepted + 1 < frames ? lastAccepted + 1 : -1;
    auto found = std::lower_bound(stamps.begin(), stamps.end(), stamp);
    if (found == stamps.end() || *found != stamp)
        return -1;
    return static_cast<int>(found - stamps.begin());
}

// Decodes on from the current session until `target` is cached. Frames are
// accepted only from the first keyframe output after a seek: leading frames
// of an open GOP come out before it and reference pictures never decoded.
bool FrameReader::Impl::decodeForwardTo(int target)
{
    while (nextDecodedFrame()) {
        const int index = identify(frame.get());
        if (!trusted && index >= 0 && frame->key_frame) {
            trusted = true;
            trustFrom = index;
        }
        const bool known = index >= 0;
        if (trusted && !fromPackets && !byOrdinal && (!known || (lastAccepted >= 0 && index != lastAccepted + 1))) {
            av_frame_unref(frame.get());
            switchToOrdinal();
            return false;
        }
        if (!trusted || !known || index < trustFrom) {
            av_frame_unref(frame.get());
            continue;
        }
        cache.insert(index, frame.get());
        av_frame_unref(frame.get());
        lastAccepted = index;
        if (index >= target)
            return index == target;
    }
    return false;
}

// Timestamps of a file indexed by decoding did not come back the same after a
// seek: from now on frames are told apart by their rank from the start only.
void FrameReader::Impl::switchToOrdinal()
{
    byOrdinal = true;
    cache.clear();
    live = false;
}

bool FrameReader::Impl::seekToKeyframe(std::size_t keyPosition)
{
    // A failed reopen (file gone since) leaves nothing to seek in.
    if (!format || !codec)
        return false;
    const std::int64_t stamp = stamps[static_cast<std::size_t>(keyframes[keyPosition])];
    resync.restart();
    const int sought = av_seek_frame(format.get(), stream, stamp, AVSEEK_FLAG_BACKWARD);
    resync.restart();
    if (sought < 0)
        return false;
    avcodec_flush_buffers(codec.get());
    live = true;
    inputDone = false;
    waitingForKey = true;
    trusted = false;
    trustFrom = 0;
    lastAccepted = -1;
    return true;
}

// The slow path that cannot land wrong: a fresh demuxer and decoder, exactly
// as the index was built.
bool FrameReader::Impl::decodeFromStart(int target)
{
    openDemuxer();
    live = true;
    inputDone = false;
    waitingForKey = false;
    trusted = true;
    trustFrom = 0;
    lastAccepted = -1;
    ordinal = 0;
    return decodeForwardTo(target);
}

int FrameReader::Impl::keyPositionAtOrBefore(int index) const
{
    auto after = std::upper_bound(keyframes.begin(), keyframes.end(), index);
    return static_cast<int>(after - keyframes.begin()) - 1;
}

const AVFrame *FrameReader::Impl::decodedFrame(int index)
{
    if (const AVFrame *cached = cache.find(index))
        return cached;
    if (!byOrdinal) {
        int keyPosition = keyPositionAtOrBefore(index);
        const bool pastItsKeyframe =
            keyPosition >= 0 && keyframes[static_cast<std::size_t>(keyPosition)] <= lastAccepted;
        constexpr int kShortHop = 16;
        if (live && trusted && lastAccepted < index && (pastItsKeyframe || index - lastAccepted <= kShortHop)
            && decodeForwardTo(index))
            return cache.find(index);

        // A seek may land late (open-GOP leading frames, MPEG-PS/TS
        // timestamp seeks): each miss retries one keyframe earlier.
        constexpr int kSeekAttempts = 3;
        for (int attempt = 0; attempt < kSeekAttempts && keyPosition >= 0 && !byOrdinal; ++attempt, --keyPosition) {
            if (seekToKeyframe(static_cast<std::size_t>(keyPosition)) && decodeForwardTo(index))
                return cache.find(index);
        }
    } else if (live && lastAccepted < index && decodeForwardTo(index)) {
        return cache.find(index);
    }
    if (decodeFromStart(index))
        return cache.find(index);
    fail(ReaderErrorKind::DecodeFailed, "frame " + std::to_string(index) + " could not be decoded");
}

RgbImage FrameReader::Impl::toRgb(const AVFrame *decoded)
{
    SwsContext *context = sws_getCachedContext(scaler.release(), decoded->width, decoded->height,
                                               static_cast<AVPixelFormat>(decoded->format), width, height,
                                               AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    scaler.reset(context);
    if (!context)
        fail(ReaderErrorKind::DecodeFailed, "cannot convert the frame's pixel format to RGB");
    const int stored = storedValue(decoded->colorspace);
    const bool known = stored >= 0 && stored < AVCOL_SPC_NB && stored != AVCOL_SPC_UNSPECIFIED;
    const int space = known ? stored : SWS_CS_DEFAULT;
    const int *coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(context, coefficients, sourceRange(decoded), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             0, 1 << 16, 1 << 16);

    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    std::uint8_t *planes[4] = {image.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 3, 0, 0, 0};
    sws_scale(context, decoded->data, decoded->linesize, 0, decoded->height, planes, strides);
    return image;
}

FrameReader::FrameReader(const std::string &path, std::size_t cacheBudgetBytes, std::size_t decoderBudgetBytes)
    : m_impl(std::make_unique<Impl>(path, cacheBudgetBytes, decoderBudgetBytes))
{
    m_impl->checkRegularFile();
    if (!m_impl->packet || !m_impl->frame)
        m_impl->fail(ReaderErrorKind::CannotOpen, "out of memory");
    // Damaged files make FFmpeg log per packet; failures reach callers as
    // typed errors instead, and command-line users get one line.
    static std::once_flag setUp;
    std::call_once(setUp, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxBlockBytes);
    });
    m_impl->openDemuxer();
    m_impl->fromPackets = m_impl->scanPackets();
    m_impl->openDemuxer();
    if (!m_impl->fromPackets) {
        m_impl->scanByDecoding();
        m_impl->openDemuxer();
    }
    m_impl->computeRate();
}

FrameReader::~FrameReader() = default;

int FrameReader::frameCount() const { return m_impl->frames; }
int FrameReader::width() const { return m_impl->width; }
int FrameReader::height() const { return m_impl->height; }
double FrameReader::fps() const { return m_impl->fps; }
bool FrameReader::indexedFromPackets() const { return m_impl->fromPackets; }
std::size_t FrameReader::cacheBytes() const { return m_impl->cache.bytes(); }
std::size_t FrameReader::cachePeakBytes() const { return m_impl->cache.peakBytes(); }
std::size_t FrameReader::picturePeakBytes() const { return m_impl->pictures.peakBytes(); }

double FrameReader::frameTimeMs(int index) const
{
    if (index < 0 || index >= m_impl->frames)
        return 0;
    if (!m_impl->timesFromStamps)
        return index * 1000.0 / m_impl->fps;
    const auto &stamps = m_impl->stamps;
    return stampSpan(stamps.front(), stamps[static_cast<std::size_t>(index)]) * av_q2d(m_impl->timeBase) * 1000.0;
}

std::int64_t FrameReader::durationMs() const
{
    if (m_impl->frames == 0)
        return 0;
    const double lastMs = frameTimeMs(m_impl->frames - 1);
    return std::llround(lastMs + 1000.0 / m_impl->fps);
}

RgbImage FrameReader::frameRgb(int index)
{
    if (index < 0 || index >= m_impl->frames)
        throw ReaderError(ReaderErrorKind::DecodeFailed, m_impl->path + ": no frame " + std::to_string(index)
                                                             + " (the video has " + std::to_string(m_impl->frames)
                                                             + " frames)");
    return m_impl->toRgb(m_impl->decodedFrame(index));
}

std::unique_ptr<FrameSource> openFrameSource(const std::string &path)
{
    return std::make_unique<FrameReader>(path);
}

} // namespace zorvane
