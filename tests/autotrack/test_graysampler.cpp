#include "autotrack/graysampler.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>

using namespace zorvane;

namespace {

// The tracker's answers were tuned on OpenCV's warp: its own sampling must
// give the same levels, on grids turned or not, partly or wholly off the
// image, finer or coarser than its pixels. Here they agree to the bit;
// the bound leaves room for another build of OpenCV to round otherwise.
TEST(GraySampler, SamplesAsOpenCvsWarp)
{
    cv::RNG random(11);
    for (int trial = 0; trial < 3000; ++trial) {
        cv::Mat image(random.uniform(2, 90), random.uniform(2, 120), CV_32F);
        random.fill(image, cv::RNG::UNIFORM, 0, 255);
        // At most 1.15 pixels a sample, where the image is not smoothed first.
        const double spacing = trial % 3 == 0 ? 1.0 : random.uniform(0.05, 1.15);
        const double angle = trial % 4 == 0 ? 0.0 : random.uniform(-3.2, 3.2);
        const cv::Size size(random.uniform(1, 70), random.uniform(1, 70));
        const cv::Point2d centre(random.uniform(-1.0, 2.0) * image.cols, random.uniform(-1.0, 2.0) * image.rows);
        const cv::Mat sampled = resampleAbout(image, centre, spacing, size, angle);

        const double c = spacing * std::cos(angle), s = spacing * std::sin(angle);
        const double mx = (size.width - 1) / 2.0, my = (size.height - 1) / 2.0;
        const cv::Matx23d toImage(c, -s, centre.x - c * mx + s * my, s, c, centre.y - s * mx - c * my);
        cv::Mat warped;
        cv::warpAffine(image, warped, toImage, size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_REPLICATE);
        ASSERT_EQ(sampled.size(), warped.size());
        ASSERT_EQ(sampled.type(), warped.type());
        ASSERT_LE(cv::norm(sampled, warped, cv::NORM_INF), 1e-3)
            << "trial " << trial << ": spacing " << spacing << ", angle " << angle;
    }
}

} // namespace
