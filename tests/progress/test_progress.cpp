#include "progress/blendcolor.h"
#include "progress/progresspasses.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;

namespace {

constexpr float kBarWidth = 337;

void expectColor(Color actual, int red, int green, int blue)
{
    EXPECT_EQ(redOf(actual), red);
    EXPECT_EQ(greenOf(actual), green);
    EXPECT_EQ(blueOf(actual), blue);
    EXPECT_EQ(actual >> 24, 0u) << "top byte must be 0";
}

} // namespace

TEST(BlendColor, FractionOneAndAboveReturnsSecondColourWithAllBytes)
{
    const Color withTopByte = 0xAB123456;
    EXPECT_EQ(BlendColor(kProgressColorB, 1.0, withTopByte), withTopByte);
    EXPECT_EQ(BlendColor(0x00FFFFFF, 2.5, withTopByte), withTopByte);
    EXPECT_EQ(BlendColor(kProgressColorB, 1.0, kProgressColorA), kProgressColorA);
}

TEST(BlendColor, FractionZeroExchangesRedAndBlueOfSecondColour)
{
    expectColor(BlendColor(kProgressColorB, 0, rgbColor(10, 20, 30)), 30, 20, 10);
    expectColor(BlendColor(0x00FFFFFF, 0, kProgressColorA | 0xFF000000u), 0, 128, 0);
}

TEST(BlendColor, BarColoursAtHalfRoundTiesToEven)
{
    // 127.5 -> 128 (red), 191.5 -> 192 (green), 64 (blue).
    expectColor(BlendColor(kProgressColorB, 0.5, kProgressColorA), 128, 192, 64);
    // 64.5 -> 64 and 0.5 -> 0: ties go to the even neighbour, not up.
    expectColor(BlendColor(rgbColor(0, 1, 0), 0.5, rgbColor(129, 0, 0)), 0, 0, 64);
    // 2.5 -> 2 and 3.5 -> 4.
    expectColor(BlendColor(rgbColor(0, 0, 7), 0.5, rgbColor(0, 0, 0)), 4, 0, 0);
    expectColor(BlendColor(rgbColor(5, 0, 0), 0.5, rgbColor(0, 0, 0)), 0, 0, 2);
}

TEST(BlendColor, BarGradientApproachesLightYellowNotLightCyan)
{
    const Color nearEnd = BlendColor(kProgressColorB, 0.999, kProgressColorA);
    expectColor(nearEnd, 255, 255, 128);
    const Color quarter = BlendColor(kProgressColorB, 0.25, kProgressColorA);
    expectColor(quarter, 64, 160, 32); // 63.75, 159.75, 32
}

TEST(ProgressPasses, NothingOpenGivesOneDegeneratePassScaledToThousand)
{
    EXPECT_EQ(barLength(0), 1000);
    EXPECT_EQ(barLength(-1), -1);
    EXPECT_EQ(barLength(7), 7);
    const auto passes = progressPasses(0, 0, kBarWidth);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].right, 0.0f);
    expectColor(passes[0].color, 0, 128, 0);
    EXPECT_EQ(passRightPixel(passes[0].right, 0, 337), 0);
}

TEST(ProgressPasses, CountIsPositionOverStepPlusOne)
{
    // s = 15 L / W = 11.127... for L = 250 on the 337-pixel bar.
    const double step = 250 * 15.0 / 337;
    for (int position : {0, 1, 11, 12, 100, 200, 249}) {
        const auto passes = progressPasses(position, 250, kBarWidth);
        EXPECT_EQ(passes.size(), static_cast<std::size_t>(std::floor(position / step)) + 1) << position;
    }
    EXPECT_EQ(progressPasses(0, 250, kBarWidth).size(), 1u);
    expectColor(progressPasses(0, 250, kBarWidth)[0].color, 0, 128, 0);
}

TEST(ProgressPasses, RunFromCurrentFrameDownInStepsOfAboutFifteenPixels)
{
    const auto passes = progressPasses(100, 250, kBarWidth);
    ASSERT_GE(passes.size(), 2u);
    EXPECT_EQ(passes.front().right, 100.0f);
    for (std::size_t k = 1; k < passes.size(); ++k) {
        const float stepPixels = (passes[k - 1].right - passes[k].right) * kBarWidth / 250;
        EXPECT_NEAR(stepPixels, 15.0, 1e-3);
        EXPECT_GE(passes[k].right, 0.0f);
        // Leftward passes are greener: less red, less blue.
        EXPECT_LT(redOf(passes[k].color), redOf(passes[k - 1].color));
    }
    EXPECT_LT(passes.back().right, 250 * 15.0f / kBarWidth);
}

TEST(ProgressPasses, LastFrameDrawsFullBarInFirstColourThenNearYellow)
{
    const auto passes = progressPasses(250, 250, kBarWidth);
    ASSERT_EQ(passes.size(), 23u); // floor(337 / 15) + 1
    EXPECT_EQ(passes[0].right, 250.0f);
    expectColor(passes[0].color, 0, 128, 0);
    EXPECT_EQ(passRightPixel(passes[0].right, 250, 337), 336);
    // The next pass ends one step (15 pixels) left of the right edge.
    EXPECT_EQ(passRightPixel(passes[1].right, 250, 337), 322);
    // t = 238.87 / 250: red 255 t, green 128 (1 - t) + 255 t, blue 128 t.
    expectColor(passes[1].color, 244, 249, 122);
    EXPECT_LT(redOf(passes.back().color), 12);
}

TEST(ProgressPasses, PositionBeyondLengthPaintsTheWholeBarInFirstColour)
{
    const auto beyond = progressPasses(400, 250, kBarWidth);
    ASSERT_FALSE(beyond.empty());
    EXPECT_GE(beyond[0].right, 250.0f);
    expectColor(beyond[0].color, 0, 128, 0);
    EXPECT_EQ(passRightPixel(beyond[0].right, 250, 337), 336);
    for (std::size_t k = 1; k < beyond.size(); ++k)
        EXPECT_LT(beyond[k].right, 250.0f) << "only one pass may span the whole bar";

    // Far beyond the length the list stays short and the loop ends.
    const auto far = progressPasses(2'000'000'000, 10, kBarWidth);
    ASSERT_FALSE(far.empty());
    EXPECT_LT(far.size(), 100u);
    expectColor(far[0].color, 0, 128, 0);
}

TEST(ProgressPasses, NegativeLengthDrawsNothingInsteadOfLoopingForever)
{
    EXPECT_TRUE(progressPasses(5, -10, kBarWidth).empty());
}

TEST(ProgressPasses, UserUnitsMapOntoPixelColumns)
{
    EXPECT_EQ(passRightPixel(0, 250, 337), 0);
    EXPECT_EQ(passRightPixel(125, 250, 337), 169); // 168.5 rounds up
    EXPECT_EQ(passRightPixel(500, 0, 100), 50);
    EXPECT_EQ(passRightPixel(5000, 250, 337), 336);
    EXPECT_EQ(passRightPixel(1, 250, 0), -1);
}

TEST(ProgressTitle, ShowsPositionAndLengthAsPlainIntegers)
{
    EXPECT_EQ(progressTitle(12, 250), "Zorvane   12/250    par Brindel");
    EXPECT_EQ(progressTitle(0, 0), "Zorvane   0/0    par Brindel");
    EXPECT_EQ(progressTitle(-3, 2147483647), "Zorvane   -3/2147483647    par Brindel");
}
