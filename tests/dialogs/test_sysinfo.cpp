#include "dialogs/desktopregistry.h"
#include "dialogs/sysinfo.h"
#include "support/privatefolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

using namespace zorvane;
using zorvane::testing::TempFolder;

namespace {

std::vector<std::uint8_t> bytes(const std::string &text) { return {text.begin(), text.end()}; }

class FakeRegistry : public RegistryLayer {
public:
    void set(const std::string &key, const std::string &value, std::uint32_t type, std::vector<std::uint8_t> data)
    {
        m_values[{key, value}] = RegistryAnswer{RegistryStatus::Ok, type, std::move(data)};
    }

    RegistryAnswer readValue(std::uint32_t root, const std::string &keyName, const std::string &valueName,
                             std::uint32_t access) const override
    {
        reads.push_back(keyName + "|" + valueName);
        lastRoot = root;
        lastAccess = access;
        const auto found = m_values.find({keyName, valueName});
        if (found == m_values.end())
            return {};
        return found->second;
    }

    mutable std::vector<std::string> reads;
    mutable std::uint32_t lastRoot = 0;
    mutable std::uint32_t lastAccess = 0;

private:
    std::map<std::pair<std::string, std::string>, RegistryAnswer> m_values;
};

class FakeLauncher : public ProgramLauncher {
public:
    bool startProgram(const std::string &path) override
    {
        started.push_back(path);
        return succeeds;
    }
    std::vector<std::string> started;
    bool succeeds = true;
};

class FakeMessages : public MessageDisplay {
public:
    void showMessage(const std::string &text, const std::string &caption) override
    {
        shown.push_back(caption + ": " + text);
    }
    std::vector<std::string> shown;
};

const std::string kUnavailableMessage = "Zorvane: System Information Is Unavailable At This Time";

struct SysInfoFixture : ::testing::Test {
    FakeRegistry registry;
    FakeLauncher launcher;
    FakeMessages messages;
    std::vector<std::string> existsAsked;
    std::vector<std::string> existingFiles;
    SysInfo sysInfo{registry, launcher, messages, [this](const std::string &path) {
                        existsAsked.push_back(path);
                        return std::find(existingFiles.begin(), existingFiles.end(), path) != existingFiles.end();
                    }};

    std::string read(const std::string &value, std::string entry = "entry text")
    {
        EXPECT_TRUE(sysInfo.GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, "Key", value, entry));
        return entry;
    }
};

} // namespace

TEST_F(SysInfoFixture, StringValueDropsOnlyAFinalZeroByte)
{
    registry.set("Key", "zero", REG_SZ_TYPE, bytes(std::string("C:\\msinfo32.exe") + '\0'));
    registry.set("Key", "plain", REG_SZ_TYPE, bytes("abc"));
    registry.set("Key", "inner", REG_SZ_TYPE, bytes(std::string("a\0b", 3)));
    EXPECT_EQ(read("zero"), "C:\\msinfo32.exe");
    EXPECT_EQ(read("plain"), "abc");
    EXPECT_EQ(read("inner"), std::string("a\0b", 3));
    EXPECT_EQ(registry.lastRoot, 0x80000002u);
    EXPECT_EQ(registry.lastAccess, 0x2003Fu);
}

TEST_F(SysInfoFixture, DwordValueBecomesHexFromLastByteToFirst)
{
    registry.set("Key", "ten thousand", REG_DWORD_TYPE, {0x10, 0x27, 0x00, 0x00});
    registry.set("Key", "full", REG_DWORD_TYPE, {0x05, 0xA0, 0x01, 0x02});
    // The final zero byte goes first, then each byte loses its leading zero.
    EXPECT_EQ(read("ten thousand"), "&h02710");
    EXPECT_EQ(read("full"), "&h21A05");
}

TEST_F(SysInfoFixture, OtherTypeCountsAsReadAndKeepsTheEntryText)
{
    registry.set("Key", "expand", 2, bytes("%SystemRoot%"));
    EXPECT_EQ(read("expand", "kept"), "kept");
}

TEST_F(SysInfoFixture, ValueWithNoDataRaisesAnError)
{
    registry.set("Key", "empty", REG_SZ_TYPE, {});
    std::string text = "before";
    EXPECT_THROW(sysInfo.GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, "Key", "empty", text), SysInfoError);
}

TEST_F(SysInfoFixture, MissingKeyValueOrOversizedDataReadsNothing)
{
    registry.set("Key", "big", REG_SZ_TYPE, std::vector<std::uint8_t>(1025, 'x'));
    registry.set("Key", "fits", REG_SZ_TYPE, std::vector<std::uint8_t>(1024, 'x'));
    std::string text = "before";
    EXPECT_FALSE(sysInfo.GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, "No such key", "PATH", text));
    EXPECT_EQ(text, "");
    text = "before";
    EXPECT_FALSE(sysInfo.GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, "Key", "big", text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(read("fits").size(), 1024u);
}

