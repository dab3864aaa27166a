#include "common/systemfile.h"
#include "common/utf8path.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

using namespace zorvane;
namespace fs = std::filesystem;

namespace {

// A fresh folder whose name has an accent and a space, as users' have.
class SystemFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / pathFromUtf8("zorvane vidéo " + std::to_string(std::random_device()()));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_folder, error);
    }

    // A new file holding the bytes, closed.
    fs::path created(const std::string &bytes)
    {
        fs::path file;
        const int fd = systemfile::createUnique(m_folder / pathFromUtf8(".élan."), file);
        EXPECT_GE(fd, 0) << errno;
        EXPECT_EQ(systemfile::writeSome(fd, bytes.data(), bytes.size()), static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(systemfile::close(fd), 0);
        return file;
    }

    static std::string bytesAt(const fs::path &file, std::uint64_t offset, std::size_t count)
    {
        const int fd = systemfile::openForReading(file);
        std::string bytes(count, '\0');
        const std::int64_t got = systemfile::readAt(fd, bytes.data(), count, offset);
        systemfile::close(fd);
        bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return bytes;
    }

    fs::path m_folder;
};

} // namespace

TEST_F(SystemFileTest, WritesAtOffsetsTruncatesAndReadsBackWithTheFileStatus)
{
    fs::path file;
    const int fd = systemfile::createUnique(m_folder / pathFromUtf8(".élan."), file);
    ASSERT_GE(fd, 0) << errno;
    EXPECT_EQ(file.parent_path(), m_folder);
    EXPECT_EQ(file.filename().string().size(), std::string(".élan.").size() + 6);
    const std::string text = "hello world";
    EXPECT_EQ(systemfile::writeAt(fd, text.data(), text.size(), 0), 11);
    EXPECT_EQ(systemfile::writeAt(fd, "W", 1, 6), 1);
    EXPECT_EQ(systemfile::truncate(fd, 9), 0);
    EXPECT_EQ(systemfile::flushDataToDisk(fd), 0);
    EXPECT_EQ(systemfile::close(fd), 0);

    EXPECT_EQ(bytesAt(file, 4, 5), "o Wor");
    EXPECT_EQ(bytesAt(file, 9, 4), "");
    systemfile::Status status;
    ASSERT_TRUE(systemfile::status(file, status));
    EXPECT_EQ(status.kind, systemfile::Kind::Regular);
    EXPECT_EQ(status.size, 9u);
    const auto now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    EXPECT_LT(std::abs(now - status.modifiedNs), std::int64_t{60'000'000'000});
    ASSERT_TRUE(systemfile::status(m_folder, status));
    EXPECT_EQ(status.kind, systemfile::Kind::Directory);
}

TEST_F(SystemFileTest, ReplaceTakesAnExistingFilesPlaceAndMissingFilesSayENOENT)
{
    const fs::path target = created("old");
    const fs::path fresh = created("new, longer");
    EXPECT_NE(target, fresh);
    ASSERT_EQ(systemfile::replace(fresh, target), 0) << errno;
    EXPECT_EQ(bytesAt(target, 0, 64), "new, longer");
    EXPECT_FALSE(fs::exists(fresh));

    EXPECT_EQ(systemfile::remove(target), 0);
    systemfile::Status status;
    EXPECT_FALSE(systemfile::status(target, status));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(systemfile::openForReading(target), -1);
    EXPECT_EQ(errno, ENOENT);
}
