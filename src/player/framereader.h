#pragma once

#include "player/framesource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zorvane {

// Frame-exact reader on libavformat/libavcodec. Frame n is the n-th frame a
// full decode of the file yields, counted in presentation order. Decoded
// frames stay in an LRU cache (in the decoder's own pixel format) so that
// stepping back costs one group of pictures, then cache hits. Sizes and
// pictures are upright: turned and mirrored as the container's display
// matrix says.
class FrameReader : public FrameSource {
public:
    // The cache takes a sixteenth of the machine's memory, within these
    // bounds; the least still holds 20 decoded 4K 8-bit pictures.
    static constexpr std::size_t kCacheBudgetBytes = std::size_t{256} << 20;
    static constexpr std::size_t kMaxCacheBudgetBytes = std::size_t{1} << 30;
    static std::size_t cacheBudgetFor(std::uint64_t memoryBytes);
    // The budget for this machine's memory.
    static std::size_t machineCacheBudget();
    // Enough for a reader that goes through the frames once.
    static constexpr std::size_t kSinglePassCacheBytes = std::size_t{32} << 20;
    // What the decoders may hold beyond the cache: their reference pictures
    // and the ones in flight on each thread (8K video needs about 460 MiB).
    static constexpr std::size_t kDecoderBudgetBytes = std::size_t{512} << 20;
    static constexpr int kMaxDimension = 16384;
    // 8K cinema, the largest picture cameras record.
    static constexpr std::int64_t kMaxPixels = std::int64_t{8192} * 4320;
    static constexpr int kMaxFrames = 10'000'000;
    // No single block FFmpeg allocates may be larger: a count in a container
    // header can otherwise ask for gigabytes. The largest block a real video
    // needs, a 16-bit RGBA picture of the largest size, is 270 MiB.
    static constexpr std::size_t kMaxBlockBytes = std::size_t{512} << 20;
    static constexpr int kDecoderThreads = 2;

    // Throws ReaderError. Decoded pictures, cached or held by the decoders,
    // never exceed the two budgets together: a picture beyond them is not
    // decoded, and asking for it fails with DecodeFailed.
    explicit FrameReader(const std::string &path, std::size_t cacheBudgetBytes = kCacheBudgetBytes,
                         std::size_t decoderBudgetBytes = kDecoderBudgetBytes);
    ~FrameReader() override;
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    int frameCount() const override;
    int width() const override;
    int height() const override;
    double frameTimeMs(int index) const override;
    RgbImage frameRgb(int index) override;
    GrayImage frameGray(int index) override;
    void fillCacheAround(int index, FillReach reach, const std::atomic<bool> &stop) override;

    double fps() const;
    std::int64_t durationMs() const;
    // True when the index came from the container's packets rather than a
    // decode of the whole file.
    bool indexedFromPackets() const;
    std::size_t cacheBytes() const;
    std::size_t cachePeakBytes() const;
    // Highest total of decoded pictures alive at once, cached or not.
    std::size_t picturePeakBytes() const;

private:
    struct Impl;

    void checkIndex(int index) const;

    std::unique_ptr<Impl> m_impl;
};

} // namespace zorvane
