#include "autotrack/backgroundmodel.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using namespace zorvane;

namespace {

// A textured wall seen by a camera looking at `camera` (world = picture +
// camera), with a bright disc at world point `disc` (none when NaN).
cv::Mat scene(Vec2 camera, Vec2 disc, double radius = 12, double light = 1)
{
    cv::Mat frame(240, 320, CV_8U);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const double wx = x + camera.x, wy = y + camera.y;
            frame.at<std::uint8_t>(y, x) =
                cv::saturate_cast<std::uint8_t>(light * (100 + 30 * std::sin(wx * 0.21) * std::cos(wy * 0.17)));
        }
    if (!std::isnan(disc.x))
        cv::circle(frame, cv::Point2d(disc.x - camera.x, disc.y - camera.y), static_cast<int>(radius), cv::Scalar(230),
                   cv::FILLED);
    return frame;
}

TEST(BackgroundModel, MedianIsTheMiddleValueOfEverySampleForAnyNumberOfLayers)
{
    cv::RNG random(7);
    for (int count = 1; count <= 12; ++count) {
        std::vector<cv::Mat> layers;
        for (int i = 0; i < count; ++i) {
            cv::Mat layer(5, 7, CV_32F);
            random.fill(layer, cv::RNG::UNIFORM, 0, 255);
            layers.push_back(layer);
        }
        double noise = 0;
        const cv::Mat median = medianOf(layers, &noise);
        for (int y = 0; y < median.rows; ++y)
            for (int x = 0; x < median.cols; ++x) {
                std::vector<float> values;
                for (const cv::Mat &layer : layers)
                    values.push_back(layer.at<float>(y, x));
                std::sort(values.begin(), values.end());
                ASSERT_EQ(median.at<float>(y, x), values[values.size() / 2]) << count << " layers at " << x << "," << y;
            }
    }
}

TEST(BackgroundModel, FindsTheMovingDiscUnderAMovingCameraAndNothingWhereTheWallIsBare)
{
    BackgroundModel model(10, 4, 6, 3.5);
    const auto camera = [](int t) { return Vec2{2.0 * t, std::sin(t * 0.7) * 3}; };
    const auto disc = [](int t) { return Vec2{60.0 + 9 * t, 120.0 + 2 * t}; };
    const Vec2 now = disc(20);
    const cv::Mat frame = scene(camera(20), now);
    const Vec2 inPicture{now.x - camera(20).x, now.y - camera(20).y};
    // Too few frames without the disc there: no telling.
    EXPECT_FALSE(model.blobAt(frame, camera(20), inPicture, 1, 30, 4, 12).known);
    for (int t = 0; t < 20; t += 2)
        model.add(scene(camera(t), disc(t)), camera(t), disc(t), 12);

    const BackgroundModel::Finding found = model.blobAt(frame, camera(20), inPicture, 1, 30, 4, 12);
    ASSERT_TRUE(found.known);
    ASSERT_TRUE(found.blob);
    EXPECT_NEAR(found.blob->centre.x, std::round(inPicture.x), 0.5);
    EXPECT_NEAR(found.blob->centre.y, std::round(inPicture.y), 0.5);
    EXPECT_NEAR(found.blob->area, 3.14159 * 12 * 12, 60);

    const BackgroundModel::Finding bare =
        model.blobAt(frame, camera(20), {inPicture.x, inPicture.y - 70}, 1, 30, 4, 12);
    EXPECT_TRUE(bare.known);
    EXPECT_FALSE(bare.blob);

    // Searched for around its path, it is the one region there.
    const std::vector<Blob> around = model.blobsAround(frame, camera(20), {inPicture.x - 20, inPicture.y}, 1, 60, 12);
    ASSERT_EQ(around.size(), 1u);
    EXPECT_NEAR(around[0].centre.x, found.blob->centre.x, 1e-9);
}

