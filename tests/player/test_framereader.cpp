#include "player/framereader.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace zorvane;
using zorvane::testing::generateIndexedVideo;
using zorvane::testing::readFrameIndex;

namespace {

constexpr int kWidth = 192;
constexpr int kHeight = 128;
// Small enough that nearly every request has to seek and decode again.
constexpr std::size_t kTinyCache = 1;

struct Format {
    const char *name;
    const char *file;
    int frames;
    std::vector<std::string> encoderArgs;
};

std::vector<Format> formats()
{
    return {
        {"AviMjpeg", "mjpeg.avi", 60, {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}},
        {"AviRawBgr", "bgr24.avi", 40, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}},
        {"AviCinepak", "cinepak.avi", 40, {"-c:v", "cinepak"}},
        {"AviMpeg4BFrames", "mpeg4-bframes.avi", 120, {"-c:v", "mpeg4", "-bf", "2", "-g", "24", "-q:v", "3"}},
        {"MpegPsOpenGop", "mpeg2-open-gop.mpg", 150,
         {"-c:v", "mpeg2video", "-bf", "2", "-g", "15", "-q:v", "3", "-f", "vob"}},
        {"AsfWmv2", "wmv2.wmv", 100, {"-c:v", "wmv2", "-q:v", "3"}},
        {"Mp4H264Gop250", "h264-gop250.mp4", 300,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "250", "-keyint_min", "250", "-sc_threshold",
          "0", "-pix_fmt", "yuv420p"}},
        {"Mp4HevcX265Defaults", "hevc-x265.mp4", 300,
         {"-c:v", "libx265", "-x265-params", "log-level=error", "-pix_fmt", "yuv420p"}},
        {"MkvH264OpenGop", "h264-open-gop.mkv", 200,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-x264-params", "open-gop=1:keyint=50:min-keyint=50",
          "-pix_fmt", "yuv420p"}},
        {"MpegTsH264", "h264.ts", 200,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "50", "-pix_fmt", "yuv420p"}},
        {"MovH264", "h264.mov", 120,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30", "-pix_fmt", "yuv420p"}},
        {"WebmVp9", "vp9.webm", 150,
         {"-c:v", "libvpx-vp9", "-deadline", "good", "-cpu-used", "5", "-g", "60", "-auto-alt-ref", "1",
          "-lag-in-frames", "16", "-b:v", "400k"}},
        {"Mp4VariableRate", "h264-vfr.mp4", 100,
         {"-vf", "settb=1/1000,setpts=N*40+mod(N\\,7)*5", "-fps_mode", "passthrough", "-enc_time_base", "1:1000",
          "-video_track_timescale", "1000", "-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30", "-pix_fmt", "yuv420p"}},
    };
}

class FrameReaderFormats : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override
    {
        const Format &format = GetParam();
        m_file = generateIndexedVideo(format.file, format.frames, kWidth, kHeight, format.encoderArgs).string();
    }

    // Reads the frames in the given order and checks each one shows its index.
    static void expectExact(FrameReader &reader, const std::vector<int> &order)
    {
        int wrong = 0;
        for (int index : order) {
            const RgbImage image = reader.frameRgb(index);
            ASSERT_EQ(image.width, kWidth);
            ASSERT_EQ(image.height, kHeight);
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(kWidth * kHeight * 3));
            const int shown = readFrameIndex(image.pixels.data(), image.width, image.height);
            if (shown != index && ++wrong <= 5)
                ADD_FAILURE() << "asked for frame " << index << ", got " << shown;
        }
        EXPECT_EQ(wrong, 0);
    }

    std::string m_file;
};

std::vector<int> indices(int count)
{
    std::vector<int> all(static_cast<size_t>(count));
    std::iota(all.begin(), all.end(), 0);
    return all;
}

