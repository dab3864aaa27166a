// The zorvane program's answers that need no window.
#include "app/version.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
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

bool hasJournalIn(const std::filesystem::path &folder)
{
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".journal")
            return true;
    }
    return false;
}

// SIGTERM and SIGINT end the program as "Quitter" does, with status 0,
// while it plays a 1080p video and while it fills its cache after the end.
TEST(Program, ASignalEndsItCleanlyWhateverItDecodes)
{
    const std::filesystem::path video = zorvane::testing::generateMedia(
        "program-quit-1080p.mp4", {"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=100", "-frames:v", "150", "-c:v",
                                   "libx264", "-preset", "ultrafast", "-g", "150", "-pix_fmt", "yuv420p"});
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("zorvane-program-quit-" + std::to_string(::getpid()));
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const auto &[signal, afterMs] : {std::pair{SIGTERM, 200}, std::pair{SIGINT, 2500}}) {
        std::filesystem::remove_all(state);
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(kZorvane.c_str(), kZorvane.c_str(), video.c_str(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        for (int wait = 0; wait < 300 && !hasJournalIn(state / "zorvane"); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        const auto sent = std::chrono::steady_clock::now();
        ::kill(child, signal);
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(child, &status, WNOHANG)) == 0
               && std::chrono::steady_clock::now() - sent < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double quitMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
        if (ended == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal << ", status " << status;
        // Far above the 0.3 s it takes, for loaded test machines.
        EXPECT_LT(quitMs, 2000) << "signal " << signal;
        std::cout << "signal " << signal << " after " << afterMs << " ms: ended in " << quitMs << " ms\n";
    }
    std::filesystem::remove_all(state);
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
