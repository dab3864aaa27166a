// Calibration, clock, table and export text, without any video.
#include "measure/measureerror.h"
#include "measure/measureexport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>

using namespace zorvane;

namespace {

MeasureRow measureRow(std::int32_t frame, double t, double x, double y, std::optional<double> vx,
                      std::optional<double> vy)
{
    MeasureRow row;
    row.frame = frame;
    row.t = t;
    row.x = x;
    row.y = y;
    row.vx = vx;
    row.vy = vy;
    return row;
}

const NumberFormat dotFormat{"."};
const NumberFormat commaFormat{","};

MeasureErrorKind errorOf(const std::function<void()> &action, std::string *message = nullptr)
{
    try {
        action();
    } catch (const MeasureError &error) {
        if (message)
            *message = error.what();
        return error.kind();
    }
    ADD_FAILURE() << "no MeasureError";
    return MeasureErrorKind::WriteFailed;
}

// 0.1 m per pixel: a 3-4-5 triangle of 30 and 40 pixels measures 5 m.
Calibration tenthOfMetre(YAxis axis = YAxis::Up) { return Calibration({0, 0}, {30, 40}, 5.0, {100, 200}, axis); }

TEST(Calibration, ConvertsPixelsToMetresFromTheOriginWithEitherYAxis)
{
    const Calibration up = tenthOfMetre();
    EXPECT_DOUBLE_EQ(up.metresPerPixel(), 0.1);
    const RealPoint rightAbove = up.toMetres({110, 180});
    EXPECT_DOUBLE_EQ(rightAbove.x, 1.0);
    EXPECT_DOUBLE_EQ(rightAbove.y, 2.0);
    const RealPoint origin = up.toMetres({100, 200});
    EXPECT_EQ(origin.x, 0.0);
    EXPECT_EQ(origin.y, 0.0);

    const RealPoint down = tenthOfMetre(YAxis::Down).toMetres({90, 180});
    EXPECT_DOUBLE_EQ(down.x, -1.0);
    EXPECT_DOUBLE_EQ(down.y, -2.0);
}

TEST(Calibration, RefusesWhatMakesNoScaleWithAFrenchMessage)
{
    std::string message;
    EXPECT_EQ(errorOf([] { Calibration({5, 7}, {5, 7}, 1.0, {0, 0}); }, &message), MeasureErrorKind::SamePoints);
    EXPECT_NE(message.find("confondus"), std::string::npos) << message;
    EXPECT_EQ(errorOf(
                  [] {
                      Calibration({0, 0}, {10, 0}, 0.0, {0, 0});
                  },
                  &message),
              MeasureErrorKind::DistanceNotPositive);
    EXPECT_NE(message.find("plus grande que zéro"), std::string::npos) << message;
    EXPECT_EQ(errorOf([] { Calibration({0, 0}, {10, 0}, -2.0, {0, 0}); }), MeasureErrorKind::DistanceNotPositive);
    EXPECT_EQ(errorOf([] {
                  Calibration({0, 0}, {10, 0}, std::nan(""), {0, 0});
              }),
              MeasureErrorKind::DistanceNotPositive);
    EXPECT_EQ(errorOf([] { Calibration({0, 0}, {10, 0}, 2e9, {0, 0}); }), MeasureErrorKind::DistanceTooLarge);
    // The ends of the 32-bit range are far apart, not an overflow.
    const Calibration wide({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, 1.0, {0, 0});
    EXPECT_GT(wide.metresPerPixel(), 0.0);
    EXPECT_TRUE(std::isfinite(wide.toMetres({INT32_MAX, INT32_MAX}).y));
}

TEST(Calibration, DistanceTakesADotOrACommaAsDecimalSeparator)
{
    EXPECT_DOUBLE_EQ(parseDistance("0,5", commaFormat), 0.5);
    EXPECT_DOUBLE_EQ(parseDistance(" 1.25 ", dotFormat), 1.25);
    EXPECT_DOUBLE_EQ(parseDistance("2", dotFormat), 2.0);

    EXPECT_DOUBLE_EQ(parseDistance("0,5", dotFormat), 0.5) << "a comma in a dot locale must not read as 5";

    std::string message;
    EXPECT_EQ(errorOf([] { parseDistance("0;5", dotFormat); }, &message), MeasureErrorKind::DistanceNotNumber);
    EXPECT_NE(message.find("« 0;5 » n'est pas un nombre"), std::string::npos) << message;
    EXPECT_NE(message.find("0.5"), std::string::npos) << "the example uses the locale's separator: " << message;
    EXPECT_EQ(errorOf([] { parseDistance("1 000", commaFormat); }), MeasureErrorKind::DistanceNotNumber);
    for (const char *text : {"", "abc", "nan", "NaN", "inf", "1e400", "1.5m", "--1"})
        EXPECT_EQ(errorOf([&] { parseDistance(text, dotFormat); }), MeasureErrorKind::DistanceNotNumber) << text;
    for (const char *text : {"0", "-0", "-0.5", "0.0"})
        EXPECT_EQ(errorOf([&] { parseDistance(text, dotFormat); }), MeasureErrorKind::DistanceNotPositive) << text;
}

TEST(FrameClock, VideoTimesAreSlowedDownByTheFactorAndEndWithTheVideo)
{
    const FrameClock normal = FrameClock::fromFrameTimes({0, 10, 30, 60});
    EXPECT_EQ(normal.source(), TimeSource::VideoFrameTimes);
    EXPECT_DOUBLE_EQ(*normal.seconds(2), 0.030);
    EXPECT_FALSE(normal.seconds(4)) << "the track's entry past the last frame has no time";
    EXPECT_FALSE(normal.seconds(-1));
    EXPECT_EQ(normal.description(commaFormat), "Temps : horodatage des images de la vidéo");

    // 240 images per second played at 30: each video second is an eighth of a real one.
    const FrameClock slowMotion = FrameClock::fromFrameTimes({0, 1000.0 / 30, 2000.0 / 30}, 8);
    EXPECT_DOUBLE_EQ(*slowMotion.seconds(2), 2.0 / 240);
    EXPECT_EQ(slowMotion.description(commaFormat), "Temps : horodatage des images de la vidéo, ralenti × 8");
    const FrameClock timeLapse = FrameClock::fromFrameTimes({0, 40}, 0.5);
    EXPECT_DOUBLE_EQ(*timeLapse.seconds(1), 0.080);
    EXPECT_EQ(timeLapse.description(commaFormat), "Temps : horodatage des images de la vidéo, ralenti × 0,5");
}

TEST(FrameClock, TypedStepCountsFramesAndIsNamed)
{
    const FrameClock step = FrameClock::fromStep(12.5);
    EXPECT_EQ(step.source(), TimeSource::TypedStep);
    EXPECT_DOUBLE_EQ(*step.seconds(4), 0.050);
    EXPECT_DOUBLE_EQ(*step.seconds(1'000'000), 12'500.0);
    EXPECT_EQ(step.description(commaFormat), "Temps : pas saisi de 12,5 ms par image");
    EXPECT_FALSE(FrameClock::fromStep(1e308).seconds(1'000'000)) << "an infinite time is no time";

    TimeChoice choice;
    choice.source = TimeSource::TypedStep;
    choice.stepMs = 20;
    EXPECT_DOUBLE_EQ(*clockFor(choice, nullptr).seconds(3), 0.060) << "the step needs no video";
    choice.source = TimeSource::VideoFrameTimes;
    EXPECT_EQ(errorOf([&] { clockFor(choice, nullptr); }), MeasureErrorKind::NeedsVideo);
}

TEST(FrameClock, RefusesFactorsAndStepsThatAreNoTime)
{
    for (double factor : {0.0, -1.0, std::nan(""), HUGE_VAL, 2e6})
        EXPECT_EQ(errorOf([&] { FrameClock::fromFrameTimes({0}, factor); }), MeasureErrorKind::FactorInvalid) << factor;
    for (double step : {0.0, -40.0, std::nan(""), HUGE_VAL})
        EXPECT_EQ(errorOf([&] { FrameClock::fromStep(step); }), MeasureErrorKind::StepInvalid) << step;

    EXPECT_DOUBLE_EQ(parseSlowMotionFactor("0,25", commaFormat), 0.25);
    EXPECT_EQ(errorOf([] { parseSlowMotionFactor("huit", commaFormat); }), MeasureErrorKind::FactorInvalid);
    EXPECT_EQ(errorOf([] { parseSlowMotionFactor("0", commaFormat); }), MeasureErrorKind::FactorInvalid);
    EXPECT_DOUBLE_EQ(parseStepMs("33.3", commaFormat), 33.3) << "read as the sequence save reads it";
    EXPECT_EQ(errorOf([] { parseStepMs("1\u202F000,5", commaFormat); }), MeasureErrorKind::StepInvalid);
    EXPECT_EQ(errorOf([] { parseStepMs("", dotFormat); }), MeasureErrorKind::StepInvalid);
    EXPECT_EQ(errorOf([] { parseStepMs("-40", dotFormat); }), MeasureErrorKind::StepInvalid);
}

PointTrack trackWith(std::int32_t upperBound, const std::vector<std::pair<std::int32_t, TrackPoint>> &points)
{
    PointTrack track;
    track.resize(upperBound);
    for (const auto &[frame, point] : points)
        track.set(frame, point);
    return track;
}

// One metre per pixel, origin at the top left, y down: metres read as pixels.
const Calibration pixelsAsMetres({0, 0}, {1, 0}, 1.0, {0, 0}, YAxis::Down);

TEST(MeasureTable, GapsHaveNoRowAndNeighboursAreTheNearestRecordedFrames)
{
    // x = 10 t + 1, y = t^2 + 1 in a step of 1 s; frames 2 and 5 are gaps.
    const auto at = [](std::int32_t t) { return TrackPoint{10 * t + 1, t * t + 1}; };
    const PointTrack track = trackWith(7, {{0, at(0)}, {1, at(1)}, {3, at(3)}, {4, at(4)}, {6, at(6)}});
    const MeasureTable table = measureTrack(track, pixelsAsMetres, FrameClock::fromStep(1000));

    ASSERT_EQ(table.rows.size(), 5u);
    std::vector<std::int32_t> frames;
    for (const MeasureRow &row : table.rows)
        frames.push_back(row.frame);
    EXPECT_EQ(frames, (std::vector<std::int32_t>{0, 1, 3, 4, 6}));
    EXPECT_FALSE(table.rows.front().vx);
    EXPECT_FALSE(table.rows.front().vy);
    EXPECT_FALSE(table.rows.back().vx);
    EXPECT_FALSE(table.rows.back().vy);
    // Exact for uniform motion and for constant acceleration, across gaps.
    for (std::size_t i = 1; i + 1 < table.rows.size(); ++i) {
        const MeasureRow &row = table.rows[i];
        ASSERT_TRUE(row.vx && row.vy) << "frame " << row.frame;
        EXPECT_NEAR(*row.vx, 10.0, 1e-12) << "frame " << row.frame;
        EXPECT_NEAR(*row.vy, 2.0 * row.t, 1e-12) << "frame " << row.frame;
    }
    EXPECT_EQ(table.pointsWithoutTime, 0);
    // The parabola through each three points: y'' = 2 exactly, x'' = 0.
    for (std::size_t i = 1; i + 1 < table.rows.size(); ++i) {
        EXPECT_NEAR(*table.rows[i].ax, 0.0, 1e-12);
        EXPECT_NEAR(*table.rows[i].ay, 2.0, 1e-12);
        EXPECT_NEAR(*table.rows[i].v, std::hypot(10.0, 2.0 * table.rows[i].t), 1e-12);
    }
}

// A 1 m frictionless pendulum let go at 0.6 rad, filmed at 25 images/s with
// 700 pixels to the metre and clicked to the pixel; y up from its lowest
// point. Em stays within 2 % of its mean, itself m g L (1 - cos 0.6) within 1 %.
TEST(MeasureTable, EnergiesOfAFrictionlessPendulumKeepEmConstant)
{
    constexpr double kLength = 1.0, kStart = 0.6, kG = 9.81, kMass = 0.2, kPixelsPerMetre = 700;
    constexpr int kFrames = 100;
    const PicturePoint pivot{640, 10};
    PointTrack track;
    track.resize(kFrames);
    double angle = kStart, speed = 0, t = 0;
    const double h = 1e-4;
    const auto accel = [&](double a) { return -kG / kLength * std::sin(a); };
    for (int frame = 0; frame < kFrames; ++frame) {
        track.set(frame,
                  {static_cast<std::int32_t>(std::lround(pivot.x + kPixelsPerMetre * kLength * std::sin(angle))),
                   static_cast<std::int32_t>(std::lround(pivot.y + kPixelsPerMetre * kLength * std::cos(angle)))});
        for (const double end = (frame + 1) * 0.04; t < end - h / 2; t += h) { // Runge-Kutta 4
            const double k1a = speed, k1s = accel(angle);
            const double k2a = speed + h / 2 * k1s, k2s = accel(angle + h / 2 * k1a);
            const double k3a = speed + h / 2 * k2s, k3s = accel(angle + h / 2 * k2a);
            const double k4a = speed + h * k3s, k4s = accel(angle + h * k3a);
            angle += h / 6 * (k1a + 2 * k2a + 2 * k3a + k4a);
            speed += h / 6 * (k1s + 2 * k2s + 2 * k3s + k4s);
        }
    }
    const Calibration scale({0, 0}, {700, 0}, 1.0, {pivot.x, pivot.y + 700});
    const MeasureTable table = measureTrack(track, scale, FrameClock::fromStep(40), MassAndGravity{kMass, kG});
    ASSERT_TRUE(table.hasEnergies);
    const double expected = kMass * kG * kLength * (1 - std::cos(kStart));
    std::vector<double> em;
    for (const MeasureRow &row : table.rows) {
        ASSERT_TRUE(row.epp);
        EXPECT_NEAR(*row.epp, kMass * kG * row.y, 1e-12);
        if (!row.em)
            continue;
        EXPECT_NEAR(*row.ec, 0.5 * kMass * *row.v * *row.v, 1e-12);
        em.push_back(*row.em);
    }
    ASSERT_EQ(em.size(), static_cast<std::size_t>(kFrames - 2));
    const double mean = std::accumulate(em.begin(), em.end(), 0.0) / static_cast<double>(em.size());
    EXPECT_NEAR(mean, expected, 0.01 * expected);
    for (double value : em)
        EXPECT_NEAR(value, mean, 0.02 * mean);
    EXPECT_FALSE(measureTrack(track, scale, FrameClock::fromStep(40)).rows[5].em) << "no mass, no energies";
}

TEST(MeasureTable, UnevenFrameTimesAndStillCoordinates)
{
    // y = 5 t^2 at times 0, 0.1, 0.2, 0.4 s; x never moves.
    const std::vector<double> timesMs{0, 100, 200, 400};
    std::vector<std::pair<std::int32_t, TrackPoint>> points;
    for (std::int32_t frame = 0; frame < 4; ++frame) {
        const double t = timesMs[static_cast<std::size_t>(frame)] / 1000;
        points.push_back({frame, {7, static_cast<std::int32_t>(std::lround(5000 * t * t))}});
    }
    points.push_back({4, {7, 9}});
    // Millimetres: 1000 pixels are one metre.
    const Calibration millimetres({0, 0}, {1000, 0}, 1.0, {0, 0}, YAxis::Down);
    const MeasureTable table = measureTrack(trackWith(4, points), millimetres, FrameClock::fromFrameTimes(timesMs));
    ASSERT_EQ(table.rows.size(), 4u);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_NEAR(*table.rows[i].vy, 10 * table.rows[i].t, 1e-9);
        EXPECT_EQ(*table.rows[i].vx, 0.0) << "exactly zero, not rounding noise";
    }
    EXPECT_EQ(table.pointsWithoutTime, 1) << "the entry past the video's last frame";
    EXPECT_EQ(table.timeSource, TimeSource::VideoFrameTimes);
}

TEST(MeasureTable, FewPointsOrNoStorage)
{
    EXPECT_TRUE(measureTrack(PointTrack{}, pixelsAsMetres, FrameClock::fromStep(40)).rows.empty());
    EXPECT_TRUE(measureTrack(trackWith(10, {}), pixelsAsMetres, FrameClock::fromStep(40)).rows.empty());
    const MeasureTable two =
        measureTrack(trackWith(10, {{2, {1, 1}}, {3, {2, 2}}}), pixelsAsMetres, FrameClock::fromStep(40));
    ASSERT_EQ(two.rows.size(), 2u);
    EXPECT_FALSE(two.rows[0].vx || two.rows[1].vx);
}

MeasureTable threeRows()
{
    // 0.5 m per pixel, y up from an origin at (0, 100); 20 ms per frame.
    const Calibration halfMetre({0, 0}, {2, 0}, 1.0, {0, 100});
    return measureTrack(trackWith(4, {{1, {2, 100}}, {2, {3, 99}}, {4, {5, 91}}}), halfMetre, FrameClock::fromStep(20));
}

TEST(MeasureExport, CsvHasTheHeaderAndTheLocalesSeparators)
{
    const MeasureTable table = threeRows();
    EXPECT_EQ(csvText(table, dotFormat), "t (s),x (m),y (m),vx (m/s),vy (m/s)\r\n"
                                         "0.02,1,0,,\r\n"
                                         "0.04,1.5,0.5,25,50\r\n"
                                         "0.08,2.5,4.5,,\r\n");
    EXPECT_EQ(csvText(table, commaFormat), "t (s);x (m);y (m);vx (m/s);vy (m/s)\r\n"
                                           "0,02;1;0;;\r\n"
                                           "0,04;1,5;0,5;25;50\r\n"
                                           "0,08;2,5;4,5;;\r\n");
    EXPECT_EQ(clipboardText(table, commaFormat), "t (s)\tx (m)\ty (m)\tvx (m/s)\tvy (m/s)\n"
                                                 "0,02\t1\t0\t\t\n"
                                                 "0,04\t1,5\t0,5\t25\t50\n"
                                                 "0,08\t2,5\t4,5\t\t\n");
    EXPECT_EQ(csvFieldSeparator(NumberFormat{"\u066B"}), ';');
}

TEST(MeasureExport, NumbersNeverGroupDigitsNorShowNegativeZero)
{
    MeasureTable table;
    table.rows.push_back(measureRow(0, 1234567.0, -0.0, 1.5e-7, -3.25, std::nullopt));
    EXPECT_EQ(csvText(table, commaFormat).substr(csvText(table, commaFormat).find('\n') + 1),
              "1234567;0;1,5E-07;-3,25;\r\n");
}

} // namespace
