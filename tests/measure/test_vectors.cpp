// Arrows of the velocities and of their changes over the picture, from the
// table's own velocities, for a throw whose velocities are known exactly.
#include "measure/vectorgeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;

namespace {

// Frame k at (100 + 20 k, 50 + 2 k²) pixels, 100 ms apart: 200 px/s to the
// right, 40 k px/s down, 400 px/s² down. Frame 4 was not clicked.
constexpr int kFrames = 8;
constexpr int kMissing = 4;
double xAt(int k) { return 100 + 20 * k; }
double yAt(int k) { return 50 + 2 * k * k; }

PointTrack throwTrack()
{
    PointTrack track;
    track.resize(kFrames);
    for (int k = 0; k < kFrames; ++k)
        if (k != kMissing)
            track.set(k, TrackPoint{static_cast<std::int32_t>(xAt(k)), static_cast<std::int32_t>(yAt(k))});
    return track;
}

void expectArrow(const PictureArrow &arrow, int frame, double fromX, double fromY, double toX, double toY)
{
    EXPECT_EQ(arrow.frame, frame);
    EXPECT_NEAR(arrow.fromX, fromX, 1e-9) << frame;
    EXPECT_NEAR(arrow.fromY, fromY, 1e-9) << frame;
    EXPECT_NEAR(arrow.toX, toX, 1e-9) << frame;
    EXPECT_NEAR(arrow.toY, toY, 1e-9) << frame;
}

} // namespace

// At half a picture pixel per px/s, or 50 per m/s with 100 pixels a metre,
// every arrow is the same on the picture whichever way the y axis goes.
TEST(VectorGeometry, ArrowsFollowTheTableInEveryUnitAndAxis)
{
    const PointTrack track = throwTrack();
    const FrameClock clock = FrameClock::fromStep(100);
    struct Case {
        MeasureTable table;
        PictureAxes axes;
        double scale;
    };
    const Calibration up({0, 0}, {100, 0}, 1.0, {0, 300}, YAxis::Up);
    const Calibration down({0, 0}, {100, 0}, 1.0, {0, 300}, YAxis::Down);
    const Case cases[] = {
        {measureTrack(track, up, clock), pictureAxesOf(YAxis::Up), 50},
        {measureTrack(track, down, clock), pictureAxesOf(YAxis::Down), 50},
        {measureTrackInPixels(track, 480, clock), pictureAxesOf(YAxis::Up), 0.5},
    };
    const std::vector<int> withVelocity{1, 2, 3, 5, 6};
    for (const Case &c : cases) {
        const std::vector<PictureArrow> velocities = velocityArrows(track, c.table, c.axes, c.scale);
        ASSERT_EQ(velocities.size(), withVelocity.size());
        for (std::size_t i = 0; i < velocities.size(); ++i) {
            const int k = withVelocity[i];
            expectArrow(velocities[i], k, xAt(k), yAt(k), xAt(k) + 100, yAt(k) + 20 * k);
        }
        // Between rows 3 and 5 the change spans two frames, from the middle.
        const std::vector<PictureArrow> changes = velocityChangeArrows(track, c.table, c.axes, c.scale);
        ASSERT_EQ(changes.size(), withVelocity.size() - 1);
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const int k = withVelocity[i];
            const int next = withVelocity[i + 1];
            const double middleX = (xAt(k) + xAt(next)) / 2;
            const double middleY = (yAt(k) + yAt(next)) / 2;
            expectArrow(changes[i], k, middleX, middleY, middleX, middleY + 20 * (next - k));
        }
    }
}

TEST(VectorGeometry, LegendSpeedIsRoundAndScaleIsAPositiveNumber)
{
    EXPECT_DOUBLE_EQ(legendSpeed(50, 40), 1);
    EXPECT_DOUBLE_EQ(legendSpeed(0.5, 40), 100);
    EXPECT_DOUBLE_EQ(legendSpeed(0.3, 40), 200);
    EXPECT_DOUBLE_EQ(legendSpeed(7, 40), 10);
    EXPECT_DOUBLE_EQ(legendSpeed(5000, 40), 0.01);

    const NumberFormat comma{","};
    EXPECT_EQ(parseVectorScale("0,25", comma), 0.25);
    EXPECT_EQ(parseVectorScale(" 50 ", comma), 50);
    for (const char *bad : {"", "abc", "0", "-5", "1e7", "1e-7", "nan"})
        EXPECT_FALSE(parseVectorScale(bad, comma)) << bad;
}
