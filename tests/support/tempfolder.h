#pragma once

#include "support/media.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace zorvane::testing {

// A fresh folder for each test, named after it and the process, removed
// when the test ends.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path()
                / ("zorvane-" + std::string(info->test_suite_name()) + "-" + std::to_string(::getpid()) + "-"
                   + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path file(const std::string &name) const { return m_dir / name; }

    std::filesystem::path writeFile(const std::string &name, const std::string &bytes) const
    {
        return writeFileBytes(file(name), bytes);
    }

    static std::string readFile(const std::filesystem::path &path) { return readFileBytes(path); }

    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::filesystem::path m_dir;
};

} // namespace zorvane::testing
