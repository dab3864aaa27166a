#include "app/commandline.h"
#include "app/version.h"

#include <gtest/gtest.h>

using namespace zorvane;
using Action = CommandLine::Action;

TEST(CommandLine, NoArgumentsStartsEmptyAndOneArgumentIsTheFileToOpen)
{
    EXPECT_EQ(parseCommandLine({}).action, Action::Run);
    EXPECT_EQ(parseCommandLine({}).file, "");

    const CommandLine withFile = parseCommandLine({"vidéo du 3 mai.mp4"});
    EXPECT_EQ(withFile.action, Action::Run);
    EXPECT_EQ(withFile.file, "vidéo du 3 mai.mp4");
    // "-" alone is a name, and after "--" names may start with a dash.
    EXPECT_EQ(parseCommandLine({"-"}).file, "-");
    EXPECT_EQ(parseCommandLine({"--", "-clip.avi"}).file, "-clip.avi");
    EXPECT_EQ(parseCommandLine({"--", "--help"}).file, "--help");
}

TEST(CommandLine, HelpAndVersionWinWhereverTheyStand)
{
    EXPECT_EQ(parseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(parseCommandLine({"-h"}).action, Action::Help);
    EXPECT_EQ(parseCommandLine({"--version"}).action, Action::Version);
    // The toolkit's options are not ours to judge before the toolkit starts.
    EXPECT_EQ(parseCommandLine({"-platform", "offscreen", "--version"}).action, Action::Version);
    EXPECT_EQ(parseCommandLine({"a.avi", "b.avi", "--help"}).action, Action::Help);
    EXPECT_EQ(versionText("zorvane"), std::string("zorvane ") + kVersion + "\n");
    EXPECT_NE(helpText().find("FILE"), std::string::npos);
    EXPECT_NE(helpText().find("Ouvir Video"), std::string::npos);
}

TEST(CommandLine, UnknownOptionsAndASecondFileAreErrorsNamingTheArgument)
{
    const CommandLine unknown = parseCommandLine({"--frobnicate", "a.avi"});
    EXPECT_EQ(unknown.action, Action::Error);
    EXPECT_NE(unknown.error.find("--frobnicate"), std::string::npos) << unknown.error;

    const CommandLine twoFiles = parseCommandLine({"a.avi", "b.avi"});
    EXPECT_EQ(twoFiles.action, Action::Error);
    EXPECT_NE(twoFiles.error.find("b.avi"), std::string::npos) << twoFiles.error;

    EXPECT_EQ(parseCommandLine({""}).action, Action::Error);
}
