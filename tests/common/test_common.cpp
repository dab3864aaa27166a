#include "common/rgbcolor.h"
#include "common/rounding.h"
#include "common/utf8path.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <limits>
#include <utility>

using namespace zorvane;

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbourInAnyRoundingMode)
{
    const std::pair<double, std::int32_t> cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {0.5, 0},
        {1.5, 2},
        {112.5, 112},
        {77.5, 78},
        {0.49999, 0},
        {0.50001, 1},
        {-0.7, -1},
        {2147483647.0, 2147483647},
        {-2147483648.5, -2147483648},
    };
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        for (const auto &[value, expected] : cases) {
            EXPECT_EQ(roundHalfEvenToInt32(value), expected) << value << " in mode " << mode;
            EXPECT_EQ(roundHalfEven(value), static_cast<double>(expected)) << value;
        }
    }
    std::fesetround(FE_TONEAREST);
}

TEST(RoundHalfEven, RefusesWhatNoInt32Holds)
{
    for (double value : {2147483647.5, 2147483648.0, -2147483649.0, 1e20, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(roundHalfEvenToInt32(value).has_value()) << value;
    EXPECT_EQ(roundHalfEven(1e300), 1e300) << "beyond 32 bits the double still rounds";
}

TEST(RgbColor, RedInTheLowestByteAndBack)
{
    EXPECT_EQ(rgbColor(0, 128, 0), 0x008000u);
    EXPECT_EQ(rgbColor(128, 255, 255), 0xFFFF80u);
    const Color c = rgbColor(1, 2, 3);
    EXPECT_EQ(c, 0x030201u);
    EXPECT_EQ(redOf(c), 1);
    EXPECT_EQ(greenOf(c), 2);
    EXPECT_EQ(blueOf(c), 3);
    EXPECT_EQ(blueOf(0xAB123456u), 0x12) << "the top byte is no part of the colour";
}

TEST(Utf8Path, KeepsTheBytesOfAccentedNames)
{
    const std::string name = "\xc3\xa9l\xc3\xa8ve/vid\xc3\xa9o 1.avi";
    const std::filesystem::path path = pathFromUtf8(name);
    const std::u8string text = path.u8string();
    EXPECT_EQ(std::string(text.begin(), text.end()), name);
    EXPECT_EQ(std::distance(path.begin(), path.end()), 2);
}
