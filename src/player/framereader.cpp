#include "player/framereader.h"

#include "common/log.h"
#include "player/avpointers.h"
#include "player/decodesession.h"
#include "player/framecache.h"
#include "player/frameindex.h"
#include "player/orientation.h"
#include "player/picturebudget.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX // std::min and std::max stay usable
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zorvane {
namespace {

// Thrown out of a background fill once it is told to stop.
struct Interrupted {};

void logFfmpegLine(void *context, int level, const char *format, va_list arguments)
{
    if (level > av_log_get_level() || !debugLogEnabled())
        return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &printPrefix);
    std::string_view text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    if (!text.empty())
        logDebug("ffmpeg", text);
}

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

constexpr std::size_t kConversionSlack = 256;

int sourceRange(const AVFrame *frame)
{
    if (storedValue(frame->color_range) == AVCOL_RANGE_JPEG)
        return 1;
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return 1;
    default: return 0;
    }
}

// YUV with luma in a plane of its own, one byte per pixel up to 8 bits,
// two in this machine's order beyond.
bool hasPlainLuma(const AVFrame *frame)
{
    const AVPixFmtDescriptor *format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    constexpr std::uint64_t kNotPlainYuv = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM
                                           | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT;
    if (!format || (format->flags & kNotPlainYuv) || format->nb_components < 3)
        return false;
    const AVComponentDescriptor &luma = format->comp[0];
    const int bytes = luma.depth > 8 ? 2 : 1;
    return luma.plane == 0 && luma.step == bytes && luma.offset == 0 && luma.shift == 0 && luma.depth >= 8
           && luma.depth <= 16 && frame->data[0] && frame->linesize[0] >= frame->width * bytes;
}

// 8-bit full-range grey for each level of a luma of `depth` bits. Video
// range puts black at 16 and white at 235, scaled up for deeper luma.
std::vector<std::uint8_t> lumaLevels(int depth, bool fullRange)
{
    const double scale = 1 << (depth - 8);
    const double black = fullRange ? 0 : 16 * scale;
    const double white = fullRange ? (1 << depth) - 1 : 235 * scale;
    std::vector<std::uint8_t> levels(std::size_t{1} << depth);
    for (std::size_t level = 0; level < levels.size(); ++level)
        levels[level] =
            static_cast<std::uint8_t>(std::clamp(std::lround((level - black) * 255 / (white - black)), 0L, 255L));
    return levels;
}

// Phones store a picture as the sensor saw it and say in the container
// how to turn it upright.
Orientation orientationOf(const AVStream *stream)
{
    std::size_t size = 0;
    const std::uint8_t *data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(std::int32_t))
        return {};
    std::int32_t matrix[9];
    std::memcpy(matrix, data, sizeof matrix);
    return Orientation::fromDisplayMatrix(matrix);
}

} // namespace

struct FrameReader::Impl {
    Impl(std::string filePath, std::size_t cacheBudget, std::size_t decoderBudget)
            : pictures(cacheBudget + decoderBudget), cache(cacheBudget), session(std::move(filePath), pictures)
    {}

    PictureBudget pictures; // before the cache and the session, which hold its buffers
    FrameCache cache;
    DecodeSession session;
    ScalerPtr rgbScaler;
    ScalerPtr grayScaler;
    FrameIndex index;
    AVRational timeBase{0, 1};
    int storedWidth = 0;
    int storedHeight = 0;
    Orientation orientation;
    RgbImage storedPicture; // as decoded, before turning upright
    GrayImage storedGray;
    double fps = 0;
    bool fromPackets = false;
    // Set while filling the cache in the background: decoding gives up
    // between two frames once it is raised.
    const std::atomic<bool> *stop = nullptr;

    void buildIndex();
    // An index cut short by a quit would count too few frames.
    void failIfInterrupted() const
    {
        if (session.wasInterrupted())
            session.fail(ReaderErrorKind::CannotOpen, "cannot open (interrupted)");
    }
    FrameIndex indexByDecoding();
    void computeRate();

