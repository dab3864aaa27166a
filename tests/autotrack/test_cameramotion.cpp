#include "autotrack/cameramotion.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

using namespace zorvane;

namespace {

const Vec2 kFarAway{-1000, -1000};

// A plain wall with one small poster in each part of the picture, none of
// them where a regular grid of patches would fall.
cv::Mat wallWithPosters(cv::Point shift)
{
    cv::Mat wall(360, 640, CV_8UC1, cv::Scalar(120));
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 4; ++i) {
            const cv::Point corner(60 + 150 * i + 37 * (j % 2) + shift.x, 50 + 110 * j + 23 * (i % 2) + shift.y);
            cv::rectangle(wall, cv::Rect(corner, cv::Size(14, 10)), cv::Scalar(30 + 15 * i), cv::FILLED);
            cv::circle(wall, corner + cv::Point(18, 16), 4, cv::Scalar(220), cv::FILLED);
        }
    }
    return wall;
}

// Blotchy texture everywhere, moved by a fraction of a pixel.
cv::Mat texturedWallMovedBy(double dx, double dy)
{
    static const cv::Mat texture = [] {
        cv::Mat noise(400, 680, CV_8UC1);
        cv::randu(noise, 0, 255);
        cv::GaussianBlur(noise, noise, cv::Size(0, 0), 2.5);
        cv::normalize(noise, noise, 40, 210, cv::NORM_MINMAX);
        return noise;
    }();
    const cv::Mat move = (cv::Mat_<double>(2, 3) << 1, 0, dx - 20, 0, 1, dy - 20);
    cv::Mat moved;
    cv::warpAffine(texture, moved, move, cv::Size(640, 360), cv::INTER_CUBIC);
    return moved;
}

// A sign of textured spots on a plain wall, moved by `sign`.
cv::Mat wallWithMovingSign(const std::vector<cv::Point> &spots, cv::Point sign)
{
    cv::Mat wall(360, 640, CV_8UC1, cv::Scalar(120));
    for (const cv::Point spot : spots) {
        cv::rectangle(wall, cv::Rect(spot + sign, cv::Size(14, 10)), cv::Scalar(30), cv::FILLED);
        cv::circle(wall, spot + sign + cv::Point(18, 16), 4, cv::Scalar(220), cv::FILLED);
    }
    return wall;
}

// A chequerboard of 10 px squares all over, the posters on it.
cv::Mat chequeredWallWithPosters(cv::Point shift)
{
    cv::Mat wall = wallWithPosters(shift);
    for (int y = 0; y < wall.rows; ++y)
        for (int x = 0; x < wall.cols; ++x)
            if (wall.at<uchar>(y, x) == 120 && ((x - shift.x) / 10 + (y - shift.y) / 10) % 2 == 0)
                wall.at<uchar>(y, x) = 150;
    return wall;
}

} // namespace

TEST(CameraMotion, PanOverAPlainWallIsMeasuredOnItsFewTexturedSpots)
{
    CameraMotion camera(12, 16);
    EXPECT_EQ(camera.measure(wallWithPosters({0, 0}), kFarAway, 5).x, 0);
    // The posters slide far from where the patches were first chosen: the
    // pan is followed on every frame all the same.
    cv::Point at(0, 0);
    for (int frame = 0; frame < 30; ++frame) {
        at += cv::Point(4, 1);
        const Vec2 step = camera.measure(wallWithPosters(at), kFarAway, 5);
        EXPECT_NEAR(step.x, 4, 0.2) << frame;
        EXPECT_NEAR(step.y, 1, 0.2) << frame;
    }
}

// Two views measure on one frame and share its patches, each leaving out
// those its own object may cover: each measures as it would alone.
TEST(CameraMotion, ViewsSharingAFrameMeasureAsEachAlone)
{
    const Vec2 object{330, 170};
    CameraMotion clear(12, 16), covered(12, 16), clearAlone(12, 16), coveredAlone(12, 16);
    cv::Point at(0, 0);
    for (int frame = 0; frame < 12; ++frame, at += cv::Point(4, 1)) {
        const cv::Mat picture = wallWithPosters(at);
        const CameraFrame shared(picture);
        const Vec2 first = covered.measure(shared, object, 40), second = clear.measure(shared, kFarAway, 5);
        const Vec2 firstAlone = coveredAlone.measure(picture, object, 40);
        const Vec2 secondAlone = clearAlone.measure(picture, kFarAway, 5);
        EXPECT_EQ(first.x, firstAlone.x) << frame;
        EXPECT_EQ(first.y, firstAlone.y) << frame;
        EXPECT_EQ(second.x, secondAlone.x) << frame;
        EXPECT_EQ(second.y, secondAlone.y) << frame;
    }
}

TEST(CameraMotion, SlowPanAddsUpAndStillPictureStaysStill)
{
    CameraMotion camera(12, 16);
    Vec2 total;
    for (int frame = 0; frame <= 80; ++frame) {
        const Vec2 step = camera.measure(texturedWallMovedBy(0.12 * frame, -0.05 * frame), kFarAway, 5);
        total.x += step.x, total.y += step.y;
    }
    EXPECT_NEAR(total.x, 9.6, 0.3);
    EXPECT_NEAR(total.y, -4.0, 0.3);
    for (int frame = 0; frame < 20; ++frame) {
        const Vec2 step = camera.measure(texturedWallMovedBy(9.6, -4.0), kFarAway, 5);
        EXPECT_EQ(step.x, 0);
        EXPECT_EQ(step.y, 0);
    }
}

TEST(CameraMotion, ThingsMovingInAStillPictureAreNotTheCamera)
{
    // Two patches that agree, or several close together, may lie on one
    // thing that moves.
    const std::vector<std::vector<cv::Point>> signs{{{150, 90}, {420, 100}},
                                                    {{120, 80}, {180, 130}, {240, 80}, {180, 190}}};
    for (const std::vector<cv::Point> &spots : signs) {
        CameraMotion camera(12, 16);
        for (int frame = 0; frame < 4; ++frame) {
            const Vec2 step = camera.measure(wallWithMovingSign(spots, {5 * frame, 0}), kFarAway, 5);
            EXPECT_EQ(step.x, 0) << spots.size() << " spots, frame " << frame;
            EXPECT_EQ(step.y, 0) << spots.size() << " spots, frame " << frame;
        }
    }
}

TEST(CameraMotion, RepeatingTextureIsNotTakenForAShift)
{
    // Panned 6 px over squares of 10, the squares match 4 px the other way
    // as well: the pan is measured right, or not at all.
    CameraMotion camera(12, 16);
    camera.measure(chequeredWallWithPosters({0, 0}), kFarAway, 5);
    for (int frame = 1; frame <= 3; ++frame) {
        const Vec2 step = camera.measure(chequeredWallWithPosters({6 * frame, 0}), kFarAway, 5);
        const bool still = step.x == 0 && step.y == 0;
        EXPECT_TRUE(still || std::hypot(step.x - 6, step.y) < 0.2) << frame << ": " << step.x << ", " << step.y;
    }
}
