#include "app/videoarea.h"

#include <gtest/gtest.h>

using namespace zorvane;

TEST(VideoAreaSize, FollowsTheClientAreaWithItsMargins)
{
    const VideoAreaSize start = videoAreaSize(349, 311, 56);
    EXPECT_EQ(start.width, 339);
    EXPECT_EQ(start.height, 250);
    const VideoAreaSize large = videoAreaSize(600, 500, 56);
    EXPECT_EQ(large.width, 590);
    EXPECT_EQ(large.height, 439);
}

TEST(VideoAreaSize, SkipsOnlyTheSideThatWouldBeNegative)
{
    const VideoAreaSize narrow = videoAreaSize(9, 300, 56);
    EXPECT_FALSE(narrow.width.has_value());
    EXPECT_EQ(narrow.height, 239);
    const VideoAreaSize flat = videoAreaSize(300, 60, 56);
    EXPECT_EQ(flat.width, 290);
    EXPECT_FALSE(flat.height.has_value());
    const VideoAreaSize edge = videoAreaSize(10, 61, 56);
    EXPECT_EQ(edge.width, 0);
    EXPECT_EQ(edge.height, 0);
}