    int identify(const AVFrame *decoded);
    bool decodeForwardTo(int target);
    void switchToOrdinal();
    bool seekToKeyframe(int keyPosition);
    bool decodeFromStart(int target);
    const AVFrame *decodedFrame(int index);
    SwsContext *converterTo(ScalerPtr &scaler, AVPixelFormat format, const AVFrame *decoded);
    RgbImage toRgb(const AVFrame *decoded);
    GrayImage toGray(const AVFrame *decoded);
    void copyLuma(const AVFrame *decoded, GrayImage &image) const;
    void fillAround(int current, FillReach reach);
    std::vector<std::pair<int, int>> groupsEndingAt(int last, int room) const;
    void decodeGroup(const std::pair<int, int> &group);
    void resumeAfter(int frame);
    int keyframeAtOrBefore(int frame) const;
    bool allCached(int first, int last) const;
    void touch(int first, int last);
    template <typename Image>
    void convert(SwsContext *context, const AVFrame *decoded, int bytesPerPixel, Image &image) const;
};

// Packet timestamps index a file in one read without decoding; when they
// cannot be trusted, the whole file is decoded once.
void FrameReader::Impl::buildIndex()
{
    session.open();
    const AVStream *st = session.videoStream();
    timeBase = st->time_base;
    storedWidth = st->codecpar->width;
    storedHeight = st->codecpar->height;
    orientation = orientationOf(st);
    std::optional<FrameIndex> fromPacketStamps = FrameIndex::fromPackets(session);
    failIfInterrupted();
    fromPackets = fromPacketStamps.has_value();
    session.open();
    if (fromPackets) {
        index = std::move(*fromPacketStamps);
        return;
    }
    index = indexByDecoding();
    session.open();
}

// The count is then what a full decode yields by construction, and frames
// are told apart by timestamps when those are present and increasing, by
// their rank otherwise.
FrameIndex FrameReader::Impl::indexByDecoding()
{
    std::vector<std::int64_t> found;
    std::vector<int> keys;
    session.start(SessionStart::FromStart);
    AVFrame *frame = session.frame();
    while (session.nextFrame()) {
        if (frame->key_frame)
            keys.push_back(static_cast<int>(found.size()));
        found.push_back(frame->best_effort_timestamp);
        av_frame_unref(frame);
        if (found.size() > static_cast<std::size_t>(kMaxFrames))
            session.fail(ReaderErrorKind::NotSupported, "more than " + std::to_string(kMaxFrames) + " frames");
    }
    failIfInterrupted();
    if (found.empty())
        session.fail(ReaderErrorKind::DecodeFailed, "no frame could be decoded");
    return FrameIndex::fromDecodedFrames(std::move(found), std::move(keys));
}

void FrameReader::Impl::computeRate()
{
    const AVStream *st = session.videoStream();
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        fps = av_q2d(rate);
    const int frames = index.count();
    if (index.timesFromStamps() && frames > 1) {
        const double spanSeconds = index.ticksFromFirst(frames - 1) * av_q2d(timeBase);
        if (spanSeconds > 0 && (fps <= 0 || !std::isfinite(fps)))
            fps = (frames - 1) / spanSeconds;
    }
    if (fps <= 0 || !std::isfinite(fps))
        fps = 25.0;
}

int FrameReader::Impl::identify(const AVFrame *decoded)
{
    SessionState &state = session.state();
    if (index.byOrdinal())
        return state.ordinal++;
    const std::int64_t stamp = decoded->best_effort_timestamp;
    // Once a session is anchored, frames come out in presentation order.
    if (stamp == AV_NOPTS_VALUE)
        return state.trusted && state.lastAccepted >= 0 && state.lastAccepted + 1 < index.count()
                   ? state.lastAccepted + 1
                   : -1;
    return index.frameWithStamp(stamp);
}