TEST_P(FrameReaderFormats, CountsWhatAFullDecodeYields)
{
    FrameReader reader(m_file);
    EXPECT_EQ(reader.frameCount(), zorvane::testing::ffprobeFrameCount(m_file));
    EXPECT_EQ(reader.frameCount(), GetParam().frames);
    EXPECT_EQ(reader.width(), kWidth);
    EXPECT_EQ(reader.height(), kHeight);
    EXPECT_DOUBLE_EQ(reader.frameTimeMs(0), 0.0);
    for (int i = 1; i < reader.frameCount(); ++i)
        ASSERT_GT(reader.frameTimeMs(i), reader.frameTimeMs(i - 1)) << "frame " << i;
}

TEST_P(FrameReaderFormats, EveryFrameExactReadForward)
{
    FrameReader reader(m_file);
    ASSERT_EQ(reader.frameCount(), GetParam().frames);
    expectExact(reader, indices(reader.frameCount()));
}

TEST_P(FrameReaderFormats, EveryFrameExactReadBackward)
{
    FrameReader reader(m_file, kTinyCache);
    ASSERT_EQ(reader.frameCount(), GetParam().frames);
    std::vector<int> order = indices(reader.frameCount());
    std::reverse(order.begin(), order.end());
    expectExact(reader, order);
}

std::vector<int> shuffledIndices(int count)
{
    std::vector<int> order = indices(count);
    std::mt19937 generator(20261207);
    std::shuffle(order.begin(), order.end(), generator);
    return order;
}

TEST_P(FrameReaderFormats, EveryFrameExactInSeededRandomOrder)
{
    FrameReader reader(m_file, kTinyCache);
    ASSERT_EQ(reader.frameCount(), GetParam().frames);
    expectExact(reader, shuffledIndices(reader.frameCount()));
}

// With the cache on, frames decoded on the way to another one are served
// later: leading frames of an open GOP must never get in.
TEST_P(FrameReaderFormats, EveryFrameExactInSeededRandomOrderWithCache)
{
    FrameReader reader(m_file);
    ASSERT_EQ(reader.frameCount(), GetParam().frames);
    expectExact(reader, shuffledIndices(reader.frameCount()));
}

TEST_P(FrameReaderFormats, BackStepsAfterPlayingForwardComeFromTheCache)
{
    FrameReader reader(m_file);
    const int last = reader.frameCount() - 1;
    std::vector<int> order = indices(reader.frameCount());
    for (int i = last; i >= std::max(0, last - 30); --i)
        order.push_back(i);
    expectExact(reader, order);
    EXPECT_GT(reader.cachePeakBytes(), 0u);
    EXPECT_LE(reader.cachePeakBytes(), FrameReader::kCacheBudgetBytes);
}

INSTANTIATE_TEST_SUITE_P(Matrix, FrameReaderFormats, ::testing::ValuesIn(formats()),
                         [](const ::testing::TestParamInfo<Format> &info) { return std::string(info.param.name); });

TEST(FrameReaderTimes, VariableRateFramesKeepTheirOwnTimes)
{
    const Format vfr = formats().back();
    const std::string file = generateIndexedVideo(vfr.file, vfr.frames, kWidth, kHeight, vfr.encoderArgs).string();
    FrameReader reader(file);
    ASSERT_EQ(reader.frameCount(), vfr.frames);
    for (int i = 0; i < reader.frameCount(); ++i)
        EXPECT_NEAR(reader.frameTimeMs(i), i * 40 + (i % 7) * 5, 0.5) << "frame " << i;
}

TEST(FrameReaderTimes, ConstantRateReportsRateAndDuration)
{
    const Format mjpeg = formats().front();
    const std::string file = generateIndexedVideo(mjpeg.file, mjpeg.frames, kWidth, kHeight, mjpeg.encoderArgs).string();
    FrameReader reader(file);
    EXPECT_NEAR(reader.fps(), 25.0, 1e-6);
    EXPECT_EQ(reader.durationMs(), 60 * 40);
    EXPECT_NEAR(reader.frameTimeMs(59), 59 * 40, 0.5);
}

} // namespace
