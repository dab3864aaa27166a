#include "autotrack/correlation.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cstring>

using namespace zorvane;

namespace {

// Grey levels with the range and texture of a frame: smooth shapes and noise.
cv::Mat picture(cv::Size size, int seed)
{
    cv::RNG rng(seed);
    cv::Mat noise(size, CV_32F);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 255);
    cv::Mat smooth;
    cv::GaussianBlur(noise, smooth, cv::Size(), 2.0);
    cv::normalize(smooth, smooth, 20, 230, cv::NORM_MINMAX);
    return smooth + 0.3 * noise;
}

// The tracker's weights: the object's disc, fading out at its edge.
cv::Mat discWeights(int half, double radius)
{
    cv::Mat weights(2 * half + 1, 2 * half + 1, CV_32F);
    for (int y = 0; y < weights.rows; ++y)
        for (int x = 0; x < weights.cols; ++x)
            weights.at<float>(y, x) = static_cast<float>(
                std::clamp((half + 0.5 - std::hypot(x - half, y - half)) / (half - radius), 0.0, 1.0));
    return weights;
}

} // namespace

// Small maps are summed by our own code and large ones by OpenCV: both
// must give the same scores, or the tracker's choices would depend on the
// size of the area it searches.
TEST(Correlation, SmallAndLargeMapsScoreAlike)
{
    for (const int half : {4, 12, 25}) {
        const cv::Mat weights = discWeights(half, 0.7 * half);
        const cv::Mat image = picture(cv::Size(2 * half + 9, 2 * half + 7), half);
        const cv::Mat templ = image(cv::Rect(3, 2, 2 * half + 1, 2 * half + 1)).clone() * 0.8 + 15;
        cv::Mat expected;
        cv::matchTemplate(image, templ, expected, cv::TM_CCOEFF_NORMED, weights);
        const cv::Mat map = correlate(image, templ, weights);
        ASSERT_EQ(map.size(), expected.size());
        EXPECT_LT(cv::norm(map, expected, cv::NORM_INF), 2e-4) << "half side " << half;
        cv::Point best;
        cv::minMaxLoc(map, nullptr, nullptr, nullptr, &best);
        EXPECT_EQ(best, cv::Point(3, 2));
        EXPECT_NEAR(map.at<float>(2, 3), 1.0, 1e-5);
    }
}

// The tracker reads a few cells around a peak: those alone are worked out,
// and must score as in the whole map.
TEST(Correlation, CellsWorkedOutAloneScoreAsInTheWholeMap)
{
    const int half = 6;
    const cv::Mat weights = discWeights(half, 4);
    const cv::Mat image = picture(cv::Size(2 * half + 8, 2 * half + 8), 3);
    const cv::Mat templ = image(cv::Rect(4, 3, 2 * half + 1, 2 * half + 1)).clone() * 0.9 + 7;
    const cv::Mat whole = correlate(image, templ, weights);
    const cv::Rect cells(2, 1, 5, 5);
    const cv::Mat within = correlateWithin(image, templ, weights, cells);
    ASSERT_EQ(within.size(), whole.size());
    EXPECT_EQ(cv::norm(within(cells), whole(cells), cv::NORM_INF), 0);
}

TEST(Correlation, FlatPlacesScoreLowest)
{
    const int half = 10;
    cv::Mat image = picture(cv::Size(60, 40), 7);
    image(cv::Rect(30, 0, 30, 40)).setTo(255); // a saturated wall
    const cv::Mat templ = picture(cv::Size(2 * half + 1, 2 * half + 1), 8);
    const cv::Mat map = correlate(image, templ, discWeights(half, 7));
    for (int x = 30; x < map.cols; ++x)
        EXPECT_EQ(map.at<float>(0, x), -1.f) << x;
    double lowest, highest;
    cv::minMaxLoc(map(cv::Rect(0, 0, 9, map.rows)), &lowest, &highest);
    EXPECT_GT(lowest, -1.0);
    EXPECT_LT(highest, 1.0);
    const cv::Mat flat(2 * half + 1, 2 * half + 1, CV_32F, cv::Scalar(90));
    EXPECT_EQ(cv::countNonZero(correlate(image, flat, discWeights(half, 7)) != -1), 0);
}

// Two cells summed at once in wide registers must score to the bit as the
// four-lane sums do, whatever is left over of a template row past its
// groups of four, and for an odd count of cells.
TEST(Correlation, WideSumsScoreAsFourLaneSums)
{
    if (!hasWiderSums())
        GTEST_SKIP() << "the processor has no wider sums";
    for (const cv::Size size :
         {cv::Size(2, 3), cv::Size(3, 3), cv::Size(4, 5), cv::Size(6, 4), cv::Size(13, 13), cv::Size(27, 27)}) {
        const cv::Mat image = picture(cv::Size(size.width + 6, size.height + 4), size.width);
        const cv::Mat templ = image(cv::Rect(2, 1, size.width, size.height)).clone() * 0.7 + 11;
        cv::Mat weights = picture(size, size.height) / 255;
        weights.at<float>(0, 0) = 0;
        const cv::Rect cells(0, 0, 7, 5);
        const cv::Mat wide = correlateWithin(image, templ, weights, cells, SumWidth::Widest);
        const cv::Mat fourLanes = correlateWithin(image, templ, weights, cells, SumWidth::FourLanes);
        ASSERT_EQ(wide.size(), fourLanes.size());
        EXPECT_EQ(std::memcmp(wide.data, fourLanes.data, wide.total() * wide.elemSize()), 0) << size;
        EXPECT_GT(cv::countNonZero(wide != -1), 0) << size;
    }
}
