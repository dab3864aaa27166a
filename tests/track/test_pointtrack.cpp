#include "track/pointtrack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace zorvane;

namespace {

TrackErrorKind errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const TrackError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "no TrackError thrown";
    return TrackErrorKind::NotRepresentable;
}

} // namespace

TEST(PointTrack, HasNoStorageUntilFirstSized)
{
    PointTrack track;
    EXPECT_FALSE(track.hasStorage());
    EXPECT_EQ(errorOf([&] { track.upperBound(); }), TrackErrorKind::NoStorage);
    EXPECT_EQ(errorOf([&] { track.at(0); }), TrackErrorKind::NoStorage);
    EXPECT_EQ(errorOf([&] { recordClick(track, 0, 10.0f, 20.0f); }), TrackErrorKind::NoStorage);
    EXPECT_FALSE(track.find(0).has_value());
    EXPECT_FALSE(track.hasStorage());

    track.resize(0);
    EXPECT_TRUE(track.hasStorage());
    EXPECT_EQ(track.lowerBound(), 0);
    EXPECT_EQ(track.upperBound(), 0);
    EXPECT_EQ(track.at(0), TrackPoint{});
}

TEST(PointTrack, ResizeKeepsWhatFitsAndAddsEmptyEntries)
{
    PointTrack track;
    track.resize(3);
    track.set(2, {5, 6});
    track.set(3, {7, 8});

    track.resize(2);
    EXPECT_EQ(track.upperBound(), 2);
    EXPECT_EQ(track.at(2), (TrackPoint{5, 6}));
    EXPECT_EQ(errorOf([&] { track.at(3); }), TrackErrorKind::OutOfRange);

    track.resize(5);
    EXPECT_EQ(track.at(2), (TrackPoint{5, 6}));
    EXPECT_EQ(track.at(3), TrackPoint{}) << "a dropped entry must not come back";
    EXPECT_EQ(track.at(5), TrackPoint{});
}

TEST(PointTrack, RefusesBadBoundsAndIndexesWithoutChange)
{
    PointTrack track;
    track.resize(4);
    track.set(4, {1, 2});

    EXPECT_EQ(errorOf([&] { track.resize(-1); }), TrackErrorKind::OutOfRange);
    EXPECT_EQ(errorOf([&] { track.resize(PointTrack::kMaxUpperBound + 1); }), TrackErrorKind::OutOfRange);
    EXPECT_EQ(track.upperBound(), 4);
    EXPECT_EQ(track.at(4), (TrackPoint{1, 2}));

    EXPECT_EQ(errorOf([&] { track.at(-1); }), TrackErrorKind::OutOfRange);
    EXPECT_EQ(errorOf([&] { track.set(5, {3, 3}); }), TrackErrorKind::OutOfRange);
    EXPECT_EQ(errorOf([&] { track.setY(std::numeric_limits<std::int32_t>::min(), 3); }), TrackErrorKind::OutOfRange);
    EXPECT_FALSE(track.find(-1).has_value());
    EXPECT_FALSE(track.find(5).has_value());
    EXPECT_EQ(track.find(4), (TrackPoint{1, 2}));
}

TEST(RecordClick, StoresTheRoundedPositionOrChangesNothing)
{
    PointTrack track;
    track.resize(5);
    recordClick(track, 3, 112.5f, 77.5f);
    EXPECT_EQ(track.at(3), (TrackPoint{112, 78}));

    EXPECT_EQ(errorOf([&] { recordClick(track, 3, std::nanf(""), 10.0f); }), TrackErrorKind::NotRepresentable);
    EXPECT_EQ(errorOf([&] { recordClick(track, 3, 10.0f, 3e9f); }), TrackErrorKind::NotRepresentable);
    EXPECT_EQ(track.at(3), (TrackPoint{112, 78})) << "a half-stored click corrupts the point";

    EXPECT_EQ(errorOf([&] { recordClick(track, 6, 1.0f, 1.0f); }), TrackErrorKind::OutOfRange);

    recordClick(track, 3, 0.2f, -0.4f);
    EXPECT_TRUE(track.at(3).isEmpty()) << "a click at (0, 0) reads as no point";
}
