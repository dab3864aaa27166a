#pragma once

#include "dialogs/registrylayer.h"

#include <functional>
#include <stdexcept>
#include <string>

namespace zorvane {

inline const std::string kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline const std::string kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline const std::string kSysInfoUnavailable = "System Information Is Unavailable At This Time";
inline const std::string kProgramTitle = "Zorvane";
constexpr std::size_t kValueBufferSize = 1024;

class SysInfoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Starts a program directly, without a shell; false when it could not start.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool startProgram(const std::string &path) = 0;
};

// A modal message box with an OK button only.
class MessageDisplay {
public:
    virtual ~MessageDisplay() = default;
    virtual void showMessage(const std::string &text, const std::string &caption) = 0;
};

// The About window's lookup and start of the system-information tool.
class SysInfo {
public:
    using FileExists = std::function<bool(const std::string &)>;

    SysInfo(const RegistryLayer &registry, ProgramLauncher &launcher, MessageDisplay &messages,
            FileExists fileExists = regularFileExists);

    // True when the value was read. A value with no data throws SysInfoError.
    bool GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                     std::string &KeyVal) const;
    void StartSysInfo();

    static bool regularFileExists(const std::string &path);
    // "&h" and the bytes from last to first, each in hex without leading zero.
    static std::string dwordText(const std::string &bytes);

private:
    bool findToolPath(std::string &path) const;

    const RegistryLayer &m_registry;
    ProgramLauncher &m_launcher;
    MessageDisplay &m_messages;
    FileExists m_fileExists;
};

} // namespace zorvane
