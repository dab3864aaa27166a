#pragma once

#include "dialogs/registrylayer.h"

#include <string>
#include <vector>

namespace zorvane {

// A program that shows what the system is made of, with the fixed
// arguments that open that view.
struct SystemInfoTool {
    std::string program;
    std::vector<std::string> arguments = {};
    // When set, the tool counts only where this desktop entry is installed:
    // it names the settings panel that the arguments open, which differs
    // between versions of the same program.
    std::string requiredDesktopEntry = {};
};

// There is no registry here: the only value known is the "PATH" of the
// system-information tool, answered with the command line of the first
// tool found on the search path; every other key cannot be opened.
class DesktopRegistry : public RegistryLayer {
public:
    explicit DesktopRegistry(std::string searchPath = currentSearchPath(),
                             std::vector<SystemInfoTool> tools = defaultTools(),
                             std::string dataDirs = currentDataDirs());

    RegistryAnswer readValue(std::uint32_t root, const std::string &keyName, const std::string &valueName,
                             std::uint32_t access) const override;

    // The command line (see joinCommandLine) of the first tool whose
    // program is an executable file in an absolute folder of the search
    // path and whose desktop entry, if it needs one, is installed; or empty.
    std::string findSystemInfoCommand() const;

    static std::string currentSearchPath();
    // XDG_DATA_DIRS, or its standard value when unset.
    static std::string currentDataDirs();
    // Tools showing system information first, process monitors last; on
    // Windows its own, msinfo32.exe.
    static std::vector<SystemInfoTool> defaultTools();

private:
    std::string findProgram(const std::string &name) const;
    bool hasDesktopEntry(const std::string &name) const;

    std::string m_searchPath;
    std::vector<SystemInfoTool> m_tools;
    std::string m_dataDirs;
};

} // namespace zorvane
