#include "support/displaymatrix.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using zorvane::testing::generateIndexedVideo;
using zorvane::testing::mediaDir;
using zorvane::testing::programErrors;
using zorvane::testing::readFrameIndex;
using zorvane::testing::runProgram;

namespace {

namespace fs = std::filesystem;

const std::string kInspect = ZORVANE_INSPECT_PATH;

fs::path clip()
{
    return generateIndexedVideo(
        "h264.mov", 120, 192, 128,
        {"-c:v", "libx264", "-preset", "veryfast", "-bf", "2", "-g", "30", "-pix_fmt", "yuv420p"});
}

fs::path freshDir(const std::string &name)
{
    const fs::path dir = mediaDir() / name;
    fs::remove_all(dir);
    return dir;
}

struct Ppm {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

Ppm readPpm(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Ppm ppm;
    in >> magic >> ppm.width >> ppm.height >> maxValue;
    in.get();
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(maxValue, 255);
    ppm.pixels.resize(static_cast<size_t>(ppm.width) * ppm.height * 3);
    in.read(reinterpret_cast<char *>(ppm.pixels.data()), static_cast<std::streamsize>(ppm.pixels.size()));
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(ppm.pixels.size()));
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof()) << "bytes after the pixels";
    return ppm;
}

// Runs zorvane-inspect with stdout discarded and returns its stderr.
std::string stderrOf(std::vector<std::string> args, int *status)
{
    args.insert(args.begin(), kInspect);
    return programErrors(args, status);
}

TEST(Inspect, FramesPrintsOneLineDescribingTheVideo)
{
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "frames", clip().string()}, &output), 0);
    EXPECT_EQ(output, "frames=120 width=192 height=128 fps=25 duration_ms=4800\n");
}

// Frames 3003 ticks of 1/90000 s apart, every fifth one 1500 ticks late:
// times that are neither whole milliseconds nor evenly spaced.
fs::path variableRateClip()
{
    return generateIndexedVideo("vfr-90k.mp4", 40, 192, 128,
                                {"-vf", "settb=1/90000,setpts=N*3003+eq(mod(N\\,5)\\,4)*1500", "-fps_mode",
                                 "passthrough", "-enc_time_base", "1:90000", "-video_track_timescale", "90000", "-c:v",
                                 "libx264", "-preset", "veryfast", "-bf", "2", "-g", "12", "-pix_fmt", "yuv420p"});
}

TEST(Inspect, FramesWithTimesListsEachFramesTimeAsFfprobeReadsIt)
{
    const fs::path file = variableRateClip();
    const std::vector<double> expected = zorvane::testing::ffprobeFrameTimesMs(file);
    ASSERT_EQ(expected.size(), 40u);
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "frames", file.string(), "--times"}, &output), 0);
    std::istringstream lines(output);
    std::string summary;
    std::getline(lines, summary);
    EXPECT_EQ(summary.rfind("frames=40 width=192 height=128 ", 0), 0u) << summary;
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        EXPECT_EQ(line.substr(0, tab), std::to_string(count));
        ASSERT_LT(count, expected.size());
        // Both printed to the microsecond.
        EXPECT_NEAR(std::stod(line.substr(tab + 1)), expected[count], 0.0011) << line;
    }
    EXPECT_EQ(count, expected.size());
    // One late frame in five: 33.367 ms steps with a 16.667 ms delay.
    EXPECT_NEAR(expected[4] - expected[3], 3003 / 90.0 + 1500 / 90.0, 0.001);

    std::string plain;
    ASSERT_EQ(runProgram({kInspect, "frames", file.string()}, &plain), 0);
    EXPECT_EQ(plain, summary + "\n");
}

TEST(Inspect, FrameWritesEachRequestedFrameAsNativeSizePpm)
{
    const fs::path out = freshDir("inspect-out");
    ASSERT_EQ(runProgram({kInspect, "frame", clip().string(), "77", "3", "119", "--out", out.string()}), 0);
    for (int index : {77, 3, 119}) {
        const Ppm ppm = readPpm(out / ("frame-" + std::to_string(index) + ".ppm"));
        ASSERT_EQ(ppm.width, 192);
        ASSERT_EQ(ppm.height, 128);
        EXPECT_EQ(readFrameIndex(ppm.pixels.data(), ppm.width, ppm.height), index);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
}

TEST(Inspect, VersionIsOneLineWithTheProgramsName)
{
    std::string version;
    EXPECT_EQ(runProgram({kInspect, "--version"}, &version), 0);
    EXPECT_EQ(version.rfind("zorvane-inspect ", 0), 0u) << version;
    EXPECT_EQ(std::count(version.begin(), version.end(), '\n'), 1) << version;
}

TEST(Inspect, FramesAndFrameGiveTheUprightPicture)
{
    const fs::path file = zorvane::testing::generateTurnedIndexedVideo(
        "turned-h264.mp4", 10, 128, 192, {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"});
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "frames", file.string()}, &output), 0);
    EXPECT_EQ(output.rfind("frames=10 width=128 height=192 ", 0), 0u) << output;
    const fs::path out = freshDir("inspect-turned");
    ASSERT_EQ(runProgram({kInspect, "frame", file.string(), "7", "--out", out.string()}), 0);
    const Ppm ppm = readPpm(out / "frame-7.ppm");
    ASSERT_EQ(ppm.width, 128);
    ASSERT_EQ(ppm.height, 192);
    EXPECT_EQ(readFrameIndex(ppm.pixels.data(), ppm.width, ppm.height), 7);
}

TEST(Inspect, FailuresExitWithOneLineNamingTheFile)
{
    const std::string missing = (mediaDir() / "absent.avi").string();
    int status = 0;
    std::string message = stderrOf({"frames", missing}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(message.find(missing), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;

    message = stderrOf({"frame", clip().string(), "120", "--out", freshDir("inspect-none").string()}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(message.find("no frame 120"), std::string::npos) << message;
    EXPECT_NE(message.find(clip().string()), std::string::npos) << message;

    stderrOf({"frame", clip().string(), "x1", "--out", freshDir("inspect-none").string()}, &status);
    EXPECT_EQ(status, 1);
    stderrOf({"frame", clip().string(), "1"}, &status);
    EXPECT_EQ(status, 1);
    message = stderrOf({"nonsense"}, &status);
    EXPECT_EQ(status, 2) << "a usage error";
    EXPECT_NE(message.find("unknown command \"nonsense\""), std::string::npos) << message;
    stderrOf({}, &status);
    EXPECT_EQ(status, 2);
}

TEST(Inspect, HelpPrintsTheUsageOnStandardOutput)
{
    std::string usage;
    EXPECT_EQ(runProgram({kInspect, "--help"}, &usage), 0);
    EXPECT_EQ(usage.rfind("usage:", 0), 0u) << usage;
    for (const char *command : {"frames FILE", "frame FILE", "probe ", "measure SEQUENCE", "track FILE"})
        EXPECT_NE(usage.find(std::string("zorvane-inspect ") + command), std::string::npos) << command;
    int status = 0;
    EXPECT_EQ(stderrOf({"--help"}, &status), "");
    EXPECT_EQ(status, 0);
}

} // namespace
