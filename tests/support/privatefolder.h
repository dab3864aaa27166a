#pragma once

#include <filesystem>
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

} // namespace zorvane::testing
