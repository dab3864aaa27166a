#include "player/viewtransform.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;

namespace {

constexpr int kBar = 16;

ViewTransform fullHdIn(int width, int height)
{
    ViewTransform view;
    view.setPicture(1920, 1080);
    view.setArea(width, height, kBar);
    return view;
}

} // namespace

TEST(ViewTransform, OneToOneWithoutScrollIsTheIdentityAndShowsNoBars)
{
    ViewTransform view;
    view.setPicture(320, 240);
    view.setArea(333, 244, kBar);
    EXPECT_FALSE(view.horizontalBar());
    EXPECT_FALSE(view.verticalBar());
    EXPECT_EQ(view.viewWidth(), 333);
    EXPECT_EQ(view.maxScrollX(), 0);
    for (double at : {0.0, 10.0, 57.5, 100.25}) {
        EXPECT_EQ(view.toVideo({at, at + 1}).x, at);
        EXPECT_EQ(view.toVideo({at, at + 1}).y, at + 1);
    }
    view.scrollTo(50, 50);
    EXPECT_EQ(view.scrollX(), 0);
}

TEST(ViewTransform, BarsAppearForALargerPictureAndOneBarCanCallTheOther)
{
    ViewTransform view = fullHdIn(1266, 694);
    EXPECT_TRUE(view.horizontalBar());
    EXPECT_TRUE(view.verticalBar());
    EXPECT_EQ(view.viewWidth(), 1266 - kBar);
    EXPECT_EQ(view.maxScrollX(), 1920 - (1266 - kBar));
    EXPECT_EQ(view.maxScrollY(), 1080 - (694 - kBar));
    view.scrollTo(100000, -5);
    EXPECT_EQ(view.scrollX(), view.maxScrollX());
    EXPECT_EQ(view.scrollY(), 0);

    // Only a little too tall: the vertical bar narrows the view, which the
    // width then no longer fits either.
    ViewTransform narrow;
    narrow.setPicture(100, 200);
    narrow.setArea(110, 150, kBar);
    EXPECT_TRUE(narrow.verticalBar());
    EXPECT_TRUE(narrow.horizontalBar());
    narrow.setArea(130, 150, kBar);
    EXPECT_TRUE(narrow.verticalBar());
    EXPECT_FALSE(narrow.horizontalBar());
}

TEST(ViewTransform, ZoomStepsGoFromFitToEightTimes)
{
    ViewTransform view = fullHdIn(960, 600);
    const std::vector<double> steps = view.zoomSteps();
    ASSERT_GE(steps.size(), 3u);
    EXPECT_DOUBLE_EQ(steps.front(), 0.5);
    EXPECT_DOUBLE_EQ(steps.back(), 8.0);
    for (std::size_t i = 1; i < steps.size(); ++i)
        EXPECT_GT(steps[i], steps[i - 1]);
    view.zoomOutAt({0, 0});
    EXPECT_DOUBLE_EQ(view.scale(), 2.0 / 3);
    view.zoomOutAt({0, 0});
    EXPECT_DOUBLE_EQ(view.scale(), 0.5);
    EXPECT_FALSE(view.horizontalBar());
    view.zoomOutAt({0, 0});
    EXPECT_DOUBLE_EQ(view.scale(), 0.5);
    for (int i = 0; i < 20; ++i)
        view.zoomInAt({0, 0});
    EXPECT_DOUBLE_EQ(view.scale(), 8.0);
    view.zoomAt(50.0, {0, 0});
    EXPECT_DOUBLE_EQ(view.scale(), 8.0);

    // A picture smaller than the area zooms out no further than 1:1.
    ViewTransform small;
    small.setPicture(100, 100);
    small.setArea(400, 400, kBar);
    EXPECT_DOUBLE_EQ(small.zoomSteps().front(), 1.0);
    EXPECT_DOUBLE_EQ(small.zoomSteps()[1], 1.5);
}

TEST(ViewTransform, ZoomKeepsTheVideoPointUnderThePointer)
{
    ViewTransform view = fullHdIn(1266, 694);
    view.scrollTo(300, 200);
    const ViewPoint pointer{400, 250};
    const ViewPoint before = view.toVideo(pointer);
    view.zoomInAt(pointer);
    EXPECT_DOUBLE_EQ(view.scale(), 1.5);
    EXPECT_NEAR(view.toVideo(pointer).x, before.x, 1.0);
    EXPECT_NEAR(view.toVideo(pointer).y, before.y, 1.0);
    view.zoomAt(4.0, pointer);
    EXPECT_NEAR(view.toVideo(pointer).x, before.x, 0.5);
    EXPECT_NEAR(view.toVideo(pointer).y, before.y, 0.5);
    view.resetZoom();
    EXPECT_DOUBLE_EQ(view.scale(), 1.0);
}

TEST(ViewTransform, EveryScreenPixelAtFourTimesMapsIntoTheVideoPixelDrawnThere)
{
    ViewTransform view = fullHdIn(1266, 694);
    view.zoomAt(4.0, {0, 0});
    view.scrollTo(1001, 403);
    for (int i = 0; i < 40; ++i) {
        const ViewPoint video = view.toVideo({static_cast<double>(i), static_cast<double>(i)});
        const int drawn = static_cast<int>(std::floor((i + 1001) / 4.0));
        EXPECT_EQ(std::lround(video.x), drawn) << i;
        EXPECT_EQ(std::lround(video.y), static_cast<int>(std::floor((i + 403) / 4.0))) << i;
    }
    // The top-left edge of a video pixel lands on its first screen pixel.
    EXPECT_DOUBLE_EQ(view.toView({251, 101}).x, 251 * 4 - 1001);
    EXPECT_DOUBLE_EQ(view.toView({251, 101}).y, 101 * 4 - 403);
}
