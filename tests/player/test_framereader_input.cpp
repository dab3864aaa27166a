#include "player/framereader.h"
#include "player/player.h"
#include "readeropening.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <random>

using namespace zorvane;
using zorvane::testing::errorKindOpening;
using zorvane::testing::generateIndexedVideo;
using zorvane::testing::generateMedia;
using zorvane::testing::mediaSubdir;
using zorvane::testing::readFileBytes;
using zorvane::testing::readFrameIndex;
using zorvane::testing::writeFileBytes;

namespace {

namespace fs = std::filesystem;

fs::path scratchDir() { return mediaSubdir("bad-input"); }

fs::path mjpegClip()
{
    return generateIndexedVideo("mjpeg.avi", 60, 192, 128, {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"});
}

// A damaged file may open with fewer frames or refuse; whatever it yields
// must be the frames it claims, and failures must be typed.
void expectTypedErrorOrExactFrames(const fs::path &file)
{
    std::unique_ptr<FrameReader> reader;
    try {
        reader = std::make_unique<FrameReader>(file.string());
    } catch (const ReaderError &) {
        SUCCEED();
        return;
    }
    ASSERT_GT(reader->frameCount(), 0);
    int exact = 0;
    for (int index = reader->frameCount() - 1; index >= 0; --index) {
        try {
            const RgbImage image = reader->frameRgb(index);
            ASSERT_EQ(readFrameIndex(image.pixels.data(), image.width, image.height), index);
            ++exact;
        } catch (const ReaderError &error) {
            EXPECT_EQ(error.kind(), ReaderErrorKind::DecodeFailed);
        }
    }
    EXPECT_GT(exact, 0);
}

TEST(FrameReaderBadInput, ZeroByteFileCannotBeOpened)
{
    EXPECT_EQ(errorKindOpening(writeFileBytes(scratchDir() / "empty.avi", "")), ReaderErrorKind::CannotOpen);
}

TEST(FrameReaderBadInput, RandomBytesNamedAviAreRefused)
{
    std::mt19937 generator(7);
    std::string noise(64 * 1024, '\0');
    for (char &byte : noise)
        byte = static_cast<char>(generator() & 0xff);
    const ReaderErrorKind kind = errorKindOpening(writeFileBytes(scratchDir() / "noise.avi", noise));
    EXPECT_TRUE(kind == ReaderErrorKind::CannotOpen || kind == ReaderErrorKind::NotSupported);
}

TEST(FrameReaderBadInput, AudioOnlyFileHasNoVideo)
{
    const fs::path file = generateMedia("tone.wav", {"-f", "lavfi", "-i", "sine=frequency=440:duration=1"});
    EXPECT_EQ(errorKindOpening(file), ReaderErrorKind::NotSupported);
}

TEST(FrameReaderBadInput, FoldersDevicesPipesAndMissingPathsCannotBeOpened)
{
    EXPECT_EQ(errorKindOpening(scratchDir()), ReaderErrorKind::CannotOpen);
    EXPECT_EQ(errorKindOpening(scratchDir() / "no-such-file.avi"), ReaderErrorKind::CannotOpen);
    // Endless sources: reading them would never finish.
    EXPECT_EQ(errorKindOpening("/dev/zero"), ReaderErrorKind::CannotOpen);
    const fs::path fifo = scratchDir() / "fifo.avi";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorKindOpening(fifo), ReaderErrorKind::CannotOpen);
}

TEST(FrameReaderBadInput, NamesThatLookLikeProtocolsAreFileNames)
{
    const fs::path name = "cache:zorvane-clip.avi";
    fs::copy_file(mjpegClip(), name, fs::copy_options::overwrite_existing);
    try {
        FrameReader reader(name.string());
        EXPECT_EQ(reader.frameCount(), 60);
    } catch (const ReaderError &error) {
        ADD_FAILURE() << error.what();
    }
    fs::remove(name);
}

TEST(FrameReaderBadInput, AbsurdFrameSizesAreRefused)
{
    // One side too long, then both sides allowed but the area too large.
    for (const char *size : {"W20000 H100", "W12000 H12000"}) {
        std::string header = std::string("YUV4MPEG2 ") + size + " F25:1 Ip A1:1 C420jpeg\nFRAME\n";
        header.append(4096, '\x80');
        EXPECT_EQ(errorKindOpening(writeFileBytes(scratchDir() / "huge.y4m", header)), ReaderErrorKind::NotSupported)
            << size;
    }
}

TEST(FrameReaderBadInput, TruncatedFilesGiveTypedErrorsOrTheirRemainingFrames)
{
    const std::string avi = readFileBytes(mjpegClip());
    expectTypedErrorOrExactFrames(writeFileBytes(scratchDir() / "truncated.avi", avi.substr(0, avi.size() / 2)));

    const std::string mp4 =
        readFileBytes(generateIndexedVideo("h264-faststart.mp4", 120, 192, 128,
                                           {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30",
                                            "-pix_fmt", "yuv420p", "-movflags", "+faststart"}));
    expectTypedErrorOrExactFrames(
        writeFileBytes(scratchDir() / "truncated-faststart.mp4", mp4.substr(0, mp4.size() * 3 / 5)));

    // Without faststart the index sits at the end and is lost.
    const std::string tail =
        readFileBytes(generateIndexedVideo("h264-gop250.mp4", 300, 192, 128,
                                           {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "250",
                                            "-keyint_min", "250", "-sc_threshold", "0", "-pix_fmt", "yuv420p"}));
    EXPECT_EQ(errorKindOpening(writeFileBytes(scratchDir() / "truncated.mp4", tail.substr(0, tail.size() / 2))),
              ReaderErrorKind::CannotOpen);
}

TEST(FrameReaderBadInput, NonAsciiPathsOpen)
{
    const fs::path folder = scratchDir() / "é日本";
    fs::create_directories(folder);
    const fs::path file = folder / "vidéo 日本.avi";
    fs::copy_file(mjpegClip(), file, fs::copy_options::overwrite_existing);
    FrameReader reader(file.string());
    ASSERT_EQ(reader.frameCount(), 60);
    const RgbImage image = reader.frameRgb(42);
    EXPECT_EQ(readFrameIndex(image.pixels.data(), image.width, image.height), 42);
}

TEST(FrameReaderBadInput, FramesOutsideTheVideoAreRefused)
{
    FrameReader reader(mjpegClip().string());
    for (int index : {-1, 60, 1 << 30}) {
        try {
            reader.frameRgb(index);
            ADD_FAILURE() << "frame " << index << " was returned";
        } catch (const ReaderError &error) {
            EXPECT_EQ(error.kind(), ReaderErrorKind::DecodeFailed);
        }
    }
}

TEST(FrameReaderBadInput, FileRemovedWhileOpenGivesTypedErrorsOrExactFrames)
{
    const fs::path source =
        generateIndexedVideo("h264.ts", 200, 192, 128,
                             {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "50", "-pix_fmt", "yuv420p"});
    const fs::path file = scratchDir() / "vanishing.ts";
    fs::copy_file(source, file, fs::copy_options::overwrite_existing);
    FrameReader reader(file.string(), 1);
    fs::remove(file);
    int typedErrors = 0;
    for (int index : {0, 150, 3, 199, 0}) {
        try {
            const RgbImage image = reader.frameRgb(index);
            EXPECT_EQ(readFrameIndex(image.pixels.data(), image.width, image.height), index);
        } catch (const ReaderError &) {
            ++typedErrors;
        }
    }
    // Frame 0 of this file needs a fresh open, which must now fail.
    EXPECT_GT(typedErrors, 0);
}

TEST(FrameReaderCache, StaysWithinItsBudgetAndStillServesExactFrames)
{
    constexpr std::size_t kBudget = 256 * 1024;
    FrameReader reader(mjpegClip().string(), kBudget);
    for (int index = 0; index < reader.frameCount(); ++index)
        reader.frameRgb(index);
    EXPECT_LE(reader.cachePeakBytes(), kBudget);
    EXPECT_LE(reader.cacheBytes(), kBudget);
    // Several frames fit: the budget limits the cache, it does not disable it.
    EXPECT_GT(reader.cacheBytes(), kBudget / 2);
    for (int index : {59, 58, 3, 30}) {
        const RgbImage image = reader.frameRgb(index);
        EXPECT_EQ(readFrameIndex(image.pixels.data(), image.width, image.height), index);
    }
}

TEST(PlayerOnFrameReader, LengthAndMovesFollowTheFile)
{
    Player player(openFrameSource);
    ASSERT_TRUE(player.open(mjpegClip().string()));
    EXPECT_EQ(player.length(), 60);
    ASSERT_TRUE(player.pictureSize().has_value());
    EXPECT_EQ(player.pictureSize()->width, 192);
    EXPECT_EQ(player.pictureSize()->height, 128);
    EXPECT_TRUE(player.step());
    EXPECT_EQ(player.position(), 1);

    EXPECT_FALSE(player.open((scratchDir() / "no-such-file.avi").string()));
    EXPECT_EQ(player.length(), 0);
    EXPECT_NE(player.lastError().find("no-such-file.avi"), std::string::npos);
}

} // namespace
