#include "player/framereader.h"
#include "support/displaymatrix.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <thread>

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
    // Upright size; a turned file is stored on its side with a display
    // matrix, as phones record.
    int width = kWidth;
    int height = kHeight;
    const char *rate = "25";
    bool turned = false;
};

std::vector<Format> formats()
{
    return {
        {"AviMjpeg", "mjpeg.avi", 60, {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"}},
        {"AviRawBgr", "bgr24.avi", 40, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}},
        {"AviCinepak", "cinepak.avi", 40, {"-c:v", "cinepak"}},
        {"AviMpeg4BFrames", "mpeg4-bframes.avi", 120, {"-c:v", "mpeg4", "-bf", "2", "-g", "24", "-q:v", "3"}},
        {"MpegPsOpenGop",
         "mpeg2-open-gop.mpg",
         150,
         {"-c:v", "mpeg2video", "-bf", "2", "-g", "15", "-q:v", "3", "-f", "vob"}},
        {"AsfWmv2", "wmv2.wmv", 100, {"-c:v", "wmv2", "-q:v", "3"}},
        {"Mp4H264Gop250",
         "h264-gop250.mp4",
         300,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "250", "-keyint_min", "250", "-sc_threshold", "0",
          "-pix_fmt", "yuv420p"}},
        {"Mp4HevcX265Defaults",
         "hevc-x265.mp4",
         300,
         {"-c:v", "libx265", "-x265-params", "log-level=error", "-pix_fmt", "yuv420p"}},
        {"MkvH264OpenGop",
         "h264-open-gop.mkv",
         200,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-x264-params", "open-gop=1:keyint=50:min-keyint=50",
          "-pix_fmt", "yuv420p"}},
        {"MpegTsH264",
         "h264.ts",
         200,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "50", "-pix_fmt", "yuv420p"}},
        {"MovH264",
         "h264.mov",
         120,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30", "-pix_fmt", "yuv420p"}},
        {"WebmVp9",
         "vp9.webm",
         150,
         {"-c:v", "libvpx-vp9", "-deadline", "good", "-cpu-used", "5", "-g", "60", "-auto-alt-ref", "1",
          "-lag-in-frames", "16", "-b:v", "400k"}},
        {"Mp4VariableRate",
         "h264-vfr.mp4",
         100,
         {"-vf", "settb=1/1000,setpts=N*40+mod(N\\,7)*5", "-fps_mode", "passthrough", "-enc_time_base", "1:1000",
          "-video_track_timescale", "1000", "-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30",
          "-pix_fmt", "yuv420p"}},
    };
}

// Phone-like material: kept to a few frames, since large pictures decode
// slowly on a small machine.
std::vector<Format> phoneFormats()
{
    return {
        {"Mp4H264High1080p60BFramesTurned",
         "phone-h264-1080p60-turned.mp4",
         36,
         {"-c:v", "libx264", "-profile:v", "high", "-preset", "veryfast", "-bf", "3", "-g", "12", "-pix_fmt",
          "yuv420p"},
         1080,
         1920,
         "60",
         true},
        {"MovHevc10Bit4k",
         "phone-hevc10-4k.mov",
         10,
         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error:keyint=5:min-keyint=5",
          "-pix_fmt", "yuv420p10le", "-tag:v", "hvc1"},
         3840,
         2160,
         "30"},
        {"Mp4H264VariableRate720p",
         "phone-h264-vfr-720p.mp4",
         45,
         {"-vf", "settb=1/600,setpts=N*20+mod(N*7\\,5)*2", "-fps_mode", "passthrough", "-enc_time_base", "1:600",
          "-video_track_timescale", "600", "-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "15", "-pix_fmt",
          "yuv420p"},
         1280,
         720,
         "30"},
        {"Mp4H264240fps720p",
         "phone-h264-240fps-720p.mp4",
         48,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "24", "-pix_fmt", "yuv420p"},
         1280,
         720,
         "240"},
        {"Mp4H264Portrait1080x1920",
         "phone-h264-portrait.mp4",
         24,
         {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "12", "-pix_fmt", "yuv420p"},
         1080,
         1920,
         "30"},
    };
}

std::filesystem::path generate(const Format &format)
{
    if (format.turned)
        return zorvane::testing::generateTurnedIndexedVideo(format.file, format.frames, format.width, format.height,
                                                            format.encoderArgs, format.rate);
    return generateIndexedVideo(format.file, format.frames, format.width, format.height, format.encoderArgs,
                                format.rate);
}