// Decodes on from the current session until `target` is cached. Frames are
// accepted only from the first keyframe output after a seek: leading frames
// of an open GOP come out before it and reference pictures never decoded.
bool FrameReader::Impl::decodeForwardTo(int target)
{
    SessionState &state = session.state();
    AVFrame *frame = session.frame();
    while (true) {
        // Between two frames: the session goes on from here next time.
        if (stop && *stop)
            throw Interrupted();
        if (decodingStoppedForGood())
            return false;
        if (!session.nextFrame())
            break;
        const int found = identify(frame);
        if (!state.trusted && found >= 0 && frame->key_frame) {
            state.trusted = true;
            state.trustFrom = found;
        }
        const bool known = found >= 0;
        if (state.trusted && !fromPackets && !index.byOrdinal()
            && (!known || (state.lastAccepted >= 0 && found != state.lastAccepted + 1))) {
            av_frame_unref(frame);
            switchToOrdinal();
            return false;
        }
        if (!state.trusted || !known || found < state.trustFrom) {
            av_frame_unref(frame);
            continue;
        }
        cache.insert(found, frame);
        av_frame_unref(frame);
        state.lastAccepted = found;
        if (found >= target)
            return found == target;
    }
    return false;
}

// Timestamps of a file indexed by decoding did not come back the same after a
// seek: from now on frames are told apart by their rank from the start only.
void FrameReader::Impl::switchToOrdinal()
{
    index.tellApartByOrdinal();
    cache.clear();
    session.stop();
}

bool FrameReader::Impl::seekToKeyframe(int keyPosition)
{
    return session.seek(index.stamp(index.keyframe(keyPosition)));
}

// The slow path that cannot land wrong: a fresh demuxer and decoder, exactly
// as the index was built.
bool FrameReader::Impl::decodeFromStart(int target)
{
    session.open();
    session.start(SessionStart::FromStart);
    return decodeForwardTo(target);
}

const AVFrame *FrameReader::Impl::decodedFrame(int wanted)
{
    if (const AVFrame *cached = cache.find(wanted))
        return cached;
    const SessionState &state = session.state();
    if (!index.byOrdinal()) {
        int keyPosition = index.keyPositionAtOrBefore(wanted);
        const bool pastItsKeyframe = keyPosition >= 0 && index.keyframe(keyPosition) <= state.lastAccepted;
        constexpr int kShortHop = 16;
        if (state.live && state.trusted && state.lastAccepted < wanted
            && (pastItsKeyframe || wanted - state.lastAccepted <= kShortHop) && decodeForwardTo(wanted))
            return cache.find(wanted);

        // A seek may land late (open-GOP leading frames, MPEG-PS/TS
        // timestamp seeks): each miss retries one keyframe earlier.
        constexpr int kSeekAttempts = 3;
        for (int attempt = 0; attempt < kSeekAttempts && keyPosition >= 0 && !index.byOrdinal();
             ++attempt, --keyPosition) {
            if (seekToKeyframe(keyPosition) && decodeForwardTo(wanted))
                return cache.find(wanted);
        }
    } else if (state.live && state.lastAccepted < wanted && decodeForwardTo(wanted)) {
        return cache.find(wanted);
    }
    if (decodeFromStart(wanted))
        return cache.find(wanted);
    session.fail(ReaderErrorKind::DecodeFailed, "frame " + std::to_string(wanted) + " could not be decoded");
}

int FrameReader::Impl::keyframeAtOrBefore(int frame) const
{
    const int position = index.keyPositionAtOrBefore(frame);
    return position < 0 ? 0 : index.keyframe(position);
}

bool FrameReader::Impl::allCached(int first, int last) const
{
    for (int frame = first; frame <= last; ++frame)
        if (!cache.contains(frame))
            return false;
    return true;
}

