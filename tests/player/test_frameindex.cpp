#include "player/frameindex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

using zorvane::FrameIndex;

namespace {

// FFmpeg's AV_NOPTS_VALUE: a frame without a timestamp.
constexpr std::int64_t kNoStamp = std::numeric_limits<std::int64_t>::min();

TEST(FrameIndex, FillsMissingStampsBetweenAndAfterTheirNeighbours)
{
    const FrameIndex index = FrameIndex::fromDecodedFrames({kNoStamp, 100, 200, kNoStamp, 400, kNoStamp}, {1});
    ASSERT_TRUE(index.timesFromStamps());
    EXPECT_FALSE(index.byOrdinal());
    const std::vector<std::int64_t> expected{0, 100, 200, 300, 400, 500};
    for (int i = 0; i < index.count(); ++i)
        EXPECT_EQ(index.stamp(i), expected[static_cast<std::size_t>(i)]) << "frame " << i;
    EXPECT_EQ(index.frameWithStamp(300), 3);
    EXPECT_EQ(index.frameWithStamp(301), -1);
    EXPECT_DOUBLE_EQ(index.ticksFromFirst(5), 500.0);
}

TEST(FrameIndex, FramesAreCountedWhenStampsDoNotOrderThem)
{
    EXPECT_TRUE(FrameIndex::fromDecodedFrames({0, 200, 100}, {0}).byOrdinal());
    EXPECT_TRUE(FrameIndex::fromDecodedFrames({5, 5}, {0}).byOrdinal());
    EXPECT_TRUE(FrameIndex::fromDecodedFrames({kNoStamp, kNoStamp}, {0}).byOrdinal());
    // Stamps at both ends of the range still give a finite span.
    const FrameIndex wide = FrameIndex::fromDecodedFrames({-(std::int64_t{1} << 62), std::int64_t{1} << 62}, {0});
    ASSERT_TRUE(wide.timesFromStamps());
    EXPECT_DOUBLE_EQ(wide.ticksFromFirst(1), 0x1p63);
}

TEST(FrameIndex, FindsTheKeyframeAtOrBeforeAFrame)
{
    const FrameIndex index = FrameIndex::fromDecodedFrames({0, 1, 2, 3, 4, 5, 6, 7}, {2, 5});
    EXPECT_EQ(index.keyPositionAtOrBefore(1), -1);
    EXPECT_EQ(index.keyPositionAtOrBefore(2), 0);
    EXPECT_EQ(index.keyPositionAtOrBefore(4), 0);
    EXPECT_EQ(index.keyPositionAtOrBefore(5), 1);
    EXPECT_EQ(index.keyPositionAtOrBefore(7), 1);
    EXPECT_EQ(index.keyframe(1), 5);
}

} // namespace
