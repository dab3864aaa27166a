#include "dialogs/desktopregistry.h"

#include "dialogs/sysinfo.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <unistd.h>

namespace zorvane {

namespace {

// Registry names compare without regard to case.
bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool isExecutableFile(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

DesktopRegistry::DesktopRegistry(std::string searchPath, std::vector<std::string> candidates)
    : m_searchPath(std::move(searchPath))
    , m_candidates(std::move(candidates))
{
}

std::string DesktopRegistry::currentSearchPath()
{
    const char *path = std::getenv("PATH");
    return path ? path : "";
}

std::vector<std::string> DesktopRegistry::defaultCandidates()
{
    return {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor", "xfce4-taskmanager", "mate-system-monitor"};
}

std::string DesktopRegistry::findSystemInfoProgram() const
{
    for (const std::string &candidate : m_candidates) {
        std::istringstream folders(m_searchPath);
        std::string folder;
        while (std::getline(folders, folder, ':')) {
            // Relative entries would run whatever lies in the current folder.
            if (folder.empty() || folder.front() != '/')
                continue;
            const std::filesystem::path program = std::filesystem::path(folder) / candidate;
            if (isExecutableFile(program))
                return program.string();
        }
    }
    return {};
}

RegistryAnswer DesktopRegistry::readValue(std::uint32_t root, const std::string &keyName,
                                          const std::string &valueName, std::uint32_t) const
{
    RegistryAnswer answer;
    if (root != HKEY_LOCAL_MACHINE_ROOT || !sameName(keyName, kSysInfoPathKey))
        return answer;
    const std::string program = findSystemInfoProgram();
    if (program.empty())
        return answer;
    if (!sameName(valueName, "PATH")) {
        answer.status = RegistryStatus::ValueNotRead;
        return answer;
    }
    answer.status = RegistryStatus::Ok;
    answer.type = REG_SZ_TYPE;
    answer.data.assign(program.begin(), program.end());
    answer.data.push_back(0);
    return answer;
}

} // namespace zorvane
