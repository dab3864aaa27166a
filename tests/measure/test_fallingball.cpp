// A ball thrown sideways falls under a known acceleration in a generated
// video with a scale bar; clicking its centres, calibrating on the bar and
// exporting must give back g, with a steady and with a changing frame rate.
#include "measure/measureexport.h"
#include "measure/plotaxis.h"
#include "measure/quantity.h"
#include "measure/sidecar.h"
#include "player/framereader.h"
#include "support/media.h"
#include "track/sequencefile.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

using namespace zorvane;
using zorvane::testing::generateMedia;
using zorvane::testing::mediaDir;
using zorvane::testing::readFileBytes;
using zorvane::testing::runProgram;
using zorvane::testing::writeFileBytes;
namespace fs = std::filesystem;

namespace {

const std::string kInspect = ZORVANE_INSPECT_PATH;
const NumberFormat commaFormat{","};

constexpr double kG = 9.81;             // m/s^2
constexpr double kPixelsPerMetre = 200; // the bar: 400 pixels are 2 m
constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr int kBarRow = 621;
constexpr int kBarLeft = 40;
constexpr int kBarRight = 440;
constexpr int kBallRadius = 10;
constexpr double kFloor = 590; // the last frame's ball is above it

struct Centre {
    double x = 0;
    double y = 0;
};

// Pixels, y down, from the throw.
Centre ballAt(double t) { return {100 + 150 * t, 40 + 0.5 * kG * kPixelsPerMetre * t * t}; }

// Frame times in seconds: a steady 50 images/s, or a phone switching from
// 60 to 30 images/s after frame 20.
double steadyTime(int frame) { return frame / 50.0; }
double switchingTime(int frame) { return frame <= 20 ? frame / 60.0 : 1.0 / 3 + (frame - 20) / 30.0; }

int framesBeforeTheFloor(double (*timeOf)(int))
{
    int frames = 0;
    while (ballAt(timeOf(frames)).y <= kFloor)
        ++frames;
    return frames;
}

void drawFrame(std::vector<std::uint8_t> &rgb, Centre ball)
{
    std::fill(rgb.begin(), rgb.end(), std::uint8_t{225});
    const auto paint = [&](int x, int y, std::array<std::uint8_t, 3> colour) {
        std::copy(colour.begin(), colour.end(), rgb.begin() + (static_cast<std::ptrdiff_t>(y) * kWidth + x) * 3);
    };
    for (int y = kBarRow - 1; y <= kBarRow + 1; ++y)
        for (int x = kBarLeft; x <= kBarRight; ++x)
            paint(x, y, {0, 0, 0});
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (std::hypot(x - ball.x, y - ball.y) <= kBallRadius)
                paint(x, y, {220, 20, 20});
}

// Lossless H.264 in MP4 with a time base that holds 1/60 and 1/30 s exactly.
// `ticks` gives each frame's time in 1/600 s from its number N.
fs::path fallingBallVideo(const std::string &name, double (*timeOf)(int), const std::string &ticks)
{
    const fs::path raw = mediaDir() / (name + ".rgb");
    if (!fs::exists(mediaDir() / name)) {
        std::ofstream out(raw, std::ios::binary);
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
        for (int frame = 0; frame < framesBeforeTheFloor(timeOf); ++frame) {
            drawFrame(rgb, ballAt(timeOf(frame)));
            out.write(reinterpret_cast<const char *>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        }
    }
    const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const fs::path video = generateMedia(name, {"-f",
                                                "rawvideo",
                                                "-pix_fmt",
                                                "rgb24",
                                                "-video_size",
                                                size,
                                                "-framerate",
                                                "60",
                                                "-i",
                                                raw.string(),
                                                "-vf",
                                                "settb=1/600,setpts='" + ticks + "'",
                                                "-enc_time_base",
                                                "1/600",
                                                "-fps_mode",
                                                "passthrough",
                                                "-c:v",
                                                "libx264",
                                                "-preset",
                                                "ultrafast",
                                                "-qp",
                                                "0",
                                                "-pix_fmt",
                                                "yuv444p",
                                                "-video_track_timescale",
                                                "600"});
    fs::remove(raw);
    return video;
}

fs::path steadyVideo() { return fallingBallVideo("falling-ball-50.mp4", steadyTime, "N*12"); }
fs::path switchingVideo()
{
    return fallingBallVideo("falling-ball-60-30.mp4", switchingTime, "if(lte(N,20),N*10,200+(N-20)*20)");
}

// Where the picture shows the red ball, from its pixels.
Centre redCentroid(const RgbImage &image)
{
    double sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t *pixel = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
            if (pixel[0] > 150 && pixel[1] < 100 && pixel[2] < 100) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    return {sumX / count, sumY / count};
}

// The two ends of the dark bar on its row, as a user clicks them.
std::pair<PicturePoint, PicturePoint> barEnds(const RgbImage &image)
{
    std::vector<int> dark;
    for (int x = 0; x < image.width; ++x) {
        const std::uint8_t *pixel = &image.pixels[(static_cast<std::size_t>(kBarRow) * image.width + x) * 3];
        if (pixel[0] < 60 && pixel[1] < 60 && pixel[2] < 60)
            dark.push_back(x);
    }
    EXPECT_FALSE(dark.empty());
    return {{dark.front(), kBarRow}, {dark.back(), kBarRow}};
}

// What the user does: calibrate on the bar with the distance typed in
// French, origin at the ball's start, then click the ball's true centre
// (rounded as a click is) in every frame.
struct Session {
    PointTrack track;
    Calibration calibration{{0, 0}, {1, 0}, 1, {0, 0}};
};

Session measureVideo(FrameReader &video, double (*timeOf)(int))
{
    Session session;
    const auto [barStart, barEnd] = barEnds(video.frameRgb(0));
    session.calibration = Calibration(barStart, barEnd, parseDistance("2,0", commaFormat), {100, 40});
    session.track.resize(video.frameCount());
    for (int frame = 0; frame < video.frameCount(); ++frame) {
        const Centre truth = ballAt(timeOf(frame));
        const Centre seen = redCentroid(video.frameRgb(frame));
        EXPECT_NEAR(seen.x, truth.x, 0.5) << "frame " << frame;
        EXPECT_NEAR(seen.y, truth.y, 0.5) << "frame " << frame;
        recordClick(session.track, frame, static_cast<float>(truth.x), static_cast<float>(truth.y));
    }
    return session;
}

struct Sample {
    double t = 0;
    double y = 0;
};

// t and y of each line of an exported CSV with a decimal comma.
std::vector<Sample> csvSamples(const std::string &csv)
{
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "t (s);x (m);y (m);vx (m/s);vy (m/s)\r");
    std::vector<Sample> samples;
    while (std::getline(lines, line)) {
        std::replace(line.begin(), line.end(), ',', '.');
        std::replace(line.begin(), line.end(), ';', ' ');
        std::istringstream fields(line);
        Sample sample;
        double x = 0;
        fields >> sample.t >> x >> sample.y;
        EXPECT_TRUE(fields) << line;
        samples.push_back(sample);
    }
    return samples;
}

// Least squares y = a + b t + c t^2; returns the acceleration 2c.
double fittedAcceleration(const std::vector<Sample> &samples)
{
    // Normal equations, solved by Cramer's rule.
    std::array<double, 5> power{};  // sums of t^0..t^4
    std::array<double, 3> moment{}; // sums of y t^0..t^2
    for (const Sample &s : samples) {
        double tk = 1;
        for (int k = 0; k < 5; ++k, tk *= s.t) {
            power[static_cast<std::size_t>(k)] += tk;
            if (k < 3)
                moment[static_cast<std::size_t>(k)] += s.y * tk;
        }
    }
    const auto det3 = [](std::array<std::array<double, 3>, 3> m) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
               + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    std::array<std::array<double, 3>, 3> normal{
        {{power[0], power[1], power[2]}, {power[1], power[2], power[3]}, {power[2], power[3], power[4]}}};
    const double determinant = det3(normal);
    for (std::size_t row = 0; row < 3; ++row)
        normal[row][2] = moment[row];
    return 2 * det3(normal) / determinant;
}

double exportedG(const fs::path &csv, const MeasureTable &table)
{
    exportCsv(csv, table, commaFormat);
    return -fittedAcceleration(csvSamples(readFileBytes(csv)));
}

fs::path freshFolder(const std::string &name)
{
    const fs::path folder = mediaDir() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(FallingBall, SteadyFrameRateGivesBackG)
{
    FrameReader video(steadyVideo().string());
    ASSERT_EQ(video.frameCount(), framesBeforeTheFloor(steadyTime));
    const Session session = measureVideo(video, steadyTime);
    EXPECT_DOUBLE_EQ(session.calibration.metresPerPixel(), 1 / kPixelsPerMetre);

    const MeasureTable table = measureTrack(session.track, session.calibration, clockFor(TimeChoice{}, &video));
    ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(video.frameCount()));
    const double g = exportedG(freshFolder("falling-steady") / "mesures.csv", table);
    EXPECT_NEAR(g, kG, 0.02 * kG);
    // The sideways speed, 150 pixels/s, is 0.75 m/s; vy follows -g t; up
    // to the two neighbours' rounding, half a pixel each over 40 ms.
    const double roundingBound = 1 / kPixelsPerMetre / 0.040 + 1e-9;
    for (const MeasureRow &row : table.rows) {
        if (!row.vx)
            continue;
        EXPECT_NEAR(*row.vx, 0.75, roundingBound) << "frame " << row.frame;
        EXPECT_NEAR(*row.vy, -kG * row.t, roundingBound) << "frame " << row.frame;
    }

    // What the plots' fits say: y(t) = a t² + ..., 2a = -g; vy(t) = a t + b, a = -g.
    const FitResult parabola = fitQuantities(table, FitModel::Quadratic, Quantity::T, Quantity::Y);
    EXPECT_NEAR(-2 * parabola.coefficients[0].value, kG, 0.02 * kG);
    const FitResult line = fitQuantities(table, FitModel::Linear, Quantity::T, Quantity::Vy);
    EXPECT_NEAR(-line.coefficients[0].value, kG, 0.02 * kG);
    EXPECT_GT(line.r2, 0.99);
    // The same over the second half only, as a range chosen with the mouse.
    const double half = table.rows.back().t / 2;
    const FitResult late =
        fitQuantities(table, FitModel::Quadratic, Quantity::T, Quantity::Y, FitRange{Quantity::T, half, 10});
    EXPECT_LT(late.points, table.rows.size() / 2 + 2);
    EXPECT_NEAR(-2 * late.coefficients[0].value, kG, 0.02 * kG);
}

// vx is constant: its axis must not blow the pixel rounding up into a saw.
// The rounding spans one pixel over two frames, 0.25 m/s here.
TEST(FallingBall, PlotAxesShowTheRoundingAsNoiseAndTimeFromZero)
{
    FrameReader video(steadyVideo().string());
    const Session session = measureVideo(video, steadyTime);
    const MeasureTable table = measureTrack(session.track, session.calibration, clockFor(TimeChoice{}, &video));
    std::vector<double> vx;
    std::vector<double> t;
    for (const MeasureRow &row : table.rows) {
        t.push_back(row.t);
        if (row.vx)
            vx.push_back(*row.vx);
    }
    const AxisScale vxAxis = quantityScale(Quantity::Vx, table, vx);
    const double roundingRange = 1 / kPixelsPerMetre / 0.020;
    EXPECT_GE(vxAxis.high - vxAxis.low, roundingRange);
    EXPECT_LE(vxAxis.low, *std::min_element(vx.begin(), vx.end()));
    EXPECT_GE(vxAxis.high, *std::max_element(vx.begin(), vx.end()));
    const AxisScale tAxis = quantityScale(Quantity::T, table, t);
    EXPECT_EQ(tAxis.low, 0);
    EXPECT_GE(tAxis.high, t.back());
    // Whole tick labels: every tick written with the axis' decimals reads back exactly.
    for (const AxisScale &axis : {vxAxis, tAxis})
        for (double tick : axis.ticks())
            EXPECT_NEAR(std::stod(fixedText(tick, axis.decimals, ".")), tick, 1e-12) << tick;
    EXPECT_EQ(quantityDecimals(Quantity::X, table), 3);
    EXPECT_EQ(quantityDecimals(Quantity::T, table), 3);
    EXPECT_EQ(quantityDecimals(Quantity::Vx, table), 1);
}

TEST(FallingBall, ChangingFrameRateNeedsTheVideosFrameTimes)
{
    FrameReader video(switchingVideo().string());
    ASSERT_EQ(video.frameCount(), framesBeforeTheFloor(switchingTime));
    const Session session = measureVideo(video, switchingTime);
    const fs::path folder = freshFolder("falling-switching");

    const MeasureTable fromVideo = measureTrack(session.track, session.calibration, clockFor(TimeChoice{}, &video));
    for (const MeasureRow &row : fromVideo.rows)
        EXPECT_NEAR(row.t, switchingTime(row.frame), 0.0005) << "frame " << row.frame;
    EXPECT_NEAR(exportedG(folder / "video.csv", fromVideo), kG, 0.02 * kG);

    // The step a user would type from the video's announced rate.
    TimeChoice typed;
    typed.source = TimeSource::TypedStep;
    typed.stepMs = 1000 / video.fps();
    const MeasureTable fromStep = measureTrack(session.track, session.calibration, clockFor(typed, &video));
    double worstTime = 0;
    for (const MeasureRow &row : fromStep.rows)
        worstTime = std::max(worstTime, std::abs(row.t - switchingTime(row.frame)));
    EXPECT_GT(worstTime, 0.05) << "a fixed step cannot follow the change of rate";
    const double gFromStep = exportedG(folder / "step.csv", fromStep);
    EXPECT_GT(std::abs(gFromStep - kG), 0.1 * kG) << "g from the typed step: " << gFromStep;
}

// zorvane-inspect measure finds the sequence's calibration file and, beside
// the sequence, the video it names; it prints what the export writes.
TEST(FallingBall, InspectPrintsTheExportedTable)
{
    const fs::path videoFile = switchingVideo();
    FrameReader video(videoFile.string());
    const Session session = measureVideo(video, switchingTime);
    const fs::path sequence = mediaDir() / "falling-ball-60-30.txt";
    saveSequence(sequence, session.track, "20", commaFormat);
    const MeasureSettings settings{identifyVideo(videoFile, video.frameCount()), session.calibration, TimeChoice{}, {}};
    saveSidecar(sidecarPath(sequence), settings);

    const MeasureTable table = measureTrack(session.track, session.calibration, clockFor(TimeChoice{}, &video));
    std::string output;
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string()}, &output), 0);
    EXPECT_EQ(output, csvText(table, NumberFormat{}));
    output.clear();
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string(), "--video", videoFile.string(), "--calibration",
                          sidecarPath(sequence).string()},
                         &output),
              0);
    EXPECT_EQ(output, csvText(table, NumberFormat{}));

    // Another video, or a damaged file: nothing on stdout, exit 1.
    output.clear();
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string(), "--video", steadyVideo().string()}, &output), 1);
    EXPECT_EQ(output, "");
    const fs::path damaged = writeFileBytes(mediaDir() / "falling-damaged.etalonnage", "zorvane-etalonnage 1\n");
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string(), "--calibration", damaged.string()}, &output), 1);
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string(), "--calibration"}, &output), 1);
    EXPECT_EQ(runProgram({kInspect, "measure", (mediaDir() / "nothing.txt").string()}, &output), 1);
    EXPECT_EQ(output, "");

    // A fit prints its coefficients as the window computes them.
    output.clear();
    ASSERT_EQ(
        runProgram({kInspect, "measure", sequence.string(), "--fit", "quadratic", "t", "y", "--from", "0.1"}, &output),
        0);
    const FitResult fit =
        fitQuantities(table, FitModel::Quadratic, Quantity::T, Quantity::Y, FitRange{Quantity::T, 0.1, 1e300});
    std::string expected;
    const char *units[] = {"m/s²", "m/s", "m"};
    for (std::size_t j = 0; j < 3; ++j)
        expected += fit.coefficients[j].name + "\t" + formatNumber(fit.coefficients[j].value, ".", 10) + "\t"
                    + formatNumber(fit.coefficients[j].uncertainty, ".", 10) + "\t" + units[j] + "\n";
    EXPECT_EQ(output, expected + "r2\t" + formatNumber(fit.r2, ".", 10) + "\n");
    output.clear();
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string(), "--mass", "0.5"}, &output), 0);
    EXPECT_EQ(output.substr(0, output.find('\r')), "t (s),x (m),y (m),vx (m/s),vy (m/s),Ec (J),Epp (J),Em (J)");
    output.clear();
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string(), "--fit", "cubic", "t", "y"}, &output), 1);
    EXPECT_EQ(runProgram({kInspect, "measure", sequence.string(), "--from", "1"}, &output), 1);
    EXPECT_EQ(output, "");

    // With the typed step the video is not needed.
    MeasureSettings stepped = settings;
    stepped.time.source = TimeSource::TypedStep;
    stepped.time.stepMs = 20;
    const fs::path steppedFile = mediaDir() / "falling-stepped.etalonnage";
    saveSidecar(steppedFile, stepped);
    ASSERT_EQ(runProgram({kInspect, "measure", sequence.string(), "--calibration", steppedFile.string()}, &output), 0);
    EXPECT_EQ(output,
              csvText(measureTrack(session.track, session.calibration, FrameClock::fromStep(20)), NumberFormat{}));
}

} // namespace
