#include "autotrack/colourprojection.h"
#include "autotrack/graysampler.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace zorvane;

namespace {

// A disc on a background of about its brightness, both with some grain.
cv::Mat discOn(cv::Vec3b disc, cv::Vec3b background)
{
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(background[0], background[1], background[2]));
    cv::circle(frame, cv::Point(80, 60), 14, cv::Scalar(disc[0], disc[1], disc[2]), -1, cv::LINE_AA);
    cv::Mat grain(frame.size(), CV_8UC3);
    cv::randn(grain, cv::Scalar::all(0), cv::Scalar::all(3));
    cv::Mat noisy;
    cv::add(frame, grain, noisy, cv::noArray(), CV_8UC3);
    return noisy;
}

double contrast(const cv::Mat &gray)
{
    return std::abs(static_cast<double>(gray.at<std::uint8_t>(60, 80)) - gray.at<std::uint8_t>(60, 20));
}

TEST(ColourProjection, SetsApartAnObjectOfItsBackgroundsBrightness)
{
    // Red on green, the same luminance within a few grey levels.
    const cv::Mat frame = discOn({200, 60, 60}, {70, 130, 50});
    cv::Mat luminance;
    cv::cvtColor(frame, luminance, cv::COLOR_RGB2GRAY);
    ASSERT_LT(contrast(luminance), 15);
    const ColourProjection projection = projectionFor(frame, {80, 60}, 14);
    EXPECT_FALSE(projection.luminance);
    const cv::Mat projected = toGray(frame, projection);
    ASSERT_EQ(projected.type(), CV_8UC1);
    EXPECT_GT(contrast(projected), 40);
    // The object's contrast shows on the disc, not beside it or off the picture.
    const double onDisc = std::abs(contrastAt(projected, {80, 60}, 14));
    EXPECT_GT(onDisc, 30);
    EXPECT_LT(std::abs(contrastAt(projected, {125, 60}, 14)), 0.5 * onDisc);
    EXPECT_EQ(contrastAt(projected, {-200, -200}, 14), 0);
    // Read from the colour frame area by area, the same grey levels.
    EXPECT_EQ(contrastAt(frame, {80, 60}, 14, projection), contrastAt(projected, {80, 60}, 14));
    const cv::Mat sampled = GraySampler(frame, projection).sample({75.3, 58.6}, 1.7, {21, 21}, 0.3);
    EXPECT_EQ(cv::norm(sampled, GraySampler(projected).sample({75.3, 58.6}, 1.7, {21, 21}, 0.3), cv::NORM_INF), 0);
}

TEST(ColourProjection, KeepsLuminanceWhereColourAddsNothing)
{
    EXPECT_TRUE(projectionFor(discOn({200, 200, 200}, {60, 60, 60}), {80, 60}, 14).luminance);
    EXPECT_TRUE(projectionFor(discOn({128, 128, 128}, {128, 128, 128}), {80, 60}, 14).luminance);
    // A grey frame is left as it is.
    const cv::Mat gray(10, 10, CV_8UC1, cv::Scalar(7));
    EXPECT_EQ(toGray(gray, ColourProjection{}).data, gray.data);
}

TEST(ColourProjection, ProjectsEveryPixelOntoTheAxis)
{
    // A width that leaves pixels over after whole vectors, and weights of
    // both signs with the offset that keeps the result in range.
    cv::Mat frame(3, 37, CV_8UC3);
    cv::randu(frame, 0, 256);
    frame.at<cv::Vec3b>(0, 0) = {255, 0, 255};
    frame.at<cv::Vec3b>(0, 36) = {0, 255, 0};
    ColourProjection projection;
    projection.luminance = false;
    projection.weights = {0.5f, -0.3f, 0.2f};
    projection.offset = 0.3f * 255;
    const cv::Mat projected = toGray(frame, projection);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const cv::Vec3b pixel = frame.at<cv::Vec3b>(y, x);
            const double expected = 0.5 * pixel[0] - 0.3 * pixel[1] + 0.2 * pixel[2] + 0.3 * 255;
            EXPECT_NEAR(projected.at<std::uint8_t>(y, x), expected, 0.51) << x << "," << y;
        }
}

} // namespace
