#include "probe/probeerror.h"
#include "probe/videoinfoprobe.h"
#include "probetesting.h"

#include <gtest/gtest.h>

using namespace zorvane;
using zorvane::testing::Bytes;
using zorvane::testing::ScratchDir;

namespace {

// RIFF AVI in the usual layout; the stream's own size fields differ on
// purpose, as only the main header counts.
std::string avi(std::int32_t width, std::int32_t height, std::string_view code, std::size_t length = 300)
{
    Bytes b;
    b.put(0, "RIFF").put(8, "AVI LIST").put(20, "hdrlavih").int32(64, width).int32(68, height);
    b.put(88, "LIST").put(96, "strlstrh").put(108, "vidsXVID").put(164, "strf").int32(176, 999).int32(180, 777);
    b.put(188, code).put(192, "Z").size(length);
    return b.data.substr(0, length);
}

std::string mpeg(std::size_t at, std::string_view sizeBytes, std::size_t length = 0)
{
    return Bytes()
        .put(0, std::string_view("\0\0\1\xBA", 4))
        .put(at, std::string_view("\0\0\1\xB3", 4))
        .put(at + 4, sizeBytes)
        .size(length)
        .data;
}

struct Candidate {
    std::size_t at;
    std::int32_t width;
    std::int32_t height;
    std::string_view code;
};

std::string asf(std::int32_t headerSize, std::initializer_list<Candidate> candidates)
{
    Bytes b;
    b.put(0, "\x30\x26\xB2\x75").int32(16, headerSize).size(600);
    for (const Candidate &c : candidates)
        b.int32(c.at - 12, c.width).int32(c.at - 8, c.height).put(c.at, c.code);
    return b.data;
}

// Stands for a query that must not be asked.
const std::optional<DisplayedSize> notAsked = DisplayedSize{-7, -7};

class VideoInfoProbe : public ::testing::Test {
protected:
    // Probes bytes saved under name; reply answers the displayed-size
    // query, which must not be asked when reply is notAsked.
    VideoInfo probe(const std::string &name, const std::string &bytes, std::optional<DisplayedSize> reply = notAsked)
    {
        return ProbeVideoInfo(m_dir.write(name, bytes), [&]() -> std::optional<DisplayedSize> {
            const bool asked = !reply || reply->width != notAsked->width;
            EXPECT_TRUE(asked) << name << ": displayed size asked although the headers gave one";
            return asked ? reply : std::nullopt;
        });
    }
    ProbeErrorKind failure(const std::string &name, const std::string &bytes,
                           std::optional<DisplayedSize> reply = std::nullopt)
    {
        try {
            ADD_FAILURE() << name << " gave " << ::testing::PrintToString(probe(name, bytes, reply));
        } catch (const ProbeError &error) {
            return error.kind();
        }
        return ProbeErrorKind::ReadFailed;
    }
    ScratchDir m_dir{"videoinfo"};
};

} // namespace

TEST_F(VideoInfoProbe, AviReadsSizeAt64And68AndTheFormatCodeAt188)
{
    EXPECT_EQ(probe("cvid.avi", avi(320, 240, "cvid")), (VideoInfo{"cvid ", 320, 240, 0, 0}));
    EXPECT_EQ(probe("raw.avi", avi(320, 240, std::string_view("\0\0\0\0", 4))), (VideoInfo{"", 320, 240, 0, 0}));
    EXPECT_EQ(probe("cut.avi", avi(640, 480, std::string_view("ab\0d", 4))), (VideoInfo{"ab", 640, 480, 0, 0}));
    EXPECT_EQ(probe("tall.avi", avi(1, 500, "DIB ")), (VideoInfo{"DIB  ", 1, 500, 0, 0}));
    EXPECT_EQ(probe("short.avi", avi(320, 240, "cvid", 100)), (VideoInfo{"", 320, 240, 0, 0}));
    // Without a size the displayed size is asked; negative counts as below 2.
    EXPECT_EQ(probe("zero.avi", avi(0, 0, "MJPG"), std::nullopt), (VideoInfo{"MJPG ", 0, 0, 0, 0}));
    EXPECT_EQ(probe("zero.avi", avi(0, 0, "MJPG"), DisplayedSize{640, 480}), (VideoInfo{"MJPG ", 640, 480, 0, 0}));
    EXPECT_EQ(probe("neg.avi", avi(-320, 1, "MJPG"), DisplayedSize{320, 240}), (VideoInfo{"MJPG ", 320, 240, 0, 0}));
    EXPECT_EQ(probe("header.avi", avi(320, 240, "cvid", 12), std::nullopt), (VideoInfo{"", 0, 0, 0, 0}));
}

