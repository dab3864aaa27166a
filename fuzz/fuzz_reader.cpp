// Opens arbitrary bytes as a video, then reads a few frames, in colour or
// grey, in an order drawn from the input, including indices just outside
// the video, and fills the cache around one of them, near or far, with a
// cache that may hold less than two frames.
#include "player/framereader.h"
#include "scratchfile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

using namespace zorvane;

namespace {

// The player opens any file as AVI video; FFmpeg still looks at the
// content first, so the name mostly matters for formats without a
// signature.
constexpr std::array kNames{"input.avi", "input.mpg", "input.wmv", "input.mp4"};
constexpr int kFramesRead = 4;
// Smaller than the program's budgets: the same code paths, but the process
// stays within the fuzzer's memory limit with the sanitizers' own overhead.
constexpr std::size_t kCacheBudget = std::size_t{32} << 20;
constexpr std::size_t kDecoderBudget = std::size_t{64} << 20;
// Caches for one small frame, and for none.
constexpr std::array<std::size_t, 3> kCacheBudgets{kCacheBudget, std::size_t{64} << 10, 1};

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "reader invariant broken: %s\n", what);
    std::abort();
}

std::vector<int> requestOrder(int frameCount, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::vector<int> order;
    for (int i = 0; i < kFramesRead; ++i) {
        switch (random() % 4) {
        case 0: order.push_back(frameCount - 1); break;
        case 1: order.push_back(0); break;
        default: order.push_back(static_cast<int>(random() % static_cast<std::uint64_t>(frameCount)));
        }
    }
    order.push_back(random() % 2 ? frameCount : -1);
    return order;
}

template <typename Image>
void checkFrame(const FrameSource &source, const Image &image, std::size_t bytesPerPixel)
{
    if (image.width != source.width() || image.height != source.height())
        fail("a frame's size differs from the video's");
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * bytesPerPixel)
        fail("a frame's pixels do not fill its size");
}

// Colour or grey, as the seed's bit for this request says: the two take
// different paths from the decoded picture.
void readFrame(FrameSource &source, int index, bool gray)
{
    if (gray)
        checkFrame(source, source.frameGray(index), 1);
    else
        checkFrame(source, source.frameRgb(index), 3);
}

void readFrames(FrameSource &source, std::uint64_t seed)
{
    const int count = source.frameCount();
    int request = 0;
    for (const int index : requestOrder(count, seed)) {
        const bool inside = index >= 0 && index < count;
        if (!std::isfinite(source.frameTimeMs(index)))
            fail("a frame time is not a number");
        try {
            readFrame(source, index, (seed >> (32 + request++)) & 1);
            if (!inside)
                fail("a frame outside the video was returned");
        } catch (const ReaderError &error) {
            if (error.kind() != ReaderErrorKind::DecodeFailed)
                fail("reading a frame failed with an opening error");
        }
    }
}

// The background fill's planning, then a read that must still be exact
// in size wherever the fill left the decoder.
void fillAndRead(FrameSource &source, std::uint64_t seed)
{
    const int count = source.frameCount();
    const int around = static_cast<int>(seed % static_cast<std::uint64_t>(count));
    const std::atomic<bool> stop = false;
    source.fillCacheAround(around, (seed >> 20) & 1 ? FillReach::All : FillReach::Near, stop);
    try {
        readFrame(source, std::max(0, around - 1), (seed >> 21) & 1);
    } catch (const ReaderError &error) {
        if (error.kind() != ReaderErrorKind::DecodeFailed)
            fail("reading a frame after a fill failed with an opening error");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::uint64_t seed = fuzz::inputHash(data, size);
    const std::filesystem::path file = fuzz::ScratchFolder::instance().write(kNames[seed % kNames.size()], data, size);
    std::unique_ptr<FrameSource> source;
    try {
        source = std::make_unique<FrameReader>(file.string(), kCacheBudgets[(seed >> 4) % kCacheBudgets.size()],
                                               kDecoderBudget);
    } catch (const ReaderError &) {
        return 0;
    }
    if (source->frameCount() <= 0 || source->width() <= 0 || source->height() <= 0)
        fail("an opened video without frames or size");
    readFrames(*source, seed >> 8);
    fillAndRead(*source, seed >> 24);
    return 0;
}
