// Hostile sequence files, checked in the ordinary build: each loads or fails
// cleanly, without taking unbounded memory.
#include "track/sequencefile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace zorvane;
namespace fs = std::filesystem;

namespace {

struct Finding {
    const char *what;
    std::string bytes;
    std::int32_t upperBound;
    std::int32_t framesRead;
    TrackPoint first; // entry 0 after loading onto a track of (7, 7)
};

void PrintTo(const Finding &finding, std::ostream *out) { *out << finding.what; }

class SequenceRegressions : public ::testing::TestWithParam<Finding> {
protected:
    void SetUp() override
    {
        m_path = fs::temp_directory_path() / ("zorvane-regression-" + std::to_string(::getpid()) + ".txt");
        std::ofstream(m_path, std::ios::binary) << GetParam().bytes;
    }
    void TearDown() override { fs::remove(m_path); }

    fs::path m_path;
};

TEST_P(SequenceRegressions, LoadsWithoutReadingPastTheFile)
{
    const Finding &finding = GetParam();
    PointTrack fresh;
    const SequenceLoad load = loadSequence(m_path, fresh);
    EXPECT_EQ(load.upperBound, finding.upperBound);
    EXPECT_EQ(load.framesRead, finding.framesRead);
    EXPECT_FALSE(load.stoppedEarly) << "the reader ran past the end of the data";
    EXPECT_EQ(fresh.upperBound(), std::max(finding.upperBound, 0));

    PointTrack clicked;
    clicked.resize(3);
    for (std::int32_t frame = 0; frame <= 3; ++frame)
        clicked.set(frame, {7, 7});
    loadSequence(m_path, clicked);
    EXPECT_EQ(clicked.at(0), finding.first);
    for (std::int32_t frame = std::max(finding.framesRead, 1); frame <= 3; ++frame)
        EXPECT_EQ(clicked.at(frame), (TrackPoint{7, 7})) << "frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(Fuzzer, SequenceRegressions,
                         ::testing::Values(
                             // A UTF-8 editor's empty file: nothing but the byte order mark.
                             Finding{"ByteOrderMarkOnly", "\xEF\xBB\xBF", 0, 0, {7, 7}},
                             Finding{"ByteOrderMarkThenOneLine", "\xEF\xBB\xBF 0 \r\n0\t5\t6", 0, 1, {5, 6}}),
                         [](const ::testing::TestParamInfo<Finding> &info) { return std::string(info.param.what); });

} // namespace

TEST(SequenceHostileSizes, SparseFileLargerThanMemoryStopsAfterOneOverlongLine)
{
    const fs::path path = fs::temp_directory_path() / ("zorvane-sparse-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(path, std::ios::binary) << " 3 \r\n0\t1\t2\r\n";
    fs::resize_file(path, std::uintmax_t{8} << 30); // a hole of zeros, no disk used
    PointTrack track;
    const SequenceLoad load = loadSequence(path, track);
    fs::remove(path);
    EXPECT_EQ(load.upperBound, 3);
    EXPECT_EQ(load.framesRead, 1);
    EXPECT_TRUE(load.stoppedEarly);
    EXPECT_EQ(track.upperBound(), 3);
    EXPECT_EQ(track.at(0), (TrackPoint{1, 2}));
    EXPECT_EQ(track.at(1), TrackPoint{});
}
