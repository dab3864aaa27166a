// FFmpeg's complaints about a damaged video reach the debug log when it is
// on, and only then.
#include "common/log.h"
#include "player/framereader.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zorvane;

namespace {

std::vector<std::string> g_lines;

void capture(std::string_view category, std::string_view message)
{
    g_lines.push_back(std::string(category) + ": " + std::string(message));
}

std::filesystem::path damagedVideo()
{
    const std::filesystem::path intact = zorvane::testing::generateMedia(
        "log-intact.avi", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-frames:v", "50", "-c:v", "mpeg4"});
    std::string bytes = zorvane::testing::readFileBytes(intact);
    std::uint32_t state = 3;
    for (std::size_t at = bytes.size() / 3; at < bytes.size() / 3 + 4000 && at < bytes.size(); at += 7) {
        state = state * 1664525u + 1013904223u;
        bytes[at] = static_cast<char>(state >> 24);
    }
    return zorvane::testing::writeFileBytes(zorvane::testing::mediaDir() / "log-damaged.avi", bytes);
}

void readEveryFrame(const std::filesystem::path &file)
{
    FrameReader reader(file.string());
    for (int index = 0; index < reader.frameCount(); ++index) {
        try {
            (void)reader.frameRgb(index);
        } catch (const ReaderError &) {
        }
    }
}

} // namespace

TEST(ReaderLog, DecoderComplaintsGoToTheDebugLogOnlyWhenItIsOn)
{
    const std::filesystem::path file = damagedVideo();
    setLogSink(capture, true);
    readEveryFrame(file);
    ASSERT_FALSE(g_lines.empty());
    EXPECT_EQ(g_lines.front().rfind("ffmpeg: [mpeg4", 0), 0u) << g_lines.front();

    g_lines.clear();
    setLogSink(capture, false);
    readEveryFrame(file);
    EXPECT_TRUE(g_lines.empty()) << g_lines.front();
}