// Whole groups of pictures: one cut short would be decoded from its
// keyframe anyway and push nearer frames out of the cache. The groups a
// step back needs come first; the farther ones are then decoded farthest
// first, and the decoder goes back to the current group so that a step
// forward goes on from there.
void FrameReader::Impl::fillAround(int current, FillReach reach)
{
    const std::size_t frameBytes = cache.bytesOf(current);
    if (frameBytes == 0)
        return;
    // One frame of room for what the user asks next.
    const int room = static_cast<int>(std::min<std::size_t>(cache.budget() / frameBytes, kMaxFrames)) - 1;
    if (room < 1)
        return;
    const int last = std::min(current + 1, index.count() - 1);
    const std::vector<std::pair<int, int>> groups = groupsEndingAt(last, room);
    std::size_t nearCount = 1;
    while (nearCount < groups.size() && groups[nearCount - 1].first > current - 1)
        ++nearCount;
    // The frames kept become the most recent, so that others go first.
    const int first = groups.back().first;
    touch(first, last);
    for (std::size_t group = nearCount; group-- > 0;)
        decodeGroup(groups[group]);
    if (reach == FillReach::All) {
        bool moved = false;
        for (std::size_t group = groups.size(); group-- > nearCount;) {
            if (allCached(groups[group].first, groups[group].second))
                continue;
            decodeGroup(groups[group]);
            moved = true;
        }
        if (moved)
            resumeAfter(last);
    }
    touch(first, last);
}

// Nearest first, as many whole groups as `room` frames hold; the nearest
// is kept even when cut short.
std::vector<std::pair<int, int>> FrameReader::Impl::groupsEndingAt(int last, int room) const
{
    const int lowest = std::max(0, last - room + 1);
    std::vector<std::pair<int, int>> groups;
    int left = room;
    for (int end = last; end >= lowest && left > 0;) {
        const int key = index.byOrdinal() ? lowest : keyframeAtOrBefore(end);
        const int start = std::max(lowest, key);
        if (end != last && end - key + 1 > left)
            break;
        groups.emplace_back(start, end);
        left -= end - start + 1;
        end = start - 1;
    }
    return groups;
}

void FrameReader::Impl::decodeGroup(const std::pair<int, int> &group)
{
    if (allCached(group.first, group.second))
        return;
    for (int frame = group.first; frame <= group.second; ++frame)
        decodedFrame(frame);
}

// Decodes the frame's group again, already cached, only to leave the
// decoder just after the frame.
void FrameReader::Impl::resumeAfter(int frame)
{
    if (index.byOrdinal())
        return;
    const int keyPosition = index.keyPositionAtOrBefore(frame);
    if (keyPosition >= 0 && seekToKeyframe(keyPosition))
        decodeForwardTo(frame);
}

// Later frames become more recent than earlier ones.
void FrameReader::Impl::touch(int first, int last)
{
    for (int frame = first; frame <= last; ++frame)
        cache.find(frame);
}