TEST_F(SysInfoFixture, PathFoundFirstIsStartedUncheckedWithoutReadingTheSecondKey)
{
    registry.set(kSysInfoPathKey, "PATH", REG_SZ_TYPE, bytes(std::string("/usr/bin/tool") + '\0'));
    sysInfo.StartSysInfo();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/tool"});
    EXPECT_TRUE(existsAsked.empty());
    EXPECT_EQ(registry.reads, std::vector<std::string>{kSysInfoPathKey + "|PATH"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SysInfoFixture, LocationFolderIsUsedOnlyWhenItHoldsTheTool)
{
    registry.set(kSysInfoLocationKey, "MSINFO", REG_SZ_TYPE, bytes(std::string("C:\\Tools") + '\0'));
    sysInfo.StartSysInfo();
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(existsAsked, std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE"});
    EXPECT_EQ(messages.shown, std::vector<std::string>{kUnavailableMessage});

    existingFiles.push_back("C:\\Tools\\MSINFO32.EXE");
    messages.shown.clear();
    sysInfo.StartSysInfo();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SysInfoFixture, EveryFailureEndsInTheMessage)
{
    sysInfo.StartSysInfo(); // nothing in the registry
    EXPECT_EQ(messages.shown.size(), 1u);

    registry.set(kSysInfoPathKey, "PATH", REG_SZ_TYPE, {});
    sysInfo.StartSysInfo(); // value without data
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(launcher.started.empty());

    registry.set(kSysInfoPathKey, "PATH", REG_SZ_TYPE, bytes("/gone/tool"));
    launcher.succeeds = false;
    sysInfo.StartSysInfo(); // cannot be started
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/gone/tool"});
    ASSERT_EQ(messages.shown.size(), 3u);
    for (const std::string &shown : messages.shown)
        EXPECT_EQ(shown, kUnavailableMessage);
}

namespace {

// Two folders of programs, a and b, in a private temporary folder.
struct ProgramFolders {
    TempFolder folder{"sysinfo"};
    std::filesystem::path path = folder.path();
    ProgramFolders()
    {
        std::filesystem::create_directories(path / "a");
        std::filesystem::create_directories(path / "b");
    }

    std::string makeProgram(const std::string &relative, bool executable)
    {
        const auto file = path / relative;
        std::ofstream(file) << "#!/bin/sh\n";
        std::filesystem::permissions(file, executable ? std::filesystem::perms::owner_all
                                                      : std::filesystem::perms::owner_read);
        return file.string();
    }
};

} // namespace

TEST(CommandLine, WordsSurviveJoiningAndSplitting)
{
    const std::vector<std::vector<std::string>> cases{
        {"/usr/bin/hardinfo"},
        {"/usr/bin/gnome-control-center", "info-overview"},
        {"/opt/my tools/info", "a b", "", "say \"hi\"", "back\\slash", "tab\there"},
    };
    for (const auto &words : cases)
        EXPECT_EQ(splitCommandLine(joinCommandLine(words)), words) << joinCommandLine(words);
    EXPECT_EQ(joinCommandLine({"/usr/bin/kinfocenter"}), "/usr/bin/kinfocenter") << "plain words stay bare";
}

TEST(CommandLine, SplitsOnBlanksAndKeepsQuotedBlanksAndBareBackslashes)
{
    EXPECT_EQ(splitCommandLine("  tool\t-a  b "), (std::vector<std::string>{"tool", "-a", "b"}));
    EXPECT_EQ(splitCommandLine("C:\\Tools\\MSINFO32.EXE"), std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE"});
    EXPECT_EQ(splitCommandLine("\"/a b/c\"d e"), (std::vector<std::string>{"/a b/cd", "e"}));
    EXPECT_EQ(splitCommandLine("x \"\""), (std::vector<std::string>{"x", ""}));
    EXPECT_TRUE(splitCommandLine("").empty());
    EXPECT_TRUE(splitCommandLine("tool \"open").empty()) << "an open quote starts nothing";
}

TEST(DesktopRegistry, AnswersToolPathWithTheFirstExecutableCandidate)
{
    ProgramFolders folder;
    folder.makeProgram("a/kinfocenter", false);
    const std::string hardinfo = folder.makeProgram("b/hardinfo", true);
    const std::string kinfo = folder.makeProgram("b/kinfocenter", true);
    const std::string searchPath = "relative/dir::" + (folder.path / "a").string() + ":" + (folder.path / "b").string();

    DesktopRegistry registry(searchPath, {{"kinfocenter"}, {"hardinfo"}});
    const RegistryAnswer answer = registry.readValue(
        HKEY_LOCAL_MACHINE_ROOT, "software\\microsoft\\shared tools\\msinfo", "Path", kKeyOpenAccess);
    ASSERT_EQ(answer.status, RegistryStatus::Ok);
    EXPECT_EQ(answer.type, REG_SZ_TYPE);
    EXPECT_EQ(answer.data, bytes(kinfo + '\0'));
    EXPECT_EQ(DesktopRegistry(searchPath, {{"hardinfo"}, {"kinfocenter"}}).findSystemInfoCommand(), hardinfo);

    EXPECT_EQ(registry.readValue(HKEY_LOCAL_MACHINE_ROOT, kSysInfoPathKey, "Other", kKeyOpenAccess).status,
              RegistryStatus::ValueNotRead);
    EXPECT_EQ(registry.readValue(HKEY_LOCAL_MACHINE_ROOT, kSysInfoLocationKey, "MSINFO", kKeyOpenAccess).status,
              RegistryStatus::KeyNotOpened);
    EXPECT_EQ(registry.readValue(0x80000001, kSysInfoPathKey, "PATH", kKeyOpenAccess).status,
              RegistryStatus::KeyNotOpened);
}

TEST(DesktopRegistry, PanelArgumentsCountOnlyWhereThePanelIsInstalled)
{
    ProgramFolders folder;
    const std::string settings = folder.makeProgram("a/gnome-control-center", true);
    const std::string monitor = folder.makeProgram("a/gnome-system-monitor", true);
    const std::string searchPath = (folder.path / "a").string();
    const std::vector<SystemInfoTool> tools{
        {"gnome-control-center", {"info-overview"}, "gnome-info-overview-panel.desktop"},
        {"gnome-control-center", {"system", "about"}, "gnome-system-panel.desktop"},
        {"gnome-system-monitor"},
    };
    const std::string dataDirs = "share-relative:" + (folder.path / "b").string();
    std::filesystem::create_directories(folder.path / "b" / "applications");

    EXPECT_EQ(DesktopRegistry(searchPath, tools, dataDirs).findSystemInfoCommand(), monitor)
        << "no panel installed: the monitor is all there is";
    std::ofstream(folder.path / "b" / "applications" / "gnome-system-panel.desktop") << "[Desktop Entry]\n";
    EXPECT_EQ(DesktopRegistry(searchPath, tools, dataDirs).findSystemInfoCommand(), settings + " system about");
    std::ofstream(folder.path / "b" / "applications" / "gnome-info-overview-panel.desktop") << "[Desktop Entry]\n";
    const DesktopRegistry registry(searchPath, tools, dataDirs);
    EXPECT_EQ(registry.findSystemInfoCommand(), settings + " info-overview");

    // The About window starts it with exactly these words, through no shell.
    FakeLauncher launcher;
    FakeMessages messages;
    SysInfo(registry, launcher, messages).StartSysInfo();
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(splitCommandLine(launcher.started[0]), (std::vector<std::string>{settings, "info-overview"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DesktopRegistry, SystemInformationToolsComeBeforeProcessMonitors)
{
    const std::vector<SystemInfoTool> tools = DesktopRegistry::defaultTools();
    const auto rank = [&](const std::string &program) {
        const auto found = std::find_if(tools.begin(), tools.end(),
                                        [&](const SystemInfoTool &tool) { return tool.program == program; });
        EXPECT_NE(found, tools.end()) << program;
        return found - tools.begin();
    };
    EXPECT_EQ(rank("hardinfo2"), 0);
    EXPECT_LT(rank("hardinfo2"), rank("hardinfo"));
    EXPECT_LT(rank("hardinfo"), rank("kinfocenter"));
    for (const char *informer : {"kinfocenter", "gnome-control-center", "cinnamon-settings", "xfce4-about"})
        for (const char *monitor : {"gnome-system-monitor", "mate-system-monitor", "xfce4-taskmanager"})
            EXPECT_LT(rank(informer), rank(monitor)) << informer << " before " << monitor;
    // A settings program opens its "about" view, never its front page.
    for (const SystemInfoTool &tool : tools) {
        if (tool.program == "gnome-control-center" || tool.program == "cinnamon-settings") {
            EXPECT_FALSE(tool.arguments.empty()) << tool.program;
        }
    }
}

TEST(DesktopRegistry, WithoutAToolTheMessageAppears)
{
    ProgramFolders folder;
    const std::string current = std::filesystem::current_path();
    std::filesystem::current_path(folder.path / "a");
    folder.makeProgram("a/hardinfo", true);
    // Relative entries of the search path, the current folder included, are skipped.
    DesktopRegistry registry(".:relative", {{"hardinfo"}});
    EXPECT_EQ(registry.findSystemInfoCommand(), "");
    std::filesystem::current_path(current);

    FakeLauncher launcher;
    FakeMessages messages;
    SysInfo sysInfo(registry, launcher, messages);
    sysInfo.StartSysInfo();
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_EQ(messages.shown, std::vector<std::string>{kUnavailableMessage});

    DesktopRegistry withTool((folder.path / "a").string(), {{"hardinfo"}});
    SysInfo(withTool, launcher, messages).StartSysInfo();
    EXPECT_EQ(launcher.started, std::vector<std::string>{(folder.path / "a" / "hardinfo").string()});
}
