#include "app/frameinterval.h"
#include "app/videoarea.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;

TEST(VideoAreaSize, FollowsTheClientAreaWithItsMargins)
{
    const VideoAreaSize start = videoAreaSize(349, 311, 56);
    EXPECT_EQ(start.width, 339);
    EXPECT_EQ(start.height, 250);
    const VideoAreaSize large = videoAreaSize(600, 500, 56);
    EXPECT_EQ(large.width, 590);
    EXPECT_EQ(large.height, 439);
}

TEST(VideoAreaSize, SkipsOnlyTheSideThatWouldBeNegative)
{
    const VideoAreaSize narrow = videoAreaSize(9, 300, 56);
    EXPECT_FALSE(narrow.width.has_value());
    EXPECT_EQ(narrow.height, 239);
    const VideoAreaSize flat = videoAreaSize(300, 60, 56);
    EXPECT_EQ(flat.width, 290);
    EXPECT_FALSE(flat.height.has_value());
    const VideoAreaSize edge = videoAreaSize(10, 61, 56);
    EXPECT_EQ(edge.width, 0);
    EXPECT_EQ(edge.height, 0);
}

TEST(FrameIntervalTip, SaysTheIntervalOrItsRangeInTheUsersSeparator)
{
    std::vector<double> ntsc;
    for (int i = 0; i < 300; ++i)
        ntsc.push_back(i * 1001.0 / 30.0);
    EXPECT_EQ(frameIntervalTip(ntsc, ","), "Intervalle des images de la vidéo : 33,367 ms");
    EXPECT_EQ(frameIntervalTip(ntsc, "."), "Intervalle des images de la vidéo : 33.367 ms");

    // A phone switching between 60 and 30 frames/s.
    const std::vector<double> variable{0.0, 16.6667, 33.3333, 66.7, 100.0333};
    EXPECT_EQ(frameIntervalTip(variable, ","), "Intervalle des images de la vidéo : de 16,667 à 33,367 ms");
}

TEST(FrameIntervalTip, SaysNothingWithoutTwoFrames)
{
    EXPECT_EQ(frameIntervalTip({}, ","), "");
    EXPECT_EQ(frameIntervalTip({12.5}, ","), "");
    EXPECT_EQ(frameIntervalTip({0.0, 40.0}, ","), "Intervalle des images de la vidéo : 40,000 ms");
}

TEST(FollowingScroll, KeepsThePointInTheMiddleHalfWithinTheScrollRange)
{
    // A 1280-pixel picture in a 339-pixel view at 1:1.
    EXPECT_EQ(followingScroll(940.5, 1.0, 0, 339, 941), 771);
    EXPECT_EQ(followingScroll(900.0, 1.0, 771, 339, 941), 771);
    EXPECT_EQ(followingScroll(10.0, 1.0, 771, 339, 941), 0);
    EXPECT_EQ(followingScroll(1279.0, 1.0, 0, 339, 941), 941);
    // Zoomed in twice: screen pixels are twice the video's.
    EXPECT_EQ(followingScroll(300.0, 2.0, 0, 400, 2160), 400);
    // A picture that fits has nothing to scroll.
    EXPECT_EQ(followingScroll(300.0, 0.5, 0, 339, 0), 0);
}

TEST(ConstantFrameInterval, IsTheMeanIntervalWhenEveryIntervalIsWithinAMillisecond)
{
    std::vector<double> ntsc;
    std::vector<double> wholeMilliseconds;
    for (int i = 0; i < 300; ++i) {
        ntsc.push_back(i * 1001.0 / 30.0);
        wholeMilliseconds.push_back(std::round(i * 1000.0 / 30.0));
    }
    EXPECT_EQ(stepFieldText(*constantFrameIntervalMs(ntsc), ","), "33,367");
    EXPECT_EQ(stepFieldText(*constantFrameIntervalMs(wholeMilliseconds), "."), "33.334");
    EXPECT_EQ(stepFieldText(*constantFrameIntervalMs({0.0, 40.0, 80.0}), ","), "40");
    EXPECT_EQ(stepFieldText(*constantFrameIntervalMs({0.0, 1000.0 / 60, 2000.0 / 60}), ","), "16,667");

    EXPECT_FALSE(constantFrameIntervalMs({0.0, 16.6667, 33.3333, 66.7, 100.0333}).has_value()) << "60 then 30 /s";
    EXPECT_FALSE(constantFrameIntervalMs({0.0, 40.0, 40.0, 120.0}).has_value());
    EXPECT_FALSE(constantFrameIntervalMs({12.5}).has_value());
    EXPECT_FALSE(constantFrameIntervalMs({0.0, NAN}).has_value());
}