// A converter from the decoded picture to `format` at the stored size,
// full range, reading the picture's own colour matrix and range.
SwsContext *FrameReader::Impl::converterTo(ScalerPtr &scaler, AVPixelFormat format, const AVFrame *decoded)
{
    SwsContext *context = sws_getCachedContext(scaler.release(), decoded->width, decoded->height,
                                               static_cast<AVPixelFormat>(decoded->format), storedWidth, storedHeight,
                                               format, SWS_BILINEAR, nullptr, nullptr, nullptr);
    scaler.reset(context);
    if (!context)
        session.fail(ReaderErrorKind::DecodeFailed, "cannot convert the frame's pixel format");
    const int stored = storedValue(decoded->colorspace);
    const bool known = stored >= 0 && stored < AVCOL_SPC_NB && stored != AVCOL_SPC_UNSPECIFIED;
    const int space = known ? stored : SWS_CS_DEFAULT;
    const int *coefficients = sws_getCoefficients(space);
    sws_setColorspaceDetails(context, coefficients, sourceRange(decoded), sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
    return context;
}

RgbImage FrameReader::Impl::toRgb(const AVFrame *decoded)
{
    SwsContext *context = converterTo(rgbScaler, AV_PIX_FMT_RGB24, decoded);
    if (orientation.isIdentity()) {
        RgbImage image;
        convert(context, decoded, 3, image);
        return image;
    }
    // Turned pictures convert into a picture kept between calls: a fresh
    // one of 4K size costs more in page faults than the turn itself.
    convert(context, decoded, 3, storedPicture);
    return orientation.apply(storedPicture);
}

GrayImage FrameReader::Impl::toGray(const AVFrame *decoded)
{
    const bool plainLuma = hasPlainLuma(decoded) && decoded->width == storedWidth && decoded->height == storedHeight;
    GrayImage image;
    GrayImage &stored = orientation.isIdentity() ? image : storedGray;
    if (plainLuma)
        copyLuma(decoded, stored);
    else
        convert(converterTo(grayScaler, AV_PIX_FMT_GRAY8, decoded), decoded, 1, stored);
    if (orientation.isIdentity())
        return image;
    return orientation.apply(storedGray);
}

// Grey levels are the luma plane through a table that brings its levels to
// 8-bit full range: a lookup per pixel, several times cheaper than the
// general converter.
void FrameReader::Impl::copyLuma(const AVFrame *decoded, GrayImage &image) const
{
    const int depth = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(decoded->format))->comp[0].depth;
    const std::vector<std::uint8_t> levels = lumaLevels(depth, sourceRange(decoded) == 1);
    image.width = storedWidth;
    image.height = storedHeight;
    image.pixels.resize(static_cast<std::size_t>(storedWidth) * storedHeight);
    for (int y = 0; y < storedHeight; ++y) {
        const std::uint8_t *row = decoded->data[0] + static_cast<std::ptrdiff_t>(y) * decoded->linesize[0];
        std::uint8_t *target = image.pixels.data() + static_cast<std::size_t>(y) * storedWidth;
        if (depth == 8) {
            for (int x = 0; x < storedWidth; ++x)
                target[x] = levels[row[x]];
        } else {
            const auto *wide = reinterpret_cast<const std::uint16_t *>(row);
            for (int x = 0; x < storedWidth; ++x)
                target[x] = levels[wide[x] & (levels.size() - 1)];
        }
    }
}

