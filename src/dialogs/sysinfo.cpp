#include "dialogs/sysinfo.h"

#include "common/log.h"
#include <algorithm>
#include <array>
#include <filesystem>

namespace zorvane {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool needsQuotes(const std::string &word) { return word.empty() || word.find_first_of(" \t\"\\") != std::string::npos; }

} // namespace

std::vector<std::string> splitCommandLine(const std::string &commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < commandLine.size())
                word += commandLine[++i];
            else
                word += c;
        } else if (isBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return {};
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string joinCommandLine(const std::vector<std::string> &words)
{
    std::string commandLine;
    for (const std::string &word : words) {
        if (!commandLine.empty())
            commandLine += ' ';
        if (!needsQuotes(word)) {
            commandLine += word;
            continue;
        }
        commandLine += '"';
        for (char c : word) {
            if (c == '"' || c == '\\')
                commandLine += '\\';
            commandLine += c;
        }
        commandLine += '"';
    }
    return commandLine;
}

SysInfo::SysInfo(const RegistryLayer &registry, ProgramLauncher &launcher, MessageDisplay &messages,
                 FileExists fileExists)
        : m_registry(registry), m_launcher(launcher), m_messages(messages), m_fileExists(std::move(fileExists))
{}

bool SysInfo::regularFileExists(const std::string &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string SysInfo::dwordText(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "&h";
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        const auto value = static_cast<unsigned char>(*byte);
        if (value >= 16)
            text += digits[value >> 4];
        text += digits[value & 0xf];
    }
    return text;
}

bool SysInfo::GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                          std::string &KeyVal) const
{
    const RegistryAnswer answer = m_registry.readValue(KeyRoot, KeyName, SubKeyRef, kKeyOpenAccess);
    // Data larger than the buffer cannot be queried into it.
    if (answer.status != RegistryStatus::Ok || answer.data.size() > kValueBufferSize) {
        KeyVal.clear();
        return false;
    }
    std::array<char, kValueBufferSize> buffer{};
    std::copy(answer.data.begin(), answer.data.end(), buffer.begin());
    const std::size_t size = answer.data.size();
    if (size == 0)
        throw SysInfoError("registry value \"" + SubKeyRef + "\" has no data");
    std::string text(buffer.data(), size);
    if (text.back() == '\0')
        text.pop_back();
    if (answer.type == REG_SZ_TYPE)
        KeyVal = text;
    else if (answer.type == REG_DWORD_TYPE)
        KeyVal = dwordText(text);
    return true;
}

bool SysInfo::findToolPath(std::string &path) const
{
    if (GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, kSysInfoPathKey, "PATH", path))
        return true;
    std::string folder;
    if (!GetKeyValue(HKEY_LOCAL_MACHINE_ROOT, kSysInfoLocationKey, "MSINFO", folder))
        return false;
    path = folder + "\\MSINFO32.EXE";
    return m_fileExists(path);
}

void SysInfo::StartSysInfo()
{
    try {
        std::string path;
        if (findToolPath(path) && m_launcher.startProgram(path))
            return;
    } catch (const SysInfoError &error) {
        // Falls through to the message, like every other failure here.
        logDebug("app", std::string("system information tool: ") + error.what());
    }
    m_messages.showMessage(kSysInfoUnavailable, kProgramTitle);
}

} // namespace zorvane
