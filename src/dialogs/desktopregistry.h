#pragma once

#include "dialogs/registrylayer.h"

#include <string>
#include <vector>

namespace zorvane {

// There is no registry here: the only value known is the "PATH" of the
// system-information tool, answered with the first desktop system-information
// program found on the search path; every other key cannot be opened.
class DesktopRegistry : public RegistryLayer {
public:
    explicit DesktopRegistry(std::string searchPath = currentSearchPath(),
                             std::vector<std::string> candidates = defaultCandidates());

    RegistryAnswer readValue(std::uint32_t root, const std::string &keyName, const std::string &valueName,
                             std::uint32_t access) const override;

    // Absolute path of the first candidate that is an executable file in an
    // absolute folder of the search path, or empty.
    std::string findSystemInfoProgram() const;

    static std::string currentSearchPath();
    static std::vector<std::string> defaultCandidates();

private:
    std::string m_searchPath;
    std::vector<std::string> m_candidates;
};

} // namespace zorvane