template <typename Image>
void FrameReader::Impl::convert(SwsContext *context, const AVFrame *decoded, int bytesPerPixel, Image &image) const
{
    image.width = storedWidth;
    image.height = storedHeight;
    // The converter's vector code writes whole blocks of pixels, past the
    // end of the last row when the width is not a multiple of the block.
    const std::size_t bytes = static_cast<std::size_t>(storedWidth) * storedHeight * bytesPerPixel;
    image.pixels.resize(bytes + kConversionSlack);
    std::uint8_t *planes[4] = {image.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {storedWidth * bytesPerPixel, 0, 0, 0};
    sws_scale(context, decoded->data, decoded->linesize, 0, decoded->height, planes, strides);
    image.pixels.resize(bytes);
}

FrameReader::FrameReader(const std::string &path, std::size_t cacheBudgetBytes, std::size_t decoderBudgetBytes)
        : m_impl(std::make_unique<Impl>(path, cacheBudgetBytes, decoderBudgetBytes))
{
    m_impl->session.checkRegularFile();
    // Damaged files make FFmpeg log per packet; failures reach callers as
    // typed errors instead, and command-line users get one line. Its
    // warnings go to the debug log when that is on.
    static std::once_flag setUp;
    std::call_once(setUp, [] {
        av_log_set_level(debugLogEnabled() ? AV_LOG_WARNING : AV_LOG_QUIET);
        av_log_set_callback(logFfmpegLine);
        av_max_alloc(kMaxBlockBytes);
    });
    m_impl->buildIndex();
    m_impl->computeRate();
}

FrameReader::~FrameReader() = default;

int FrameReader::frameCount() const { return m_impl->index.count(); }
int FrameReader::width() const { return m_impl->orientation.uprightWidth(m_impl->storedWidth, m_impl->storedHeight); }
int FrameReader::height() const { return m_impl->orientation.uprightHeight(m_impl->storedWidth, m_impl->storedHeight); }
double FrameReader::fps() const { return m_impl->fps; }
bool FrameReader::indexedFromPackets() const { return m_impl->fromPackets; }
std::size_t FrameReader::cacheBytes() const { return m_impl->cache.bytes(); }
std::size_t FrameReader::cachePeakBytes() const { return m_impl->cache.peakBytes(); }
std::size_t FrameReader::picturePeakBytes() const { return m_impl->pictures.peakBytes(); }

double FrameReader::frameTimeMs(int index) const
{
    if (index < 0 || index >= frameCount())
        return 0;
    if (!m_impl->index.timesFromStamps())
        return index * 1000.0 / m_impl->fps;
    return m_impl->index.ticksFromFirst(index) * av_q2d(m_impl->timeBase) * 1000.0;
}

std::int64_t FrameReader::durationMs() const
{
    if (frameCount() == 0)
        return 0;
    const double lastMs = frameTimeMs(frameCount() - 1);
    return std::llround(lastMs + 1000.0 / m_impl->fps);
}

void FrameReader::checkIndex(int index) const
{
    const int frames = frameCount();
    if (index < 0 || index >= frames)
        throw ReaderError(ReaderErrorKind::DecodeFailed, m_impl->session.path() + ": no frame " + std::to_string(index)
                                                             + " (the video has " + std::to_string(frames)
                                                             + " frames)");
}

RgbImage FrameReader::frameRgb(int index)
{
    checkIndex(index);
    return m_impl->toRgb(m_impl->decodedFrame(index));
}

GrayImage FrameReader::frameGray(int index)
{
    checkIndex(index);
    return m_impl->toGray(m_impl->decodedFrame(index));
}

void FrameReader::fillCacheAround(int index, FillReach reach, const std::atomic<bool> &stop)
{
    if (index < 0 || index >= frameCount())
        return;
    m_impl->stop = &stop;
    m_impl->session.interruptWhen(&stop);
    try {
        m_impl->fillAround(index, reach);
    } catch (const Interrupted &) {
        // The user wants a frame: the session stays where it stopped.
    } catch (const std::exception &error) {
        // A frame that fails here fails again, with its message, when asked for.
        logDebug("player", std::string("fill around frame ") + std::to_string(index) + ": " + error.what());
    }
    m_impl->stop = nullptr;
    m_impl->session.interruptWhen(nullptr);
    // A read cut short: the next request seeks, and so reopens the file.
    if (m_impl->session.wasInterrupted())
        m_impl->session.stop();
}

std::size_t FrameReader::cacheBudgetFor(std::uint64_t memoryBytes)
{
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(memoryBytes / 16, kCacheBudgetBytes, kMaxCacheBudgetBytes));
}

std::size_t FrameReader::machineCacheBudget()
{
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0)
        return kCacheBudgetBytes;
    return cacheBudgetFor(status.ullTotalPhys);
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return kCacheBudgetBytes;
    return cacheBudgetFor(static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize));
#endif
}

std::unique_ptr<FrameSource> openFrameSource(const std::string &path)
{
    return std::make_unique<FrameReader>(path, FrameReader::machineCacheBudget());
}

// A decoder reuses the buffers of pictures nobody holds; fresh ones cost
// page faults and zeroing, about a third of a single pass's time.
std::unique_ptr<FrameSource> openSinglePassFrameSource(const std::string &path)
{
    return std::make_unique<FrameReader>(path, FrameReader::kSinglePassCacheBytes);
}

} // namespace zorvane
