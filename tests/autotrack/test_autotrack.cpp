#include "autotrack/autotracker.h"
#include "autotrack/motionmodel.h"
#include "trackcorpus.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;
using namespace zorvane::testing;

namespace {

RgbImage flatFrame(int width, int height, std::uint8_t grey)
{
    return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3, grey)};
}

TEST(AutoTrackStart, RejectsPointsOutsideThePictureAndBrokenFrames)
{
    const RgbImage frame = flatFrame(64, 48, 100);
    for (auto [x, y] : {std::pair{-0.6, 10.0}, {63.5, 10.0}, {10.0, 47.5}, {10.0, -1.0}, {NAN, 3.0}}) {
        try {
            AutoTracker tracker(frame, x, y);
            ADD_FAILURE() << "accepted " << x << ", " << y;
        } catch (const AutoTrackError &error) {
            EXPECT_EQ(error.kind(), AutoTrackErrorKind::PointOutside);
        }
    }
    // The picture's border pixels are inside.
    EXPECT_NO_THROW(AutoTracker(frame, -0.5, 47.4));

    RgbImage broken = frame;
    broken.pixels.pop_back();
    try {
        AutoTracker tracker(broken, 5, 5);
        ADD_FAILURE() << "accepted a frame short of pixels";
    } catch (const AutoTrackError &error) {
        EXPECT_EQ(error.kind(), AutoTrackErrorKind::BadFrame);
    }
}

TEST(AutoTrackStart, FlatWallIsLostAtOnceAndStaysLost)
{
    const RgbImage wall = flatFrame(320, 240, 128);
    AutoTracker tracker(wall, 160, 120);
    EXPECT_FALSE(tracker.hasTarget());
    EXPECT_EQ(tracker.next(wall).state, TrackStep::State::Lost);
    EXPECT_EQ(tracker.next(wall).state, TrackStep::State::Lost);
}

TEST(AutoTrackStart, FrameOfAnotherSizeIsRefused)
{
    const auto corpus = makeCorpusCase("throw720", 2);
    AutoTracker tracker(corpus->frame(0), corpus->clickX(), corpus->clickY());
    try {
        tracker.next(flatFrame(64, 48, 0));
        ADD_FAILURE() << "accepted a smaller frame";
    } catch (const AutoTrackError &error) {
        EXPECT_EQ(error.kind(), AutoTrackErrorKind::SizeChanged);
    }
}

} // namespace
