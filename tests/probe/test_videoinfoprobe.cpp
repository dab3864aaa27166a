#include "bytefile.h"
#include "probeerror.h"
#include "videoinfoprobe.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zorvane;
using zorvane::testing::ByteImage;
using zorvane::testing::ScratchDir;

namespace {

const std::string_view packStart("\x00\x00\x01\xBA", 4);
const std::string_view sequenceStart("\x00\x00\x01\xB3", 4);
const std::string_view asfGuidStart("\x30\x26\xB2\x75", 4);

// RIFF AVI in the usual layout, with only the fields the probe reads set.
ByteImage aviHeader(std::int32_t width, std::int32_t height, std::string_view formatCode)
{
    ByteImage image;
    image.put(0, "RIFF").putInt32(4, 4000).put(8, "AVI ").put(12, "LIST").put(20, "hdrl").put(24, "avih");
    image.putInt32(64, width).putInt32(68, height);
    image.put(88, "LIST").put(96, "strl").put(100, "strh").put(108, "vids").put(164, "strf");
    image.putInt32(176, width).putInt32(180, height).put(188, formatCode).putInt32(192, 230400);
    return image.padTo(400);
}

ByteImage mpegWithSequenceHeaderAt(std::size_t offset, std::string_view sizeBytes)
{
    return ByteImage().put(0, packStart).put(offset, sequenceStart).put(offset + 4, sizeBytes);
}

ByteImage asfHeader(std::int32_t headerSize)
{
    return ByteImage().put(0, asfGuidStart).putInt32(16, headerSize).padTo(600);
}

ByteImage &putAsfCandidate(ByteImage &image, std::size_t offset, std::int32_t width, std::int32_t height,
                           std::string_view code)
{
    return image.putInt32(offset - 12, width).putInt32(offset - 8, height).put(offset, code);
}

// A query that must not be asked: the headers already gave a size.
DisplayedSizeQuery mustNotAsk()
{
    return [] {
        ADD_FAILURE() << "displayed size asked although the headers gave one";
        return std::string("0 0 9 9");
    };
}

DisplayedSizeQuery replying(const std::string &reply, int *calls = nullptr)
{
    return [reply, calls] {
        if (calls)
            ++*calls;
        return reply;
    };
}

ProbeErrorKind failureOf(const std::string &path, const DisplayedSizeQuery &query = {})
{
    try {
        const VideoInfo info = ProbeVideoInfo(path, query);
        ADD_FAILURE() << path << " gave " << info.Codec << " " << info.Width << "x" << info.Height;
    } catch (const ProbeError &error) {
        EXPECT_FALSE(std::string(error.what()).empty());
        return error.kind();
    }
    return ProbeErrorKind::CannotOpen;
}

class VideoInfoProbe : public ::testing::Test {
protected:
    ScratchDir m_dir{"videoinfo"};
};

} // namespace

TEST_F(VideoInfoProbe, AviReadsMainHeaderSizeAndFormatCode)
{
    const std::string cvid = m_dir.write("clip.avi", aviHeader(320, 240, "cvid"));
    EXPECT_EQ(ProbeVideoInfo(cvid, mustNotAsk()), (VideoInfo{"cvid ", 320, 240, 0, 0}));

    // Uncompressed video has a format code of four NUL bytes.
    const std::string raw = m_dir.write("raw.avi", aviHeader(320, 240, std::string_view("\0\0\0\0", 4)));
    EXPECT_EQ(ProbeVideoInfo(raw, mustNotAsk()), (VideoInfo{"", 320, 240, 0, 0}));

    // The fifth byte read (biSizeImage) is replaced by a space; a NUL inside
    // the code cuts it.
    ByteImage cut = aviHeader(640, 480, std::string_view("ab\0d", 4));
    cut.put(192, "Z");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("cut.avi", cut), mustNotAsk()), (VideoInfo{"ab", 640, 480, 0, 0}));
}

TEST_F(VideoInfoProbe, AviReadsFixedOffsetsWhateverTheLayout)
{
    // The stream header's own size fields are not what counts: only 64, 68, 188.
    ByteImage image = aviHeader(320, 240, "MJPG");
    image.putInt32(176, 999).putInt32(180, 777).put(112, "XVID");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("a.avi", image), mustNotAsk()), (VideoInfo{"MJPG ", 320, 240, 0, 0}));

    // Width 1 with a large height is a size: no fallback.
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("tall.avi", aviHeader(1, 500, "DIB ")), mustNotAsk()),
              (VideoInfo{"DIB  ", 1, 500, 0, 0}));
}

