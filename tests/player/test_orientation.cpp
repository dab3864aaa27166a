#include "player/orientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using zorvane::GrayImage;
using zorvane::Orientation;
using zorvane::RgbImage;

namespace {

constexpr std::int32_t kOne = 1 << 16;

Orientation fromMatrix(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    const std::int32_t matrix[9] = {a, b, 0, c, d, 0, 0, 0, 1 << 30};
    return Orientation::fromDisplayMatrix(matrix);
}

// Pixels named by letters, row by row, in the red channel.
RgbImage lettered(int width, int height, const std::string &letters)
{
    RgbImage image{width, height, {}};
    for (char letter : letters)
        image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(letter), 0, 0});
    return image;
}

std::string letters(const RgbImage &image)
{
    std::string text;
    for (std::size_t i = 0; i < image.pixels.size(); i += 3)
        text += static_cast<char>(image.pixels[i]);
    return text;
}

struct Case {
    const char *name;
    std::int32_t a, b, c, d;
    int width, height;
    const char *upright;
};

// The stored picture is   a b c
//                         d e f
TEST(Orientation, TurnsAndMirrorsAsTheDisplayMatrixSays)
{
    const Case cases[] = {
        {"as stored", kOne, 0, 0, kOne, 3, 2, "abcdef"},
        {"quarter turn clockwise", 0, kOne, -kOne, 0, 2, 3, "daebfc"},
        {"half turn", -kOne, 0, 0, -kOne, 3, 2, "fedcba"},
        {"quarter turn anticlockwise", 0, -kOne, kOne, 0, 2, 3, "cfbead"},
        {"mirrored left to right", -kOne, 0, 0, kOne, 3, 2, "cbafed"},
        {"mirrored top to bottom", kOne, 0, 0, -kOne, 3, 2, "defabc"},
        {"mirrored along the main diagonal", 0, kOne, kOne, 0, 2, 3, "adbecf"},
        {"mirrored along the other diagonal", 0, -kOne, -kOne, 0, 2, 3, "fcebda"},
        {"scaled quarter turn", 0, 2 * kOne, -2 * kOne, 0, 2, 3, "daebfc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Orientation orientation = fromMatrix(c.a, c.b, c.c, c.d);
        EXPECT_EQ(orientation.uprightWidth(3, 2), c.width);
        EXPECT_EQ(orientation.uprightHeight(3, 2), c.height);
        const RgbImage upright = orientation.apply(lettered(3, 2, "abcdef"));
        EXPECT_EQ(upright.width, c.width);
        EXPECT_EQ(upright.height, c.height);
        EXPECT_EQ(letters(upright), c.upright);
        const GrayImage grayUpright = orientation.apply(GrayImage{3, 2, {'a', 'b', 'c', 'd', 'e', 'f'}});
        EXPECT_EQ(grayUpright.width, c.width);
        EXPECT_EQ(grayUpright.height, c.height);
        EXPECT_EQ(std::string(grayUpright.pixels.begin(), grayUpright.pixels.end()), c.upright);
    }
}

TEST(Orientation, MatricesThatAreNotRightAngleMapsLeaveThePictureAsStored)
{
    const std::int32_t halfRoot2 = 46341; // cos 45 degrees in 16.16
    for (const Orientation &orientation : {fromMatrix(halfRoot2, halfRoot2, -halfRoot2, halfRoot2),
                                           fromMatrix(0, 0, 0, 0), fromMatrix(kOne, kOne, 0, kOne)}) {
        EXPECT_TRUE(orientation.isIdentity());
        EXPECT_EQ(letters(orientation.apply(lettered(3, 2, "abcdef"))), "abcdef");
    }
}

// Sizes that do not fill whole tiles, checked against the turn written
// out pixel by pixel: upright (x, y) is stored (y, height - 1 - x).
TEST(Orientation, QuarterTurnOfALargePictureMovesEveryPixel)
{
    const int width = 130;
    const int height = 70;
    RgbImage stored{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t *pixel = &stored.pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(y);
            pixel[2] = static_cast<std::uint8_t>(x ^ y);
        }
    const RgbImage upright = fromMatrix(0, kOne, -kOne, 0).apply(stored);
    ASSERT_EQ(upright.width, height);
    ASSERT_EQ(upright.height, width);
    int wrong = 0;
    for (int y = 0; y < upright.height; ++y)
        for (int x = 0; x < upright.width; ++x) {
            const std::uint8_t *pixel = &upright.pixels[(static_cast<std::size_t>(y) * upright.width + x) * 3];
            const int storedX = y;
            const int storedY = height - 1 - x;
            if (pixel[0] != storedX || pixel[1] != storedY || pixel[2] != (storedX ^ storedY))
                ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace
