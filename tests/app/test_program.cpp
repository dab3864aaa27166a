// The zorvane program's answers that need no window.
#include "app/version.h"
#include "support/media.h"

#include <gtest/gtest.h>

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
