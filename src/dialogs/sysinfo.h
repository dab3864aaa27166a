#pragma once

#include "dialogs/registrylayer.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

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

// Starts a program from a command line (see splitCommandLine) directly,
// without a shell; false when it could not start.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool startProgram(const std::string &commandLine) = 0;
};

// A command line's words: blanks separate them; a part in double quotes may
// hold blanks, and inside it a backslash takes the next character as it is.
// Outside quotes every character is literal, so a bare path stays one word.
// Empty when a quote is left open.
std::vector<std::string> splitCommandLine(const std::string &commandLine);
// The command line that splitCommandLine reads back as these words.
std::string joinCommandLine(const std::vector<std::string> &words);

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
