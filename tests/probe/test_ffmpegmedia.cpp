#include "bytefile.h"
#include "media.h"
#include "mediatype.h"
#include "videoinfoprobe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

using namespace zorvane;
using zorvane::testing::generateMedia;
using zorvane::testing::runProgram;

namespace {

struct FfprobeVideo {
    std::string codecTag; // "[0][0][0][0]" for a zero tag
    int width = 0;
    int height = 0;
};

FfprobeVideo ffprobeVideo(const std::filesystem::path &file)
{
    std::string output;
    const int status = runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "stream=codec_tag_string,width,height", "-of", "default=nw=1", file.string()},
                                  &output);
    EXPECT_EQ(status, 0) << file;
    std::map<std::string, std::string> fields;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    EXPECT_EQ(fields.size(), 3u) << output;
    return {fields["codec_tag_string"], std::stoi("0" + fields["width"]), std::stoi("0" + fields["height"])};
}

std::vector<std::string> testPattern(const std::string &size, int frames)
{
    // The length goes into the source so later inputs and output options stay apart.
    return {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25:duration=" + std::to_string(frames * 40) + "ms"};
}

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string> &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::string fileBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int32_t int32In(const std::string &bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + static_cast<std::size_t>(i)));
    return static_cast<std::int32_t>(value);
}

} // namespace

TEST(FfmpegMedia, AviCodecAndSizeAgreeWithFfprobe)
{
    struct Case {
        std::string name;
        std::vector<std::string> encoder;
        std::string expectedCodec;
    };
    const std::vector<Case> cases = {
        {"mjpeg.avi", {"-c:v", "mjpeg"}, "MJPG "},
        {"cinepak.avi", {"-c:v", "cinepak", "-pix_fmt", "rgb24"}, "cvid "},
        {"mpeg4.avi", {"-c:v", "mpeg4"}, "FMP4 "},
        {"xvid.avi", {"-c:v", "mpeg4", "-vtag", "XVID"}, "XVID "},
        // Uncompressed BGR has a zero format code.
        {"rawvideo.avi", {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}, ""},
    };
    for (const Case &c : cases) {
        const auto file = generateMedia(c.name, joined(testPattern("320x240", 3), c.encoder));
        const FfprobeVideo reference = ffprobeVideo(file);
        EXPECT_EQ(DetectMediaType(file.string()), "avi") << c.name;
        const VideoInfo info = ProbeVideoInfo(file.string());
        EXPECT_EQ(info, (VideoInfo{c.expectedCodec, reference.width, reference.height, 0, 0})) << c.name;
        const std::string tagAsCodec = reference.codecTag == "[0][0][0][0]" ? "" : reference.codecTag + " ";
        EXPECT_EQ(info.Codec, tagAsCodec) << c.name;
    }
}

TEST(FfmpegMedia, AviWithAudioStreamFirstReadsAnotherChunkAsCodec)
{
    // With the audio stream listed first, offset 188 falls on the chunk
    // after its short WAVEFORMATEX: the JUNK that reserves the index.
    const auto file = generateMedia("audiofirst.avi",
                                    joined(testPattern("320x240", 3),
                                           {"-f", "lavfi", "-i", "sine", "-t", "0.3", "-map", "1:a", "-map", "0:v",
                                            "-c:v", "mjpeg", "-c:a", "pcm_s16le"}));
    const FfprobeVideo reference = ffprobeVideo(file);
    EXPECT_EQ(reference.codecTag, "MJPG");
    EXPECT_EQ(ProbeVideoInfo(file.string()), (VideoInfo{"JUNK ", reference.width, reference.height, 0, 0}));
}

TEST(FfmpegMedia, MpegProgramStreamsAgreeWithFfprobe)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"mpeg1.mpg", joined(testPattern("352x288", 5), {"-c:v", "mpeg1video", "-f", "mpeg"})},
        {"mpeg2.mpg", joined(testPattern("720x576", 5), {"-c:v", "mpeg2video", "-f", "vob"})},
        // The pack header decides, whatever the name.
        {"mpeg2.mpeg", joined(testPattern("640x480", 5), {"-c:v", "mpeg2video", "-f", "vob"})},
    };
    for (const auto &[name, args] : cases) {
        const auto file = generateMedia(name, args);
        const FfprobeVideo reference = ffprobeVideo(file);
        EXPECT_EQ(DetectMediaType(file.string()), "mpg") << name;
        EXPECT_EQ(ProbeVideoInfo(file.string()), (VideoInfo{"MPEG ", reference.width, reference.height, 0, 0})) << name;
    }
}

TEST(FfmpegMedia, MpegElementaryStreamHasNoPackHeader)
{
    const auto file = generateMedia("elementary.m1v", joined(testPattern("352x288", 3), {"-c:v", "mpeg1video"}));
    EXPECT_EQ(ProbeVideoInfo(file.string()), (VideoInfo{"?    ", 1, 1, 0, 0}));
    const std::filesystem::path renamed = file.parent_path() / "elementary-copy.mpg";
    std::filesystem::copy_file(file, renamed, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(DetectMediaType(renamed.string()), "dat");
    EXPECT_EQ(ProbeVideoInfo(renamed.string()), (VideoInfo{"?    ", 1, 1, 0, 0}));
}

TEST(FfmpegMedia, WmvAgreesWithFfprobe)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"wmv2.wmv", joined(testPattern("320x240", 3), {"-c:v", "wmv2"})},
        {"wmv1.wmv", joined(testPattern("640x480", 3), {"-c:v", "wmv1"})},
        {"msmpeg4.asf", joined(testPattern("176x144", 3), {"-c:v", "msmpeg4"})},
        {"withaudio.wmv",
         joined(testPattern("320x240", 3), {"-f", "lavfi", "-i", "sine", "-t", "0.3", "-c:v", "wmv2", "-c:a", "wmav2"})},
    };
    for (const auto &[name, args] : cases) {
        const auto file = generateMedia(name, args);
        const FfprobeVideo reference = ffprobeVideo(file);
        EXPECT_EQ(DetectMediaType(file.string()), "wmv") << name;
        // The byte after the code is the low byte of the image size, 0 at these sizes.
        EXPECT_EQ(ProbeVideoInfo(file.string()), (VideoInfo{reference.codecTag, reference.width, reference.height, 0, 0}))
            << name;
    }
}

TEST(FfmpegMedia, SquareWmvEndsOnTheCodecListEntry)
{
    // 320 x 320 fails the aspect test; the scan goes on to the codec list's
    // "WMV2" near the end of the header and keeps whatever precedes it.
    const auto file = generateMedia("square.wmv", joined(testPattern("320x320", 3), {"-c:v", "wmv2"}));
    const FfprobeVideo reference = ffprobeVideo(file);
    ASSERT_EQ(reference.width, 320);
    const std::string bytes = fileBytes(file);
    const std::size_t headerEnd = static_cast<std::size_t>(int32In(bytes, 16));
    const std::size_t lastCode = bytes.rfind("WMV2", headerEnd - 1);
    const std::size_t firstCode = bytes.find("WMV2", 192);
    ASSERT_NE(lastCode, std::string::npos);
    ASSERT_GT(lastCode, firstCode);
    EXPECT_EQ(int32In(bytes, firstCode - 12), 320);
    const VideoInfo info = ProbeVideoInfo(file.string());
    EXPECT_EQ(info, (VideoInfo{"", int32In(bytes, lastCode - 12), int32In(bytes, lastCode - 8), 0, 0}));
    EXPECT_NE(info.Width, reference.width);
}
