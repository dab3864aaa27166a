#include "player/framereader.h"
#include "support/displaymatrix.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <string>

using namespace zorvane;
using zorvane::testing::displayMatrix;
using zorvane::testing::generateMedia;
using zorvane::testing::readDisplayMatrix;
using zorvane::testing::remuxWithDisplayMatrix;

namespace {

constexpr int kStoredWidth = 64;
constexpr int kStoredHeight = 48;
constexpr int kFrames = 5;

// Grey frames with a red square near the top-left corner and a blue one
// near the top-right, so that every turn and mirror puts them elsewhere.
std::filesystem::path markedSource()
{
    return generateMedia("orientation-marks.mp4", {"-f", "lavfi", "-i",
                                                   "color=c=0x808080:s=64x48:r=25,"
                                                   "drawbox=x=8:y=8:w=16:h=16:color=red:t=fill,"
                                                   "drawbox=x=40:y=8:w=16:h=16:color=blue:t=fill",
                                                   "-frames:v", std::to_string(kFrames), "-c:v", "libx264", "-preset",
                                                   "veryfast", "-g", "2", "-pix_fmt", "yuv420p"});
}

struct Point {
    int x;
    int y;
};

// Where the centres of the squares, stored at (16, 16) and (48, 16), stand
// in the upright picture.
struct Case {
    const char *name;
    const char *container;
    double degrees;
    bool mirrored;
    int width;
    int height;
    Point red;
    Point blue;
};

const Case kCases[] = {
    {"Mp4QuarterTurnClockwise", "mp4", 90, false, 48, 64, {31, 16}, {31, 48}},
    {"Mp4HalfTurn", "mp4", 180, false, 64, 48, {47, 31}, {15, 31}},
    {"Mp4QuarterTurnAnticlockwise", "mp4", 270, false, 48, 64, {16, 47}, {16, 15}},
    {"Mp4Mirrored", "mp4", 0, true, 64, 48, {47, 16}, {15, 16}},
    {"Mp4QuarterTurnMirrored", "mp4", 90, true, 48, 64, {16, 16}, {16, 48}},
    {"MovQuarterTurnClockwise", "mov", 90, false, 48, 64, {31, 16}, {31, 48}},
    {"MovQuarterTurnAnticlockwise", "mov", 270, false, 48, 64, {16, 47}, {16, 15}},
    {"MovMirrored", "mov", 0, true, 64, 48, {47, 16}, {15, 16}},
    {"MkvQuarterTurnClockwise", "mkv", 90, false, 48, 64, {31, 16}, {31, 48}},
    {"MkvHalfTurn", "mkv", 180, false, 64, 48, {47, 31}, {15, 31}},
};

enum class Colour { Red, Blue, Other };

Colour colourAt(const RgbImage &image, Point point)
{
    const std::uint8_t *pixel = &image.pixels[(static_cast<std::size_t>(point.y) * image.width + point.x) * 3];
    if (pixel[0] > 150 && pixel[1] < 80 && pixel[2] < 80)
        return Colour::Red;
    if (pixel[2] > 150 && pixel[0] < 80 && pixel[1] < 80)
        return Colour::Blue;
    return Colour::Other;
}

class ReaderOrientation : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderOrientation, PicturesComeOutUpright)
{
    const Case &c = GetParam();
    const std::filesystem::path file = remuxWithDisplayMatrix(
        markedSource(), zorvane::testing::mediaDir() / (std::string("orientation-") + c.name + "." + c.container),
        displayMatrix(c.degrees, c.mirrored));
    Case expected = c;
    // A muxer that drops the matrix leaves the picture as stored.
    if (!readDisplayMatrix(file)) {
        std::cout << c.container << " muxer keeps no display matrix: the picture stays as stored\n";
        expected = {c.name, c.container, 0, false, kStoredWidth, kStoredHeight, {16, 16}, {48, 16}};
    }
    FrameReader reader(file.string());
    ASSERT_EQ(reader.frameCount(), kFrames);
    EXPECT_EQ(reader.width(), expected.width);
    EXPECT_EQ(reader.height(), expected.height);
    for (int index : {kFrames - 1, 0, 2}) {
        SCOPED_TRACE("frame " + std::to_string(index));
        const RgbImage image = reader.frameRgb(index);
        ASSERT_EQ(image.width, expected.width);
        ASSERT_EQ(image.height, expected.height);
        ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height * 3);
        EXPECT_EQ(colourAt(image, expected.red), Colour::Red);
        EXPECT_EQ(colourAt(image, expected.blue), Colour::Blue);
        // The stored positions hold neither square unless a map keeps them.
        int reds = 0;
        int blues = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const Colour colour = colourAt(image, {x, y});
                reds += colour == Colour::Red;
                blues += colour == Colour::Blue;
            }
        EXPECT_NEAR(reds, 16 * 16, 40);
        EXPECT_NEAR(blues, 16 * 16, 40);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, ReaderOrientation, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
