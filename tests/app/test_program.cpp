// The zorvane program's answers that need no window.
#include "app/version.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using zorvane::testing::runProgram;

namespace {

const std::string kZorvane = ZORVANE_PATH;

} // namespace

TEST(Program, HelpAndVersionAnswerWithoutADisplay)
{
    // No display and no platform: the window system must not be needed.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);

    std::string output;
    ASSERT_EQ(runProgram({kZorvane, "--version"}, &output), 0);
    EXPECT_EQ(output, std::string("zorvane ") + zorvane::kVersion + "\n");

    output.clear();
    ASSERT_EQ(runProgram({kZorvane, "clip.avi", "--help"}, &output), 0);
    EXPECT_NE(output.find("usage: zorvane [FILE]"), std::string::npos) << output;
    EXPECT_NE(output.find("Ouvir Video"), std::string::npos) << output;
}

TEST(Program, AnUnknownOptionOrASecondFileEndsWithStatusTwo)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string output;
    EXPECT_EQ(runProgram({kZorvane, "--frobnicate"}, &output), 2);
    EXPECT_EQ(runProgram({kZorvane, "a.avi", "b.avi"}, &output), 2);
    EXPECT_EQ(output, "") << "the reason goes to the error stream";
}

TEST(Program, StartedOnAVideoItKeepsItsJournalInTheStateFolder)
{
    const std::filesystem::path video =
        zorvane::testing::generateMedia("program-journal.avi", {"-f", "lavfi", "-i", "color=c=black:size=64x48:rate=25",
                                                                "-frames:v", "5", "-c:v", "mpeg4"});
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("zorvane-program-state-" + std::to_string(::getpid()));
    std::filesystem::remove_all(state);
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(kZorvane.c_str(), kZorvane.c_str(), video.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    const auto hasJournal = [&] {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(state / "zorvane", error)) {
            if (entry.path().extension() == ".journal")
                return true;
        }
        return false;
    };
    bool found = false;
    for (int wait = 0; wait < 300 && !found; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        found = hasJournal();
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(found) << "no journal in " << (state / "zorvane");
    std::filesystem::remove_all(state);
}
