#include "player/frameprefetcher.h"
#include "support/fakeframesource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace zorvane;
using zorvane::testing::FakeFrameSource;

namespace {

int indexOf(const std::optional<RgbImage> &image) { return image ? FakeFrameSource::indexOf(*image) : -1; }

} // namespace

TEST(FramePrefetcher, HandsOverEachFrameInOrder)
{
    FakeFrameSource source(10, 10.0);
    FramePrefetcher prefetcher(source, 2, 9, 3);
    for (int i = 2; i <= 9; ++i)
        EXPECT_EQ(indexOf(prefetcher.take(i)), i);
    EXPECT_FALSE(prefetcher.take(10).has_value()) << "beyond the range";
    EXPECT_FALSE(prefetcher.take(9).has_value()) << "already handed over";
}

TEST(FramePrefetcher, GreyFramesAreTheGreyOfTheColourOnes)
{
    FakeFrameSource source(10, 10.0, 4, 2);
    GrayFramePrefetcher prefetcher(source, 3, 9, 2);
    for (int i = 3; i <= 9; ++i) {
        const std::optional<GrayImage> gray = prefetcher.take(i);
        ASSERT_TRUE(gray.has_value());
        const auto [red, green, blue] = FakeFrameSource::colourOf(i);
        const double level = 0.299 * red + 0.587 * green + 0.114 * blue;
        ASSERT_EQ(gray->pixels.size(), 8u);
        for (std::uint8_t pixel : gray->pixels)
            ASSERT_NEAR(pixel, level, 0.5 + 1e-3) << "frame " << i;
    }
}

TEST(FramePrefetcher, StaysWithinItsDepth)
{
    FakeFrameSource source(100, 10.0);
    FramePrefetcher prefetcher(source, 0, 99, 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prefetcher.decodedCount(), 4);
    EXPECT_EQ(indexOf(prefetcher.take(0)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prefetcher.decodedCount(), 5);
}

TEST(FramePrefetcher, TakingALaterFrameDropsAndSkipsThePassedOnes)
{
    FakeFrameSource source(200, 10.0);
    FramePrefetcher prefetcher(source, 0, 199, 2);
    EXPECT_EQ(indexOf(prefetcher.take(150)), 150);
    EXPECT_LT(prefetcher.decodedCount(), 10) << "decoded the frames it was told to pass";
    EXPECT_EQ(indexOf(prefetcher.take(151)), 151);
    EXPECT_FALSE(prefetcher.take(3).has_value());
}

TEST(FramePrefetcher, AFrameThatFailsEndsTheRunThere)
{
    FakeFrameSource source(10, 10.0);
    source.failingFrame = 4;
    FramePrefetcher prefetcher(source, 0, 9, 8);
    EXPECT_EQ(indexOf(prefetcher.take(3)), 3);
    EXPECT_FALSE(prefetcher.take(4).has_value());
    EXPECT_FALSE(prefetcher.take(5).has_value());
}

TEST(FramePrefetcher, AFailureOfAPassedFrameDoesNotStopIt)
{
    FakeFrameSource source(10, 10.0);
    source.slowFrame = 1;
    source.failingFrame = 1;
    FramePrefetcher prefetcher(source, 1, 9, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(indexOf(prefetcher.take(2)), 2);
    EXPECT_EQ(indexOf(prefetcher.take(3)), 3);
}

TEST(FramePrefetcher, StopsWhileAFrameIsBeingDecoded)
{
    FakeFrameSource source(10, 10.0);
    source.slowFrame = 0;
    {
        FramePrefetcher prefetcher(source, 0, 9, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(source.calls, 1) << "kept decoding after it was stopped";
}
