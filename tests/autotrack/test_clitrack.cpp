#include "support/media.h"
#include "trackcorpus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>

using namespace zorvane::testing;

namespace {

namespace fs = std::filesystem;

const std::string kInspect = ZORVANE_INSPECT_PATH;
constexpr int kFrames = 30;

std::string throwVideo()
{
    const fs::path video = mediaDir() / "autotrack-throw720-30.mp4";
    encodeVideo(throwCase(kFrames), video.string());
    return video.string();
}

std::string number(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// Runs zorvane-inspect with stdout discarded and returns its stderr.
std::string stderrOf(std::vector<std::string> args, int *status)
{
    args.insert(args.begin(), kInspect);
    return programErrors(args, status);
}

TEST(InspectTrack, PrintsTheObjectsCentreForEveryFrameAfterTheStart)
{
    const CorpusCase &corpus = throwCase(kFrames);
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "track", throwVideo(), "--from", "0", "--at", number(corpus.clickX()),
                          number(corpus.clickY())},
                         &output),
              0);
    const std::vector<std::string> printed = lines(output);
    ASSERT_EQ(printed.size(), static_cast<std::size_t>(kFrames - 1)) << output;
    const std::regex format(R"(^(\d+)\t(-?\d+\.\d\d)\t(-?\d+\.\d\d)\t([01]\.\d\d)$)");
    for (int frame = 1; frame < kFrames; ++frame) {
        std::smatch fields;
        const std::string &line = printed[frame - 1];
        ASSERT_TRUE(std::regex_match(line, fields, format)) << line;
        EXPECT_EQ(std::stoi(fields[1]), frame);
        const TruthPoint truth = corpus.truth(frame);
        EXPECT_LT(std::hypot(std::stod(fields[2]) - truth.x, std::stod(fields[3]) - truth.y), 1.5) << line;
    }
}

TEST(InspectTrack, StartsAtTheGivenFrameAndStopsAtTheLastAsked)
{
    const CorpusCase &corpus = throwCase(kFrames);
    const TruthPoint start = corpus.truth(10);
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "track", throwVideo(), "--from", "10", "--to", "14", "--at",
                          number(std::nearbyint(start.x)), number(std::nearbyint(start.y))},
                         &output),
              0);
    const std::vector<std::string> printed = lines(output);
    ASSERT_EQ(printed.size(), 4u) << output;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(printed[i].substr(0, 3), std::to_string(11 + i) + "\t");
    // The last frame of the video has nothing after it.
    output.clear();
    ASSERT_EQ(
        runProgram({kInspect, "track", throwVideo(), "--from", std::to_string(kFrames - 1), "--at", "5", "5"}, &output),
        0);
    EXPECT_EQ(output, "");
}

TEST(InspectTrack, FlatWallIsLostOnTheFirstFrame)
{
    const fs::path wall =
        generateMedia("flat-wall.mp4", {"-f", "lavfi", "-i", "color=c=gray:size=160x120:rate=25:d=0.4", "-c:v",
                                        "libx264", "-pix_fmt", "yuv420p"});
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "track", wall.string(), "--from", "2", "--at", "80", "60"}, &output), 0);
    EXPECT_EQ(output, "lost\t3\n");
}

TEST(InspectTrack, FailuresExitWithOneLineSayingWhy)
{
    const std::string video = throwVideo();
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"track", (mediaDir() / "no-such-video.mp4").string(), "--from", "0", "--at", "5", "5"}, "no-such-video"},
        {{"track", video, "--from", "0", "--at", "1280", "5"}, "outside"},
        {{"track", video, "--from", "0", "--at", "5", "-0.6"}, "outside"},
        {{"track", video, "--from", "30", "--at", "5", "5"}, "no frame 30"},
        {{"track", video, "--from", "5", "--to", "4", "--at", "5", "5"}, "up to frame 4"},
        {{"track", video, "--from", "x", "--at", "5", "5"}, "usage"},
        {{"track", video, "--at", "5", "5"}, "usage"},
        {{"track", video, "--from", "0", "--at", "5"}, "usage"},
    };
    for (const Case &c : cases) {
        int status = 0;
        const std::string error = stderrOf(c.args, &status);
        EXPECT_EQ(status, 1) << c.args[1];
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    }
}

} // namespace