TEST_F(VideoInfoProbe, AviWithoutSizeAsksForTheDisplayedSize)
{
    const std::string path = m_dir.write("zero.avi", aviHeader(0, 0, "MJPG"));
    EXPECT_EQ(ProbeVideoInfo(path), (VideoInfo{"MJPG ", 0, 0, 0, 0}));
    int calls = 0;
    EXPECT_EQ(ProbeVideoInfo(path, replying("", &calls)), (VideoInfo{"MJPG ", 0, 0, 0, 0}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ProbeVideoInfo(path, replying("0 0 640 480")), (VideoInfo{"MJPG ", 640, 480, 0, 0}));

    // Negative sizes count as below 2.
    const std::string negative = m_dir.write("negative.avi", aviHeader(-320, 1, "MJPG"));
    EXPECT_EQ(ProbeVideoInfo(negative, replying("0 0 320 240")), (VideoInfo{"MJPG ", 320, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, TruncatedAviReadsZeros)
{
    const std::string header = m_dir.write("header.avi", ByteImage().put(0, "RIFF").put(8, "AVI "));
    EXPECT_EQ(ProbeVideoInfo(header), (VideoInfo{"", 0, 0, 0, 0}));
    // The size survives even when the file ends before the format code.
    const std::string partial = m_dir.write("partial.avi", aviHeader(320, 240, "cvid").bytes().substr(0, 100));
    EXPECT_EQ(ProbeVideoInfo(partial, mustNotAsk()), (VideoInfo{"", 320, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, MpegReadsTheFirstSequenceHeader)
{
    ByteImage image = mpegWithSequenceHeaderAt(0x34, "\x16\x01\x20");
    image.put(0x200, sequenceStart).put(0x204, "\x2D\x02\x40"); // a later one is ignored
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("movie.mpg", image.padTo(0x300)), mustNotAsk()),
              (VideoInfo{"MPEG ", 352, 288, 0, 0}));
    const std::string d1 = m_dir.write("d1.mpg", mpegWithSequenceHeaderAt(100, "\x2D\x02\x40").padTo(200));
    EXPECT_EQ(ProbeVideoInfo(d1, mustNotAsk()), (VideoInfo{"MPEG ", 720, 576, 0, 0}));
}

TEST_F(VideoInfoProbe, MpegSearchStopsAfterOffset29999)
{
    const std::string last = m_dir.write("last.mpg", mpegWithSequenceHeaderAt(29999, "\x16\x01\x20").padTo(30100));
    EXPECT_EQ(ProbeVideoInfo(last, mustNotAsk()), (VideoInfo{"MPEG ", 352, 288, 0, 0}));

    const std::string beyond = m_dir.write("beyond.mpg", mpegWithSequenceHeaderAt(30000, "\x16\x01\x20").padTo(30100));
    EXPECT_EQ(ProbeVideoInfo(beyond, mustNotAsk()), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));

    const std::string none = m_dir.write("none.mpg", ByteImage().put(0, packStart).padTo(50000));
    EXPECT_EQ(ProbeVideoInfo(none, mustNotAsk()), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));
    const std::string tiny = m_dir.write("tiny.bin", ByteImage().put(0, packStart));
    EXPECT_EQ(ProbeVideoInfo(tiny, mustNotAsk()), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));
}

TEST_F(VideoInfoProbe, MpegSizeBytesPastTheEndReadAsZero)
{
    const std::string cut = m_dir.write("cut.mpg", mpegWithSequenceHeaderAt(40, ""));
    EXPECT_EQ(ProbeVideoInfo(cut), (VideoInfo{"MPEG ", 0, 0, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(cut, replying("0 0 352 240")), (VideoInfo{"MPEG ", 352, 240, 0, 0}));
    const std::string widest = m_dir.write("max.mpg", mpegWithSequenceHeaderAt(40, "\xFF\xFF\xFE"));
    EXPECT_EQ(ProbeVideoInfo(widest, mustNotAsk()), (VideoInfo{"MPEG ", 4095, 4094, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfTakesTheFirstCandidateWithAVideoAspect)
{
    ByteImage image = asfHeader(600);
    putAsfCandidate(image, 300, 320, 240, std::string_view("WMV3\0", 5));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("a.wmv", image), mustNotAsk()), (VideoInfo{"WMV3", 320, 240, 0, 0}));

    ByteImage fiveChars = asfHeader(600);
    putAsfCandidate(fiveChars, 300, 320, 240, "WMV3X");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("b.asf", fiveChars), mustNotAsk()), (VideoInfo{"WMV3X", 320, 240, 0, 0}));

    // A rejected candidate is passed over for a later accepted one.
    ByteImage twoCandidates = asfHeader(600);
    putAsfCandidate(twoCandidates, 250, 240, 240, "MP42");
    putAsfCandidate(twoCandidates, 400, 176, 144, std::string_view("MP43\0", 5));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("c.wmv", twoCandidates), mustNotAsk()), (VideoInfo{"MP43", 176, 144, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfCandidateLettersAreExact)
{
    ByteImage image = asfHeader(600);
    putAsfCandidate(image, 220, 320, 240, "wmv3"); // lower case is no candidate
    putAsfCandidate(image, 260, 320, 240, "WPX1"); // third letter wrong
    putAsfCandidate(image, 300, 640, 480, std::string_view("MM4\0", 4));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("letters.wmv", image), mustNotAsk()), (VideoInfo{"MM4", 640, 480, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfAspectBoundsAreStrict)
{
    struct Case {
        std::int32_t width;
        std::int32_t height;
        bool accepted;
    };
    const Case cases[] = {{176, 144, true},  {720, 576, true},  {640, 480, true},  {720, 480, true},
                          {1280, 720, true}, {300, 250, false}, {360, 200, false}, {240, 240, false},
                          {480, 240, false}, {-640, -480, true}, {-640, 480, false}};
    for (const Case &c : cases) {
        ByteImage image = asfHeader(600);
        putAsfCandidate(image, 300, c.width, c.height, std::string_view("WMV2\0", 5));
        const VideoInfo info = ProbeVideoInfo(m_dir.write("ratio.wmv", image));
        EXPECT_EQ(info, (VideoInfo{c.accepted ? "WMV2" : "", c.width, c.height, 0, 0}))
            << c.width << "x" << c.height;
    }
}

TEST_F(VideoInfoProbe, AsfKeepsTheLastRejectedCandidateSizes)
{
    ByteImage image = asfHeader(600);
    putAsfCandidate(image, 250, 480, 240, "WMV1");
    putAsfCandidate(image, 350, 240, 240, "WMV1");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("square.wmv", image), mustNotAsk()), (VideoInfo{"", 240, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfWithoutCandidateAsksForTheDisplayedSize)
{
    const std::string path = m_dir.write("none.wmv", asfHeader(600));
    EXPECT_EQ(ProbeVideoInfo(path), (VideoInfo{"", 0, 0, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(path, replying("0 0 320 240")), (VideoInfo{"", 320, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfScanEndsAtTheHeaderSize)
{
    // Offsets up to S - 1 are examined; the letters may run past it.
    ByteImage atEnd = asfHeader(401);
    putAsfCandidate(atEnd, 400, 320, 240, "WMV2");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("end.wmv", atEnd), mustNotAsk()), (VideoInfo{"WMV2", 320, 240, 0, 0}));

    ByteImage pastEnd = asfHeader(400);
    putAsfCandidate(pastEnd, 400, 320, 240, "WMV2");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("past.wmv", pastEnd)), (VideoInfo{"", 0, 0, 0, 0}));

    // Offset 192 is examined whatever S says, even negative.
    for (std::int32_t headerSize : {0, -5, static_cast<std::int32_t>(0x80000000)}) {
        ByteImage small = asfHeader(headerSize);
        putAsfCandidate(small, 192, 320, 240, "WMV1");
        putAsfCandidate(small, 300, 640, 480, "WMV2");
        EXPECT_EQ(ProbeVideoInfo(m_dir.write("small.wmv", small), mustNotAsk()), (VideoInfo{"WMV1", 320, 240, 0, 0}));
        ByteImage later = asfHeader(headerSize);
        putAsfCandidate(later, 300, 640, 480, "WMV2");
        EXPECT_EQ(ProbeVideoInfo(m_dir.write("later.wmv", later)), (VideoInfo{"", 0, 0, 0, 0})) << headerSize;
    }
}

TEST_F(VideoInfoProbe, AsfHugeHeaderSizeStopsAtEndOfFile)
{
    ByteImage image = asfHeader(2147483647);
    putAsfCandidate(image, 590, 240, 240, "WMV2");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("huge.wmv", image), mustNotAsk()), (VideoInfo{"", 240, 240, 0, 0}));
    const std::string headerOnly = m_dir.write("header.wmv", ByteImage().put(0, asfGuidStart).putInt32(16, 2147483647));
    EXPECT_EQ(ProbeVideoInfo(headerOnly), (VideoInfo{"", 0, 0, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfCandidateWithHeightZeroFails)
{
    ByteImage image = asfHeader(600);
    putAsfCandidate(image, 300, 320, 0, "WMV2");
    EXPECT_EQ(failureOf(m_dir.write("flat.wmv", image)), ProbeErrorKind::DivisionByZero);
    ByteImage zeros = asfHeader(600);
    putAsfCandidate(zeros, 300, 0, 0, "WMV2");
    EXPECT_EQ(failureOf(m_dir.write("zeros.wmv", zeros)), ProbeErrorKind::DivisionByZero);
}

TEST_F(VideoInfoProbe, LabelsForFilesWithoutReader)
{
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("clip.mov", "moov")), (VideoInfo{"QTMOV", 0, 0, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("clip2.mov", "moov"), replying("0 0 480 270")),
              (VideoInfo{"QTMOV", 480, 270, 0, 0}));
    for (const char *extension : {"mp3", "mp2", "mp1", "wav", "mid", "xmi", "rmi", "au", "voc", "wma"})
        EXPECT_EQ(ProbeVideoInfo(m_dir.write(std::string("track.") + extension, "data")), (VideoInfo{"AUDIO", 1, 1, 0, 0}))
            << extension;
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("song.bin", ByteImage().put(0, "RIFF").put(8, "WAVE").padTo(44))),
              (VideoInfo{"AUDIO", 1, 1, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("movie.avi", "not riff")), (VideoInfo{"?    ", 1, 1, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("real.rm", ByteImage().put(0, ".RMF").padTo(20))), (VideoInfo{"?    ", 1, 1, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("track.MP3", "data")), (VideoInfo{"?    ", 1, 1, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("empty.txt", "")), (VideoInfo{"?    ", 1, 1, 0, 0}));
    // 1 x 1 is below 2: the displayed size replaces it, the label stays.
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("song.mp3", "data"), replying("0 0 640 480")),
              (VideoInfo{"AUDIO", 640, 480, 0, 0}));
}

TEST_F(VideoInfoProbe, FallbackRepliesThroughTheProbe)
{
    const std::string path = m_dir.write("clip.mov", "moov");
    EXPECT_EQ(ProbeVideoInfo(path, replying("320 240")), (VideoInfo{"QTMOV", 320, 240, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(path, replying("    ")), (VideoInfo{"QTMOV", 0, 0, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(path, replying("7")), (VideoInfo{"QTMOV", 0, 0, 0, 0}));
    EXPECT_EQ(failureOf(path, replying("12")), ProbeErrorKind::BadFallbackReply);
    EXPECT_EQ(failureOf(path, replying("0 0 320 9999999999")), ProbeErrorKind::Overflow);
}

TEST_F(VideoInfoProbe, FailuresRaiseAndLeaveNoFileOpen)
{
    EXPECT_EQ(failureOf((m_dir.path() / "missing.avi").string()), ProbeErrorKind::CannotOpen);
    EXPECT_EQ(failureOf(m_dir.path().string()), ProbeErrorKind::CannotOpen);

    ByteImage image = asfHeader(600);
    putAsfCandidate(image, 300, 320, 0, "WMV2");
    const std::string flat = m_dir.write("flat.wmv", image);
    const std::string mov = m_dir.write("clip.mov", "moov");
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(failureOf(flat), ProbeErrorKind::DivisionByZero);
        EXPECT_EQ(failureOf(mov, replying("12")), ProbeErrorKind::BadFallbackReply);
    }
    EXPECT_EQ(openFiles(), before);
    // The same file opens again once its content is sound.
    putAsfCandidate(image, 300, 320, 240, "WMV2");
    EXPECT_EQ(ProbeVideoInfo(m_dir.write("flat.wmv", image), mustNotAsk()), (VideoInfo{"WMV2", 320, 240, 0, 0}));
}
