// Files whose headers lie about their size, files larger than memory, and
// other hostile inputs: each must fail cleanly, within bounded memory.
#include "player/framereader.h"
#include "readeropening.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using namespace zorvane;
using zorvane::testing::errorKindOpening;
using zorvane::testing::generateIndexedVideo;
using zorvane::testing::mediaSubdir;
using zorvane::testing::readFileBytes;
using zorvane::testing::readFrameIndex;
using zorvane::testing::writeFileBytes;

namespace {

namespace fs = std::filesystem;

fs::path hostileDir() { return mediaSubdir("hostile"); }

// Overwrites the little-endian 32-bit field `offset` bytes into the data
// of the first chunk with this FourCC.
void patchChunkField(std::string &avi, const char *fourCC, std::size_t offset, std::uint32_t value)
{
    const std::size_t chunk = avi.find(fourCC);
    ASSERT_NE(chunk, std::string::npos) << fourCC;
    for (int i = 0; i < 4; ++i)
        avi[chunk + 8 + offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void expectExactFrames(const fs::path &file, int frames)
{
    FrameReader reader(file.string());
    ASSERT_EQ(reader.frameCount(), frames) << file;
    for (int index : {frames - 1, 0, frames / 2}) {
        const RgbImage image = reader.frameRgb(index);
        EXPECT_EQ(readFrameIndex(image.pixels.data(), image.width, image.height), index) << file;
    }
}

fs::path mjpegClip()
{
    return generateIndexedVideo("hostile-mjpeg.avi", 12, 192, 128,
                                {"-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj420p"});
}

TEST(ReaderHostileHeaders, FrameSizeOfSixtyThousandSquaredIsRefused)
{
    std::string avi =
        readFileBytes(generateIndexedVideo("hostile-raw.avi", 4, 192, 128, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}));
    patchChunkField(avi, "avih", 32, 60000); // dwWidth
    patchChunkField(avi, "avih", 36, 60000); // dwHeight
    patchChunkField(avi, "strf", 4, 60000);  // biWidth
    patchChunkField(avi, "strf", 8, 60000);  // biHeight
    std::string message;
    EXPECT_EQ(errorKindOpening(writeFileBytes(hostileDir() / "60000x60000.avi", avi), &message),
              ReaderErrorKind::NotSupported);
    EXPECT_NE(message.find("60000x60000"), std::string::npos) << message;
}

TEST(ReaderHostileHeaders, ClaimedFrameCountsAreIgnoredForTheRealOnes)
{
    for (const std::uint32_t claimed : {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0u}) {
        std::string avi = readFileBytes(mjpegClip());
        patchChunkField(avi, "avih", 16, claimed); // dwTotalFrames
        patchChunkField(avi, "strh", 32, claimed); // dwLength
        SCOPED_TRACE(claimed);
        expectExactFrames(writeFileBytes(hostileDir() / "claims-frames.avi", avi), 12);
    }
}

TEST(ReaderHostileSizes, SparseFileOfEightGibibytesEndsWhereItsVideoDoes)
{
    const fs::path sparse = hostileDir() / "sparse-tail.avi";
    fs::copy_file(mjpegClip(), sparse, fs::copy_options::overwrite_existing);
    fs::resize_file(sparse, std::uintmax_t{8} << 30); // zeros that take no disk
    expectExactFrames(sparse, 12);
    fs::remove(sparse);

    const fs::path zeros = hostileDir() / "sparse-zeros.avi";
    std::ofstream(zeros, std::ios::binary).close();
    fs::resize_file(zeros, std::uintmax_t{8} << 30);
    EXPECT_EQ(errorKindOpening(zeros), ReaderErrorKind::CannotOpen);
    fs::remove(zeros);
}

TEST(ReaderHostileSizes, RawVideoLargerThanTheResyncLimitReadsWhole)
{
    // 80 frames of 900 KiB: each packet is read in small steps, and the
    // whole file is larger than what may be skipped between packets.
    const fs::path raw =
        generateIndexedVideo("hostile-large-raw.avi", 80, 640, 480, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"});
    ASSERT_GT(fs::file_size(raw), std::uintmax_t{70} << 20);
    expectExactFrames(raw, 80);
}

TEST(ReaderHostileSizes, DecodersKeepToThePictureBudget)
{
    // Sixteen reference pictures held at once: within the default budget
    // every frame reads, within a budget of a few pictures the decoder is
    // refused its buffers and the reader fails rather than allocate more.
    const fs::path manyRefs = generateIndexedVideo(
        "hostile-refs16.mp4", 40, 640, 480,
        {"-c:v", "libx264", "-preset", "ultrafast", "-refs", "16", "-bf", "0", "-g", "40", "-pix_fmt", "yuv420p"});
    expectExactFrames(manyRefs, 40);

    constexpr std::size_t kTightBudget = std::size_t{2} << 20;
    FrameReader reader(manyRefs.string(), 1, kTightBudget);
    ASSERT_EQ(reader.frameCount(), 40);
    try {
        const RgbImage image = reader.frameRgb(39);
        ADD_FAILURE() << "frame 39 decoded with 16 references in " << kTightBudget << " bytes";
    } catch (const ReaderError &error) {
        EXPECT_EQ(error.kind(), ReaderErrorKind::DecodeFailed);
    }
    EXPECT_GT(reader.picturePeakBytes(), 0u);
    EXPECT_LE(reader.picturePeakBytes(), kTightBudget + 1);
    const RgbImage first = reader.frameRgb(0);
    EXPECT_EQ(readFrameIndex(first.pixels.data(), first.width, first.height), 0);
}

TEST(ReaderFuzzRegressions, ColourMatrixOutsideFFmpegsListStillConverts)
{
    // The decoder passes the bitstream's number through; it was read as an
    // enum value that does not exist.
    expectExactFrames(generateIndexedVideo("colorspace215.mpg", 6, 192, 128,
                                           {"-c:v", "mpeg2video", "-q:v", "2", "-colorspace", "215", "-f", "mpeg"}),
                      6);
}

TEST(ReaderFuzzRegressions, ChunkTableClaimingHundredsOfMegabytesIsRefused)
{
    // The chunk-offset table's count asked the MP4 demuxer for 754 MB in
    // one block before a single entry was read.
    std::string mp4 =
        readFileBytes(generateIndexedVideo("hostile-stco.mp4", 5, 192, 128, {"-c:v", "mpeg4", "-q:v", "3"}));
    const std::size_t table = mp4.find("stco");
    ASSERT_NE(table, std::string::npos);
    const std::uint32_t claimed = 0x059E2A53; // 94,251,603 entries of 8 bytes
    for (int i = 0; i < 4; ++i)
        mp4[table + 8 + static_cast<std::size_t>(i)] = static_cast<char>((claimed >> (8 * (3 - i))) & 0xFF);
    // Without the cap the block is only reserved, never touched, and the open
    // fails later at the end of the file; with it the block is refused.
    std::string message;
    EXPECT_EQ(errorKindOpening(writeFileBytes(hostileDir() / "stco-claims-754MB.mp4", mp4), &message),
              ReaderErrorKind::CannotOpen);
    EXPECT_NE(message.find("allocate"), std::string::npos) << message;
}

} // namespace
