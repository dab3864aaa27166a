#pragma once

#include "framesource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zorvane {

// Frame-exact reader on libavformat/libavcodec. Frame n is the n-th frame a
// full decode of the file yields, counted in presentation order. Decoded
// frames stay in an LRU cache (in the decoder's own pixel format) so that
// stepping back costs one group of pictures, then cache hits.
class FrameReader : public FrameSource {
public:
    static constexpr std::size_t kCacheBudgetBytes = std::size_t{256} << 20;
    static constexpr int kMaxDimension = 16384;
    static constexpr std::int64_t kMaxPixels = std::int64_t{8192} * 8192;
    static constexpr int kMaxFrames = 10'000'000;
    static constexpr int kDecoderThreads = 2;

    // Throws ReaderError.
    explicit FrameReader(const std::string &path, std::size_t cacheBudgetBytes = kCacheBudgetBytes);
    ~FrameReader() override;
    FrameReader(const FrameReader &) = delete;
    FrameReader &operator=(const FrameReader &) = delete;

    int frameCount() const override;
    int width() const override;
    int height() const override;
    double frameTimeMs(int index) const override;
    RgbImage frameRgb(int index) override;

    double fps() const;
    std::int64_t durationMs() const;
    // True when the index came from the container's packets rather than a
    // decode of the whole file.
    bool indexedFromPackets() const;
    std::size_t cacheBytes() const;
    std::size_t cachePeakBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zorvane