TEST(BackgroundModel, TheWallDoesNotMoveWhenTheCameraOpensUp)
{
    BackgroundModel model(10, 4, 6, 3.5);
    const auto disc = [](int t) { return Vec2{60.0 + 9 * t, 120.0}; };
    for (int t = 0; t < 20; t += 2)
        model.add(scene({}, disc(t)), {}, disc(t), 12);
    const cv::Mat frame = scene({}, disc(20), 12, 1.3); // the camera opened up

    const BackgroundModel::Finding found = model.blobAt(frame, {}, disc(20), 1, 30, 4, 12);
    ASSERT_TRUE(found.known);
    ASSERT_TRUE(found.blob);
    EXPECT_NEAR(found.blob->centre.x, disc(20).x, 0.5);
    EXPECT_NEAR(found.blob->area, 3.14159 * 12 * 12, 60);
    const BackgroundModel::Finding bare = model.blobAt(frame, {}, {disc(20).x, disc(20).y - 70}, 1, 30, 4, 12);
    EXPECT_TRUE(bare.known);
    EXPECT_FALSE(bare.blob);

    const std::vector<Blob> everywhere = model.blobsEverywhere(frame, {}, 4);
    ASSERT_EQ(everywhere.size(), 1u);
    EXPECT_NEAR(everywhere[0].centre.x, disc(20).x, 2);
}

TEST(BackgroundModel, FaintSideOfAnObjectWeighsInItsCentre)
{
    BackgroundModel model(10, 4, 6, 3.5);
    const auto disc = [](int t) { return Vec2{60.0 + 9 * t, 120.0}; };
    for (int t = 0; t < 20; t += 2)
        model.add(scene({}, disc(t)), {}, disc(t), 12);
    // Its left half in shade, a few grey levels off the wall: under what
    // counts as clearly moving.
    const Vec2 at = disc(20);
    cv::Mat frame = scene({}, at);
    const cv::Mat wall = scene({}, {NAN, NAN});
    for (int y = 108; y <= 132; ++y)
        for (int x = 48; x < static_cast<int>(at.x); ++x)
            if (std::hypot(x - at.x, y - at.y) <= 12)
                frame.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(wall.at<std::uint8_t>(y, x) + 5);

    const std::optional<Blob> lit = model.blobAt(frame, {}, at, 1, 30, 4, 12).blob;
    ASSERT_TRUE(lit);
    EXPECT_GT(lit->centre.x - at.x, 3); // the lit half alone
    const std::optional<BackgroundModel::Mass> mass = model.differenceAt(frame, {}, at, 24, 1, 12);
    ASSERT_TRUE(mass);
    EXPECT_NEAR(mass->centre.x, at.x, 1.5);
    EXPECT_NEAR(mass->centre.y, at.y, 0.5);
    EXPECT_LT(mass->atBorder, 0.01);
    // Something else moving across the edge of the disc looked at shows there.
    cv::rectangle(frame, cv::Rect(static_cast<int>(at.x) - 10, static_cast<int>(at.y) + 16, 20, 30), cv::Scalar(230),
                  cv::FILLED);
    EXPECT_GT(model.differenceAt(frame, {}, at, 24, 1, 12)->atBorder, 0.05);
}

TEST(BackgroundModel, PictureTooSmallToTellItsLightIsTakenAsItIs)
{
    BackgroundModel model(10, 4, 6, 3.5);
    const cv::Mat tiny(12, 12, CV_8U, cv::Scalar(90));
    for (int t = 0; t < 6; ++t)
        model.add(tiny, {}, Vec2{2.0 + t, 6}, 2);
    const cv::Mat brighter = tiny * 1.5;
    EXPECT_TRUE(model.blobsEverywhere(brighter, {}, 2).empty()); // all of it moves: no telling
    EXPECT_FALSE(model.blobAt(brighter, {}, {6, 6}, 1, 4, 1, 2).known);
}

TEST(BackgroundModel, LightIsComparedOnWhatBothFramesShow)
{
    const Vec2 from{0, 0}, to{37, -11};
    const cv::Mat then = scene(from, {100, 100});
    EXPECT_NEAR(lightChange(scene(to, {150, 90}, 12, 1.3), to, then, from), 1.3, 0.03);
    // A camera turning to a brighter part of the wall (from world x 197
    // on) is no change of light.
    cv::Mat wallThen = then.clone(), wallNow = scene(to, {150, 90});
    wallThen(cv::Rect(197, 0, 123, 240)) += cv::Scalar(40);
    wallNow(cv::Rect(160, 0, 160, 240)) += cv::Scalar(40);
    EXPECT_EQ(lightChange(wallNow, to, wallThen, from), 1);
}

} // namespace
