// A ball and a cart moving at constant speeds, measured from the cart: the
// velocity is the ball's own minus the cart's, in the core and through
// zorvane-inspect, which finds the points beside A and the moving origin
// in the files beside the sequence. A cart on a slope, measured with the x
// axis along it.
#include "measure/measureerror.h"
#include "measure/measureexport.h"
#include "measure/sidecar.h"
#include "support/media.h"
#include "support/tempfolder.h"
#include "track/companionfile.h"
#include "track/sequencefile.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zorvane;
using zorvane::testing::runProgram;

namespace {

const std::string kInspect = ZORVANE_INSPECT_PATH;
constexpr std::int32_t kLast = 30;
constexpr double kStepMs = 20;
constexpr double kPixelsPerMetre = 200;
// Pixels per frame: integers, so that no click rounds.
constexpr int kBallStep = 6;
constexpr int kCartStep = 2;
constexpr double kRelativeVx = (kBallStep - kCartStep) * (1000 / kStepMs) / kPixelsPerMetre; // 1 m/s

struct Scene {
    PointTrack ball;
    PointSet others; // B: the cart
};

Scene scene()
{
    Scene made;
    made.ball.resize(kLast);
    made.others.add(kLast);
    for (std::int32_t frame = 0; frame <= kLast; ++frame) {
        made.ball.set(frame, {100 + kBallStep * frame, 40 + frame * frame});
        made.others.track(1).set(frame, {50 + kCartStep * frame, 300});
    }
    made.ball.set(7, {}); // a missed click
    return made;
}

MeasureSettings settingsFromB()
{
    TimeChoice time;
    time.source = TimeSource::TypedStep;
    time.stepMs = kStepMs;
    MeasureSettings settings{
        {"video.avi", 1000, kLast + 1}, Calibration({0, 600}, {400, 600}, 400 / kPixelsPerMetre, {10, 500}), time, {}};
    settings.movingOrigin = 1;
    return settings;
}

using MovingFrame = zorvane::testing::TempFolderTest;

} // namespace

TEST_F(MovingFrame, VelocityInTheCartsFrameIsTheBallsOwnMinusTheCarts)
{
    const Scene made = scene();
    const MeasureSettings settings = settingsFromB();
    const MeasureTable table =
        measureTrack(made.ball, settings.calibration, FrameClock::fromStep(kStepMs), {}, &made.others.track(1));
    ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(kLast)) << "every frame but the missed one";
    EXPECT_DOUBLE_EQ(table.rows.front().x, (100 - 50) / kPixelsPerMetre) << "from the cart, not the fixed origin";
    EXPECT_DOUBLE_EQ(table.rows.front().y, (300 - 40) / kPixelsPerMetre);
    int velocities = 0;
    for (const MeasureRow &row : table.rows) {
        if (!row.vx)
            continue;
        ++velocities;
        EXPECT_NEAR(*row.vx, kRelativeVx, 0.01 * kRelativeVx) << "frame " << row.frame;
    }
    EXPECT_EQ(velocities, kLast - 2);
}

TEST_F(MovingFrame, TheOriginIsKeptInTheCalibrationFileAndInspectMeasuresEveryPointFromIt)
{
    const Scene made = scene();
    const auto sequence = file("throw.txt");
    saveSequence(sequence, made.ball, "20", NumberFormat{});
    saveCompanion(companionPath(sequence), made.ball, made.others, kStepMs, NumberFormat{});
    const MeasureSettings settings = settingsFromB();
    saveSidecar(sidecarPath(sequence), settings);
    EXPECT_EQ(readFile(sidecarPath(sequence)).substr(0, 21), "zorvane-etalonnage 3\n");
    EXPECT_EQ(readSidecar(sidecarPath(sequence)), settings);
    MeasureSettings fixed = settings;
    fixed.movingOrigin = 0;
    saveSidecar(file("fixed.etalonnage"), fixed);
    EXPECT_EQ(readFile(file("fixed.etalonnage")).substr(0, 21), "zorvane-etalonnage 1\n") << "as before";

    std::string output;
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string()}, &output), 0) << output;
    const MeasureTable expected =
        measureTrack(made.ball, settings.calibration, FrameClock::fromStep(kStepMs), {}, &made.others.track(1));
    EXPECT_EQ(output, csvText(expected, NumberFormat{})) << "B is the origin, so only A is printed";

    // With the fixed origin, the cart is printed after A.
    saveSidecar(sidecarPath(sequence), fixed);
    output.clear();
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string()}, &output), 0) << output;
    const FrameClock clock = FrameClock::fromStep(kStepMs);
    EXPECT_EQ(output, csvText(measureTrack(made.ball, fixed.calibration, clock), NumberFormat{}) + "point B\n"
                          + csvText(measureTrack(made.others.track(1), fixed.calibration, clock), NumberFormat{}));

    writeFile("throw.points.tsv", "t (ms)\tXA\tYA\tXB\tYB\n0\t1\t2\t3\n");
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string()}, &output), 1) << "a damaged points file";
}

