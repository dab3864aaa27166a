#include "dialogs/desktopregistry.h"

#include "common/systemfile.h"
#include "dialogs/sysinfo.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace zorvane {

namespace {

// Registry names compare without regard to case.
bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The absolute folders of a list such as PATH (colon-separated, on Windows
// semicolon-separated). Relative entries would find whatever lies in the
// current folder.
std::vector<std::filesystem::path> absoluteFolders(const std::string &list)
{
    std::vector<std::filesystem::path> folders;
    std::istringstream entries(list);
    std::string entry;
    while (std::getline(entries, entry, systemfile::listSeparator()))
        if (!entry.empty() && std::filesystem::path(entry).is_absolute())
            folders.emplace_back(entry);
    return folders;
}

} // namespace

DesktopRegistry::DesktopRegistry(std::string searchPath, std::vector<SystemInfoTool> tools, std::string dataDirs)
        : m_searchPath(std::move(searchPath)), m_tools(std::move(tools)), m_dataDirs(std::move(dataDirs))
{}

std::string DesktopRegistry::currentSearchPath()
{
    const char *path = std::getenv("PATH");
    return path ? path : "";
}

std::string DesktopRegistry::currentDataDirs()
{
    const char *dirs = std::getenv("XDG_DATA_DIRS");
    return dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
}

std::vector<SystemInfoTool> DesktopRegistry::defaultTools()
{
    if (systemfile::isWindows())
        return {{"msinfo32.exe"}};
    return {
        {"hardinfo2"},
        {"hardinfo"},
        {"kinfocenter"},
        // GNOME's "About" panel: its own panel up to version 45, a page of
        // the "System" panel since.
        {"gnome-control-center", {"info-overview"}, "gnome-info-overview-panel.desktop"},
        {"gnome-control-center", {"system", "about"}, "gnome-system-panel.desktop"},
        {"cinnamon-settings", {"info"}},
        {"xfce4-about"},
        // Process monitors show little of the system: only when nothing else is there.
        {"gnome-system-monitor"},
        {"mate-system-monitor"},
        {"xfce4-taskmanager"},
    };
}

std::string DesktopRegistry::findProgram(const std::string &name) const
{
    for (const std::filesystem::path &folder : absoluteFolders(m_searchPath)) {
        const std::filesystem::path program = folder / name;
        if (systemfile::isProgram(program))
            return program.string();
    }
    return {};
}

bool DesktopRegistry::hasDesktopEntry(const std::string &name) const
{
    for (const std::filesystem::path &folder : absoluteFolders(m_dataDirs)) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / "applications" / name, error))
            return true;
    }
    return false;
}

std::string DesktopRegistry::findSystemInfoCommand() const
{
    for (const SystemInfoTool &tool : m_tools) {
        if (!tool.requiredDesktopEntry.empty() && !hasDesktopEntry(tool.requiredDesktopEntry))
            continue;
        const std::string program = findProgram(tool.program);
        if (program.empty())
            continue;
        std::vector<std::string> words{program};
        words.insert(words.end(), tool.arguments.begin(), tool.arguments.end());
        return joinCommandLine(words);
    }
    return {};
}

RegistryAnswer DesktopRegistry::readValue(std::uint32_t root, const std::string &keyName, const std::string &valueName,
                                          std::uint32_t) const
{
    RegistryAnswer answer;
    if (root != HKEY_LOCAL_MACHINE_ROOT || !sameName(keyName, kSysInfoPathKey))
        return answer;
    const std::string command = findSystemInfoCommand();
    if (command.empty())
        return answer;
    if (!sameName(valueName, "PATH")) {
        answer.status = RegistryStatus::ValueNotRead;
        return answer;
    }
    answer.status = RegistryStatus::Ok;
    answer.type = REG_SZ_TYPE;
    answer.data.assign(command.begin(), command.end());
    answer.data.push_back(0);
    return answer;
}

} // namespace zorvane
