#pragma once

#include "journal/videoidentity.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

namespace zorvane::testing {

// A private folder under the temporary folder, removed with its content.
class TempFolder {
public:
    explicit TempFolder(const std::string &what)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / ("zorvane-" + what + "-XXXXXX")).string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_path = name.data();
    }
    ~TempFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline std::filesystem::path writeBytes(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    return file;
}

// The journal only looks at a video's path, size and time, so any file
// stands for one.
inline VideoIdentity standInVideo(const std::filesystem::path &file, const std::string &content = "not a video")
{
    writeBytes(file, content);
    return *VideoIdentity::of(file);
}

} // namespace zorvane::testing