class FrameReaderFormats : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override { m_file = generate(GetParam()).string(); }

    // Reads the frames in the given order and checks each one is upright
    // and shows its index.
    void expectExact(FrameReader &reader, const std::vector<int> &order) const
    {
        const int width = GetParam().width;
        const int height = GetParam().height;
        int wrong = 0;
        for (int index : order) {
            const RgbImage image = reader.frameRgb(index);
            ASSERT_EQ(image.width, width);
            ASSERT_EQ(image.height, height);
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(width) * height * 3);
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
    EXPECT_EQ(reader.width(), GetParam().width);
    EXPECT_EQ(reader.height(), GetParam().height);
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

// A fill after a jump leaves the frames before it, and the one after, in
// the cache: reading them adds nothing to it, and every frame is exact.
TEST_P(FrameReaderFormats, FillAroundAJumpCachesTheFramesBeforeIt)
{
    FrameReader reader(m_file);
    const int jump = reader.frameCount() * 2 / 3;
    const std::atomic<bool> stop = true;
    expectExact(reader, {jump});
    const std::size_t afterJump = reader.cacheBytes();
    reader.fillCacheAround(jump, FillReach::All, stop);
    EXPECT_EQ(reader.cacheBytes(), afterJump) << "a raised stop decodes nothing";
    expectExact(reader, {jump});

    // Stopped part-way, wherever that is, the reader goes on exact.
    std::atomic<bool> later = false;
    std::thread filling([&] { reader.fillCacheAround(jump, FillReach::All, later); });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    later = true;
    filling.join();
    expectExact(reader, {jump - 1, jump + 1, jump - 2});

    const std::atomic<bool> go = false;
    reader.fillCacheAround(jump, FillReach::All, go);
    const std::size_t filled = reader.cacheBytes();
    EXPECT_GE(filled, afterJump);
    std::vector<int> around{jump + 1};
    for (int i = jump - 1; i >= std::max(0, jump - 40); --i)
        around.push_back(i);
    expectExact(reader, around);
    EXPECT_EQ(reader.cacheBytes(), filled);
}

int grayFrameIndex(const GrayImage &gray)
{
    std::vector<std::uint8_t> asRgb;
    asRgb.reserve(gray.pixels.size() * 3);
    for (std::uint8_t level : gray.pixels)
        asRgb.insert(asRgb.end(), {level, level, level});
    return readFrameIndex(asRgb.data(), gray.width, gray.height);
}

// Grey pictures come from the luma plane when there is one, through the
// converter otherwise; either way they show the right frame, upright, with
// the grey levels of the colour picture.
TEST_P(FrameReaderFormats, EveryGreyFrameExactInSeededRandomOrder)
{
    FrameReader reader(m_file, kTinyCache);
    const int width = GetParam().width;
    const int height = GetParam().height;
    const std::vector<int> order = shuffledIndices(reader.frameCount());
    int wrong = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const GrayImage gray = reader.frameGray(order[i]);
        ASSERT_EQ(gray.width, width);
        ASSERT_EQ(gray.height, height);
        ASSERT_EQ(gray.pixels.size(), static_cast<std::size_t>(width) * height);
        const int shown = grayFrameIndex(gray);
        if (shown != order[i] && ++wrong <= 5)
            ADD_FAILURE() << "asked for grey frame " << order[i] << ", got " << shown;
        if (i < 3) {
            const GrayImage fromColour = grayOf(reader.frameRgb(order[i]));
            double sum = 0;
            int largest = 0;
            for (std::size_t p = 0; p < gray.pixels.size(); ++p) {
                const int difference = std::abs(gray.pixels[p] - fromColour.pixels[p]);
                sum += difference;
                largest = std::max(largest, difference);
            }
            // The colour path of 10-bit video runs about 1.3 levels darker
            // than the exact stretch of its luma.
            EXPECT_LE(sum / gray.pixels.size(), 1.5) << "frame " << order[i];
            EXPECT_LE(largest, 6) << "frame " << order[i];
        }
    }
    EXPECT_EQ(wrong, 0);
}

// One pass through 720p frames, far more of them than its cache holds:
// every frame exact, in colour and in grey, and the cache stays small.
TEST(FrameReaderSinglePass, ReadsEveryFrameOnceWithinItsSmallCache)
{
    const Format format = phoneFormats()[3];
    ASSERT_EQ(format.width, 1280);
    const std::unique_ptr<FrameSource> source = openSinglePassFrameSource(generate(format).string());
    const auto *reader = dynamic_cast<const FrameReader *>(source.get());
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(source->frameCount(), format.frames);
    for (int index = 0; index < source->frameCount(); ++index) {
        const RgbImage colour = source->frameRgb(index);
        ASSERT_EQ(readFrameIndex(colour.pixels.data(), colour.width, colour.height), index);
        ASSERT_EQ(grayFrameIndex(source->frameGray(index)), index);
    }
    const std::size_t frameBytes = std::size_t{1280} * 720 * 3 / 2;
    ASSERT_GT(format.frames * frameBytes, FrameReader::kSinglePassCacheBytes);
    EXPECT_GT(reader->cachePeakBytes(), 0u);
    EXPECT_LE(reader->cachePeakBytes(), FrameReader::kSinglePassCacheBytes);
}

