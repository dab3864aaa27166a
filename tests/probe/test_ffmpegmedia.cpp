#include "probe/mediatype.h"
#include "probe/videoinfoprobe.h"
#include "probetesting.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>

using namespace zorvane;
using zorvane::testing::generateMedia;

namespace {

// What ffprobe reports for the first video stream; a zero codec tag
// becomes the empty text, as the probe shows it.
VideoInfo ffprobeVideo(const std::filesystem::path &file)
{
    std::string output;
    EXPECT_EQ(
        zorvane::testing::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                      "stream=codec_tag_string,width,height", "-of", "default=nw=1", file.string()},
                                     &output),
        0);
    std::map<std::string, std::string> fields;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        fields[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    const std::string tag = fields["codec_tag_string"] == "[0][0][0][0]" ? "" : fields["codec_tag_string"];
    return {tag, std::stoi("0" + fields["width"]), std::stoi("0" + fields["height"]), 0, 0};
}

std::filesystem::path made(const std::string &name, const std::string &size, std::vector<std::string> args)
{
    // The length goes into the source so that later inputs keep their own options.
    args.insert(args.begin(), {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25:duration=0.12"});
    // Prefixed so the shared media folder never hands us another test's file.
    return generateMedia("probe-" + name, args);
}

std::int32_t int32In(const std::string &bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return static_cast<std::int32_t>(value);
}

} // namespace

TEST(FfmpegMedia, AviAgreesWithFfprobeWithTheCodecSpacePadded)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"mjpeg.avi", {"-c:v", "mjpeg"}},
        {"cinepak.avi", {"-c:v", "cinepak", "-pix_fmt", "rgb24"}},
        {"mpeg4.avi", {"-c:v", "mpeg4"}},
        {"rawvideo.avi", {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}},
    };
    for (const auto &[name, args] : cases) {
        const auto file = made(name, "320x240", args);
        VideoInfo expected = ffprobeVideo(file);
        if (!expected.Codec.empty())
            expected.Codec += " ";
        EXPECT_EQ(DetectMediaType(file.string()), "avi") << name;
        EXPECT_EQ(ProbeVideoInfo(file.string()), expected) << name;
    }
}

TEST(FfmpegMedia, AviWithTheAudioStreamFirstGivesTheChunkAfterItsFormat)
{
    // Offset 188 then falls just past the 16-byte PCM format, on the JUNK
    // chunk that reserves the stream index.
    const auto file = made("audiofirst.avi", "320x240",
                           {"-f", "lavfi", "-i", "sine=duration=0.12", "-map", "1:a", "-map", "0:v", "-c:v", "mjpeg",
                            "-c:a", "pcm_s16le"});
    EXPECT_EQ(ffprobeVideo(file), (VideoInfo{"MJPG", 320, 240, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(file.string()), (VideoInfo{"JUNK ", 320, 240, 0, 0}));
}

TEST(FfmpegMedia, MpegProgramStreamsAgreeWithFfprobe)
{
    for (const auto &[name, size, codec] :
         {std::tuple{"mpeg1.mpg", "352x288", "mpeg1video"}, std::tuple{"mpeg2.mpg", "720x576", "mpeg2video"},
          std::tuple{"mpeg2.mpeg", "640x480", "mpeg2video"}}) {
        const auto file = made(name, size, {"-c:v", codec, "-f", "vob"});
        VideoInfo expected = ffprobeVideo(file);
        expected.Codec = "MPEG ";
        EXPECT_EQ(ProbeVideoInfo(file.string()), expected) << name;
    }
}

TEST(FfmpegMedia, WmvAgreesWithFfprobe)
{
    // At these sizes the byte after the code, the image size's lowest, is 0.
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
        {"wmv2.wmv", "320x240", {"-c:v", "wmv2"}},
        {"wmv1.wmv", "640x480", {"-c:v", "wmv1"}},
        {"msmpeg4.asf", "176x144", {"-c:v", "msmpeg4"}},
        {"withaudio.wmv", "320x240", {"-f", "lavfi", "-i", "sine=duration=0.12", "-c:v", "wmv2", "-c:a", "wmav2"}},
    };
    for (const auto &[name, size, args] : cases) {
        const auto file = made(name, size, args);
        EXPECT_EQ(DetectMediaType(file.string()), "wmv") << name;
        EXPECT_EQ(ProbeVideoInfo(file.string()), ffprobeVideo(file)) << name;
    }
}

TEST(FfmpegMedia, SquareWmvEndsOnTheCodecListEntry)
{
    // 320 x 320 fails the aspect test; the scan goes on to the codec list's
    // "WMV2" near the end of the header and keeps the bytes before it.
    const auto file = made("square.wmv", "320x320", {"-c:v", "wmv2"});
    EXPECT_EQ(ffprobeVideo(file), (VideoInfo{"WMV2", 320, 320, 0, 0}));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t lastCode = bytes.rfind("WMV2", static_cast<std::size_t>(int32In(bytes, 16)) - 1);
    ASSERT_GT(lastCode, bytes.find("WMV2", 192));
    EXPECT_EQ(ProbeVideoInfo(file.string()),
              (VideoInfo{"", int32In(bytes, lastCode - 12), int32In(bytes, lastCode - 8), 0, 0}));
}
