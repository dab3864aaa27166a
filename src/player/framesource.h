#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvane {

enum class ReaderErrorKind {
    CannotOpen,   // missing, unreadable, not a container FFmpeg can demux
    NotSupported, // no video stream, no decoder, or sizes beyond what we accept
    DecodeFailed, // the stream broke while decoding a frame that should exist
};

class ReaderError : public std::runtime_error {
public:
    ReaderError(ReaderErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    ReaderErrorKind kind() const noexcept { return m_kind; }

private:
    ReaderErrorKind m_kind;
};

// Tightly packed RGB24 rows, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Tightly packed 8-bit grey levels, full range, top row first.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Grey levels with the ITU-R BT.601 weights, those of video luma and of
// the tracker's own conversion of colour frames.
GrayImage grayOf(const RgbImage &image);

enum class FillReach { Near, All };

// Frames of one video, addressed by their index in presentation order.
// Every index from 0 to frameCount() - 1 yields exactly that frame,
// whatever the order of the requests.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int frameCount() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual double frameTimeMs(int index) const = 0;
    virtual RgbImage frameRgb(int index) = 0;
    // The same frame in grey levels. Sources that decode to luma give it
    // without going through colour, which costs more than the decode.
    virtual GrayImage frameGray(int index) { return grayOf(frameRgb(index)); }
    // Decodes into the source's own cache the frames that moving from
    // `index` needs: Near, those from the group holding the frame before it
    // to the one after it; All, then as many frames before those as the
    // cache holds, leaving the decoder after `index` so that a step forward
    // goes on from there. Returns soon after `stop` is set. A source without
    // a cache has nothing to do.
    virtual void fillCacheAround(int index, FillReach reach, const std::atomic<bool> &stop)
    {
        (void)index;
        (void)reach;
        (void)stop;
    }
};

// Makes every read, seek and open of every reader give up at once, for
// the rest of the process, so that a quit never waits for a decode. Safe
// in a signal handler.
void stopAllDecoding() noexcept;
bool decodingStoppedForGood() noexcept;

// Opens a file with the FFmpeg-based reader. Throws ReaderError.
std::unique_ptr<FrameSource> openFrameSource(const std::string &path);
// The same for reading each frame once, in order: it keeps only the few
// frames such a read needs.
std::unique_ptr<FrameSource> openSinglePassFrameSource(const std::string &path);

} // namespace zorvane
