#include "frameprefetcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace zorvane;

namespace {

// One-pixel frames whose red value is their index.
class CountingSource : public FrameSource {
public:
    explicit CountingSource(int frames) : m_frames(frames) {}
    int frameCount() const override { return m_frames; }
    int width() const override { return 1; }
    int height() const override { return 1; }
    double frameTimeMs(int index) const override { return index * 10.0; }
    RgbImage frameRgb(int index) override
    {
        if (index == slowFrame)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ++calls;
        if (index == failingFrame)
            throw ReaderError(ReaderErrorKind::DecodeFailed, "broken frame");
        return {1, 1, {static_cast<std::uint8_t>(index), 0, 0}};
    }

    std::atomic<int> calls = 0;
    int failingFrame = -1;
    int slowFrame = -1;

private:
    int m_frames;
};

int indexOf(const std::optional<RgbImage> &image) { return image ? image->pixels.at(0) : -1; }

} // namespace

TEST(FramePrefetcher, HandsOverEachFrameInOrder)
{
    CountingSource source(10);
    FramePrefetcher prefetcher(source, 2, 9, 3);
    for (int i = 2; i <= 9; ++i)
        EXPECT_EQ(indexOf(prefetcher.take(i)), i);
    EXPECT_FALSE(prefetcher.take(10).has_value()) << "beyond the range";
    EXPECT_FALSE(prefetcher.take(9).has_value()) << "already handed over";
}

TEST(FramePrefetcher, StaysWithinItsDepth)
{
    CountingSource source(100);
    FramePrefetcher prefetcher(source, 0, 99, 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prefetcher.decodedCount(), 4);
    EXPECT_EQ(indexOf(prefetcher.take(0)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prefetcher.decodedCount(), 5);
}

TEST(FramePrefetcher, TakingALaterFrameDropsAndSkipsThePassedOnes)
{
    CountingSource source(200);
    FramePrefetcher prefetcher(source, 0, 199, 2);
    EXPECT_EQ(indexOf(prefetcher.take(150)), 150);
    EXPECT_LT(prefetcher.decodedCount(), 10) << "decoded the frames it was told to pass";
    EXPECT_EQ(indexOf(prefetcher.take(151)), 151);
    EXPECT_FALSE(prefetcher.take(3).has_value());
}

TEST(FramePrefetcher, AFrameThatFailsEndsTheRunThere)
{
    CountingSource source(10);
    source.failingFrame = 4;
    FramePrefetcher prefetcher(source, 0, 9, 8);
    EXPECT_EQ(indexOf(prefetcher.take(3)), 3);
    EXPECT_FALSE(prefetcher.take(4).has_value());
    EXPECT_FALSE(prefetcher.take(5).has_value());
}

TEST(FramePrefetcher, AFailureOfAPassedFrameDoesNotStopIt)
{
    CountingSource source(10);
    source.slowFrame = 1;
    source.failingFrame = 1;
    FramePrefetcher prefetcher(source, 1, 9, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(indexOf(prefetcher.take(2)), 2);
    EXPECT_EQ(indexOf(prefetcher.take(3)), 3);
}

TEST(FramePrefetcher, StopsWhileAFrameIsBeingDecoded)
{
    CountingSource source(10);
    source.slowFrame = 0;
    {
        FramePrefetcher prefetcher(source, 0, 9, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(source.calls, 1) << "kept decoding after it was stopped";
}
