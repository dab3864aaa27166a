// Headers claiming absurd sizes, files far larger than memory, and other
// inputs built to break the probe: each must end with a result or an error.
#include "probe/probeerror.h"
#include "probe/videoinfoprobe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace zorvane;
namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kEightGibibytes = std::uintmax_t{8} << 30;

class ProbeHostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / ("zorvane-probe-" + std::to_string(::getpid()) + "-" + info->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Writes each piece at its offset, then makes the file `size` bytes
    // long; what lies between is a hole of zeros that takes no disk.
    std::string sparseFile(const std::string &name, std::uintmax_t size,
                           std::initializer_list<std::pair<std::uint64_t, std::string>> pieces) const
    {
        const fs::path path = m_dir / name;
        {
            std::ofstream out(path, std::ios::binary);
            for (const auto &[offset, bytes] : pieces) {
                out.seekp(static_cast<std::streamoff>(offset));
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            }
        }
        fs::resize_file(path, size);
        return path.string();
    }

    fs::path m_dir;
};

std::string int32Bytes(std::int32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
    return bytes;
}

const std::string asfGuidStart = "\x30\x26\xB2\x75";

// A BITMAPINFOHEADER candidate: sizes 12 and 8 bytes before the format code.
std::pair<std::uint64_t, std::string> candidateAt(std::uint64_t offset, std::int32_t width, std::int32_t height)
{
    return {offset - 12, int32Bytes(width) + int32Bytes(height) + std::string(4, '\0') + "WMV3"};
}

TEST_F(ProbeHostile, AsfHeaderClaimingTwoGibibytesOverEightGibibytesOfZerosEnds)
{
    const std::string path =
        sparseFile("claims.wmv", kEightGibibytes, {{0, asfGuidStart}, {16, int32Bytes(0x7FFFFFFF)}});
    EXPECT_EQ(ProbeVideoInfo(path), (VideoInfo{"", 0, 0, 0, 0}));
    EXPECT_EQ(ProbeVideoInfo(path,
                             [] {
                                 return std::optional<DisplayedSize>(DisplayedSize{640, 480});
                             }),
              (VideoInfo{"", 640, 480, 0, 0}));
}

TEST_F(ProbeHostile, AsfScanStopsAtItsLimitEvenWhenTheHeaderSizeGoesFurther)
{
    const std::uint64_t beforeLimit = (std::uint64_t{64} << 20) - 100;
    const std::uint64_t pastLimit = (std::uint64_t{64} << 20) + 100;
    const std::string found =
        sparseFile("found.wmv", beforeLimit + 1000,
                   {{0, asfGuidStart}, {16, int32Bytes(0x7FFFFFFF)}, candidateAt(beforeLimit, 320, 240)});
    EXPECT_EQ(ProbeVideoInfo(found), (VideoInfo{"WMV3", 320, 240, 0, 0}));
    const std::string missed =
        sparseFile("missed.wmv", pastLimit + 1000,
                   {{0, asfGuidStart}, {16, int32Bytes(0x7FFFFFFF)}, candidateAt(pastLimit, 320, 240)});
    EXPECT_EQ(ProbeVideoInfo(missed), (VideoInfo{"", 0, 0, 0, 0}));
}

TEST_F(ProbeHostile, AbsurdSizesInHeadersAreReportedNotAllocated)
{
    const std::string avi =
        sparseFile("huge.avi", kEightGibibytes,
                   {{0, "RIFF"}, {8, "AVI "}, {64, int32Bytes(60000) + int32Bytes(60000)}, {188, "MJPG"}});
    EXPECT_EQ(ProbeVideoInfo(avi), (VideoInfo{"MJPG ", 60000, 60000, 0, 0}));

    const std::string mpeg = sparseFile("zeros.mpg", kEightGibibytes, {{0, std::string("\0\0\1\xBA", 4)}});
    EXPECT_EQ(ProbeVideoInfo(mpeg), (VideoInfo{"MPEG ", 4095, 4095, 0, 0}));
}

} // namespace