// A cache too small for two frames leaves the fill nothing to do; the
// frames asked for afterwards are still exact.
TEST(FrameReaderCache, FillWithRoomForNoFrameDoesNothing)
{
    const Format format = formats()[6];
    FrameReader reader(generate(format).string(), kTinyCache);
    const std::atomic<bool> go = false;
    for (const int at : {0, 100, 250, format.frames - 1}) {
        ASSERT_EQ(readFrameIndex(reader.frameRgb(at).pixels.data(), kWidth, kHeight), at);
        reader.fillCacheAround(at, FillReach::All, go);
        const RgbImage before = reader.frameRgb(at - (at > 0));
        EXPECT_EQ(readFrameIndex(before.pixels.data(), kWidth, kHeight), at - (at > 0));
    }
}

// Paused on a key frame, the near fill caches the whole group before it,
// so that stepping back from there decodes nothing.
TEST(FrameReaderCache, NearFillOnAKeyFrameCachesTheGroupBefore)
{
    const Format format = formats()[6];
    FrameReader reader(generate(format).string());
    const int key = 250;
    ASSERT_EQ(readFrameIndex(reader.frameRgb(key).pixels.data(), kWidth, kHeight), key);
    const std::atomic<bool> go = false;
    reader.fillCacheAround(key, FillReach::Near, go);
    const std::size_t filled = reader.cacheBytes();
    for (const int frame : {key - 1, key - 2, 1, 0, key + 1})
        EXPECT_EQ(readFrameIndex(reader.frameRgb(frame).pixels.data(), kWidth, kHeight), frame);
    EXPECT_EQ(reader.cacheBytes(), filled);
}

TEST(FrameReaderCache, BudgetIsASixteenthOfTheMemoryWithinItsBounds)
{
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    EXPECT_EQ(FrameReader::cacheBudgetFor(1 * kGiB), FrameReader::kCacheBudgetBytes);
    EXPECT_EQ(FrameReader::cacheBudgetFor(4 * kGiB), FrameReader::kCacheBudgetBytes);
    EXPECT_EQ(FrameReader::cacheBudgetFor(8 * kGiB), std::size_t{512} << 20);
    EXPECT_EQ(FrameReader::cacheBudgetFor(64 * kGiB), FrameReader::kMaxCacheBudgetBytes);
    EXPECT_GE(FrameReader::machineCacheBudget(), FrameReader::kCacheBudgetBytes);
    // Twenty decoded 4K 8-bit pictures fit the smallest budget.
    EXPECT_GE(FrameReader::kCacheBudgetBytes, std::size_t{20} * 3840 * 2160 * 3 / 2);
}

std::string formatName(const ::testing::TestParamInfo<Format> &info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Matrix, FrameReaderFormats, ::testing::ValuesIn(formats()), formatName);
INSTANTIATE_TEST_SUITE_P(Phone, FrameReaderFormats, ::testing::ValuesIn(phoneFormats()), formatName);

// Phones write times on a 1/600 s clock with jitter: the reader's times
// are the ones ffprobe reads.
TEST(FrameReaderTimes, PhoneVariableRateTimesMatchFfprobe)
{
    const Format vfr = phoneFormats()[2];
    const std::filesystem::path file = generate(vfr);
    const std::vector<double> expected = zorvane::testing::ffprobeFrameTimesMs(file);
    FrameReader reader(file.string());
    ASSERT_EQ(static_cast<std::size_t>(reader.frameCount()), expected.size());
    for (int i = 0; i < reader.frameCount(); ++i)
        EXPECT_NEAR(reader.frameTimeMs(i), expected[static_cast<std::size_t>(i)], 0.001) << "frame " << i;
    EXPECT_NEAR(reader.frameTimeMs(1), 24 / 0.6, 0.001); // tick 24 of 1/600 s
}

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
    const std::string file =
        generateIndexedVideo(mjpeg.file, mjpeg.frames, kWidth, kHeight, mjpeg.encoderArgs).string();
    FrameReader reader(file);
    EXPECT_NEAR(reader.fps(), 25.0, 1e-6);
    EXPECT_EQ(reader.durationMs(), 60 * 40);
    EXPECT_NEAR(reader.frameTimeMs(59), 59 * 40, 0.5);
}

} // namespace