TEST_F(VideoInfoProbe, MpegReadsTheFirstSequenceHeaderUpToOffset29999)
{
    const std::string twoHeaders =
        Bytes{mpeg(0x34, "\x16\x01\x20")}.put(0x200, std::string_view("\0\0\1\xB3\x2D\x02\x40", 7)).data;
    EXPECT_EQ(probe("a.mpg", twoHeaders), (VideoInfo{"MPEG ", 352, 288, 0, 0}));
    EXPECT_EQ(probe("b.mpg", mpeg(100, "\x2D\x02\x40")), (VideoInfo{"MPEG ", 720, 576, 0, 0}));
    EXPECT_EQ(probe("c.mpg", mpeg(29999, "\x16\x01\x20", 30100)), (VideoInfo{"MPEG ", 352, 288, 0, 0}));
    EXPECT_EQ(probe("d.mpg", mpeg(30000, "\x16\x01\x20", 30100)), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));
    EXPECT_EQ(probe("e.bin", std::string("\0\0\1\xBA", 4)), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));
    EXPECT_EQ(probe("f.mpg", mpeg(40, "\xFF\xFF\xFE")), (VideoInfo{"MPEG ", 4095, 4094, 0, 0}));
    // Size bytes past the end read as zero, so the displayed size is asked.
    EXPECT_EQ(probe("g.mpg", mpeg(40, ""), DisplayedSize{352, 240}), (VideoInfo{"MPEG ", 352, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfAcceptsTheFirstCandidateWithAVideoAspect)
{
    const std::string_view wmv3("WMV3\0", 5);
    EXPECT_EQ(probe("a.wmv", asf(600, {{300, 320, 240, wmv3}})), (VideoInfo{"WMV3", 320, 240, 0, 0}));
    EXPECT_EQ(probe("b.wmv", asf(600, {{300, 320, 240, "WMV3X"}})), (VideoInfo{"WMV3X", 320, 240, 0, 0}));
    EXPECT_EQ(probe("c.wmv", asf(600, {{220, 320, 240, "wmv3"}, {260, 320, 240, "WPX1"}, {300, 640, 480, "MM4"}})),
              (VideoInfo{"MM4", 640, 480, 0, 0}));
    EXPECT_EQ(probe("d.wmv", asf(600, {{250, 480, 240, "MP42"}, {350, 240, 240, "MP43"}})),
              (VideoInfo{"", 240, 240, 0, 0}));
    EXPECT_EQ(probe("e.wmv", asf(600, {}), DisplayedSize{320, 240}), (VideoInfo{"", 320, 240, 0, 0}));
    const std::pair<int, int> accepted[] = {{176, 144}, {720, 576}, {640, 480}, {720, 480}, {1280, 720}};
    const std::pair<int, int> rejected[] = {{300, 250}, {360, 200}, {240, 240}, {480, 240}, {-640, 480}};
    for (auto [w, h] : accepted)
        EXPECT_EQ(probe("f.wmv", asf(600, {{300, w, h, wmv3}})), (VideoInfo{"WMV3", w, h, 0, 0}));
    for (auto [w, h] : rejected)
        EXPECT_EQ(probe("g.wmv", asf(600, {{300, w, h, wmv3}})), (VideoInfo{"", w, h, 0, 0}));
    // Accepted, yet both sizes are below 2.
    EXPECT_EQ(probe("h.wmv", asf(600, {{300, -640, -480, wmv3}}), std::nullopt), (VideoInfo{"WMV3", -640, -480, 0, 0}));
}

TEST_F(VideoInfoProbe, AsfScanCoversOffsets192ToHeaderSizeMinusOne)
{
    EXPECT_EQ(probe("a.wmv", asf(401, {{400, 320, 240, "WMV2"}})), (VideoInfo{"WMV2", 320, 240, 0, 0}));
    EXPECT_EQ(probe("b.wmv", asf(400, {{400, 320, 240, "WMV2"}}), std::nullopt), (VideoInfo{"", 0, 0, 0, 0}));
    for (std::int32_t size : {0, -5, INT32_MIN}) {
        EXPECT_EQ(probe("c.wmv", asf(size, {{192, 320, 240, "WMV1"}})), (VideoInfo{"WMV1", 320, 240, 0, 0}));
        EXPECT_EQ(probe("d.wmv", asf(size, {{300, 320, 240, "WMV1"}}), std::nullopt), (VideoInfo{"", 0, 0, 0, 0}));
    }
    // A header size far beyond the file ends at the end of the file.
    EXPECT_EQ(probe("e.wmv", asf(INT32_MAX, {{590, 240, 240, "WMV2"}})), (VideoInfo{"", 240, 240, 0, 0}));
}

TEST_F(VideoInfoProbe, LabelsForFilesWithoutReader)
{
    EXPECT_EQ(probe("clip.mov", "moov", std::nullopt), (VideoInfo{"QTMOV", 0, 0, 0, 0}));
    EXPECT_EQ(probe("clip.mov", "moov", DisplayedSize{480, 270}), (VideoInfo{"QTMOV", 480, 270, 0, 0}));
    for (std::string ext : {"mp3", "mp2", "mp1", "wav", "mid", "xmi", "rmi", "au", "voc", "wma"})
        EXPECT_EQ(probe("track." + ext, "data", std::nullopt), (VideoInfo{"AUDIO", 1, 1, 0, 0})) << ext;
    EXPECT_EQ(probe("song.bin", Bytes().put(0, "RIFF").put(8, "WAVE").data, std::nullopt),
              (VideoInfo{"AUDIO", 1, 1, 0, 0}));
    for (const char *name : {"movie.avi", "real.ram", "track.MP3", "empty.txt", "trailing."})
        EXPECT_EQ(probe(name, "", std::nullopt), (VideoInfo{"?    ", 1, 1, 0, 0})) << name;
    EXPECT_EQ(probe("song.mp3", "data", DisplayedSize{640, 480}), (VideoInfo{"AUDIO", 640, 480, 0, 0}));
}

TEST_F(VideoInfoProbe, FailuresAreRaisedAndLeaveNoFileOpen)
{
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(failure("flat.wmv", asf(600, {{300, 320, 0, "WMV2"}})), ProbeErrorKind::DivisionByZero);
        EXPECT_EQ(failure("none.wmv", asf(600, {{300, 0, 0, "WMV2"}})), ProbeErrorKind::DivisionByZero);
    }
    EXPECT_EQ(openFiles(), before);
    EXPECT_THROW(ProbeVideoInfo((m_dir.path() / "missing.avi").string()), ProbeError);
    EXPECT_EQ(probe("flat.wmv", asf(600, {{300, 320, 240, "WMV2"}})), (VideoInfo{"WMV2", 320, 240, 0, 0}));
}