// A 3-4-5 slope going down to the right: x along it, y a quarter turn away.
TEST_F(MovingFrame, AnXAxisAlongTwoPointsMeasuresAlongTheSlopeAndKeepsTheHeightForTheEnergy)
{
    const AxisPoints slope{{100, 100}, {180, 160}};
    const Calibration up({0, 0}, {100, 0}, 1.0, {100, 100}, YAxis::Up, slope);
    PointTrack cart;
    cart.resize(10);
    for (std::int32_t frame = 0; frame <= 10; ++frame)
        cart.set(frame, {100 + 8 * frame, 100 + 6 * frame}); // 10 px a frame down the slope
    const MeasureTable table = measureTrack(cart, up, FrameClock::fromStep(100), {2.0, 10.0});
    ASSERT_EQ(table.rows.size(), 11U);
    for (const MeasureRow &row : table.rows) {
        EXPECT_NEAR(row.x, 0.1 * row.frame, 1e-12);
        EXPECT_NEAR(row.y, 0, 1e-12);
        EXPECT_NEAR(*row.epp, 2.0 * 10.0 * -0.06 * row.frame, 1e-12) << "height is up the picture, not y";
        if (row.vx) {
            EXPECT_NEAR(*row.vx, 1.0, 1e-12);
            EXPECT_NEAR(*row.vy, 0, 1e-12);
        }
    }
    // Above the slope is +y with y up, -y with y down.
    const RealPoint above = up.toMetres({100 + 3, 100 - 4});
    EXPECT_NEAR(above.x, 0, 1e-12);
    EXPECT_NEAR(above.y, 0.05, 1e-12);
    const Calibration down({0, 0}, {100, 0}, 1.0, {100, 100}, YAxis::Down, slope);
    EXPECT_NEAR(down.toMetres({100 + 3, 100 - 4}).y, -0.05, 1e-12);
    EXPECT_THROW(Calibration({0, 0}, {100, 0}, 1.0, {0, 0}, YAxis::Up, AxisPoints{{5, 5}, {5, 5}}), MeasureError);

    // Kept as version 4 only when used; back exactly, and refused by a version 3 reader's rules.
    MeasureSettings settings = settingsFromB();
    settings.calibration = Calibration({0, 600}, {400, 600}, 2.0, {10, 500}, YAxis::Up, slope);
    const auto path = file("slope.etalonnage");
    saveSidecar(path, settings);
    const std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, 21), "zorvane-etalonnage 4\n");
    EXPECT_TRUE(text.ends_with("referentiel B\naxe-x 100 100 180 160\n")) << text;
    EXPECT_EQ(readSidecar(path), settings);
    writeFile("old.etalonnage", "zorvane-etalonnage 3" + text.substr(20));
    EXPECT_THROW(readSidecar(file("old.etalonnage")), SidecarError);
    std::string same = text;
    same.replace(same.find("180 160"), 7, "100 100");
    writeFile("same.etalonnage", same);
    try {
        readSidecar(file("same.etalonnage"));
        ADD_FAILURE() << "two equal axis points read";
    } catch (const SidecarError &error) {
        EXPECT_EQ(error.problem().refusedAs, MeasureErrorKind::SameAxisPoints);
    }
}

TEST_F(MovingFrame, AnOriginOnAPointThatDoesNotExistIsRefusedByName)
{
    const Scene made = scene();
    const MeasureSettings settings = settingsFromB();
    const FrameClock clock = FrameClock::fromStep(kStepMs);
    EXPECT_EQ(measurePoint(made.ball, made.others, 0, settings.calibration, 1, clock).rows.size(),
              measureTrack(made.ball, settings.calibration, clock, {}, &made.others.track(1)).rows.size());
    try {
        measurePoint(made.ball, made.others, 0, settings.calibration, 2, clock);
        ADD_FAILURE() << "measured from a point C nobody follows";
    } catch (const MeasureError &error) {
        EXPECT_EQ(error.kind(), MeasureErrorKind::NoOriginPoint);
        EXPECT_NE(std::string(error.what()).find("point C"), std::string::npos) << error.what();
    }
}
