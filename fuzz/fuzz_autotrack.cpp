// Starts the tracker on a point drawn from the input and feeds it a short
// sequence of frames, in colour or grey: the input's own bytes as pixels,
// with a blob moving over them along a path seeded by the input, and now
// and then a frame of the wrong size or short of pixels. Some runs use
// tuning numbers drawn from the input, sane or not, and restart from a
// click (inside the picture or not) after a gap.
#include "autotrack/autotracker.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <utility>
#include <vector>

using namespace zorvane;

namespace {

constexpr int kMaxSide = 96;
constexpr int kMaxFrames = 12;
constexpr std::size_t kHeader = 10;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "tracker invariant broken: %s\n", what);
    std::abort();
}

// Bytes of the input after the header, repeated, or a grey ramp when the
// input has none.
std::uint8_t pixelByte(const std::uint8_t *data, std::size_t size, std::size_t at)
{
    return size > kHeader ? data[kHeader + at % (size - kHeader)] : static_cast<std::uint8_t>(at * 7);
}

RgbImage makeFrame(int width, int height, int index, const std::uint8_t *data, std::size_t size, std::mt19937 &random)
{
    RgbImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    const std::size_t shift = static_cast<std::size_t>(index) * 13;
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = pixelByte(data, size, i + shift);
    std::uniform_real_distribution<double> place(-4, width + 4), radius(1, 12);
    const double bx = place(random), by = place(random) * height / width, r = radius(random);
    const auto colour = static_cast<std::uint8_t>(random());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (std::hypot(x - bx, y - by) <= r)
                for (int c = 0; c < 3; ++c)
                    image.pixels[(static_cast<std::size_t>(y) * width + x) * 3 + c] = colour;
    return image;
}

double coordinate(std::uint8_t byte, int side)
{
    // Mostly inside the picture, sometimes just outside or far off.
    if (byte == 255)
        return NAN;
    return (byte - 16) * (side + 8) / 224.0;
}

void checkStep(const TrackStep &step, bool wasLost)
{
    if (wasLost && step.state != TrackStep::State::Lost)
        fail("a lost tracker found something again");
    if (step.state != TrackStep::State::Found)
        return;
    if (!std::isfinite(step.x) || !std::isfinite(step.y))
        fail("a found position is not a number");
    if (!(step.confidence >= 0 && step.confidence <= 1))
        fail("a confidence outside 0 to 1");
}

// Tuning numbers pushed anywhere, NaN and infinities included: the tracker
// brings them into range.
AutoTrackParameters wildParameters(std::mt19937 &random)
{
    const double odd[] = {NAN, INFINITY, -INFINITY, -1, 0, 1e9, -1e9, 0.5, 3};
    auto pick = [&](double usual) {
        return random() % 3 ? usual * std::uniform_real_distribution<double>(0, 3)(random) : odd[random() % 9];
    };
    auto pickInt = [&](int usual) {
        const int wild[] = {-5, 0, 1, 1000000, usual * 3};
        return random() % 3 ? usual : wild[random() % 5];
    };
    AutoTrackParameters p;
    p.minProbeRadius = pick(p.minProbeRadius);
    p.defaultRadius = pick(p.defaultRadius);
    p.maxObjectDiameter = pick(p.maxObjectDiameter);
    p.templateMargin = pickInt(p.templateMargin);
    p.minRoundRadius = pick(p.minRoundRadius);
    p.roundSupport = pick(p.roundSupport);
    p.outlineSupport = pick(p.outlineSupport);
    p.outlineRms = pick(p.outlineRms);
    p.outlineSlope = pick(p.outlineSlope);
    p.coarseAbove = pickInt(p.coarseAbove);
    p.maxSearchSamples = pickInt(p.maxSearchSamples);
    p.candidates = pickInt(p.candidates);
    p.followAdaptive = pick(p.followAdaptive);
    p.reacquireMemory = pick(p.reacquireMemory);
    p.maxAppearances = pickInt(p.maxAppearances);
    p.adaptRate = pick(p.adaptRate);
    p.turnStep = pick(p.turnStep);
    p.maxMissing = pickInt(p.maxMissing);
    p.globalSearchAfter = pickInt(p.globalSearchAfter);
    p.globalSearchEvery = pickInt(p.globalSearchEvery);
    p.coarseObjectSamples = pick(p.coarseObjectSamples);
    // Few or many background frames, kept at every move: the moving-region
    // check and search run within the short sequence.
    p.backgroundFrames = pickInt(p.backgroundFrames);
    p.backgroundLeast = pickInt(1);
    p.backgroundMove = pick(0.1);
    p.backgroundEvery = pickInt(1);
    p.foregroundContrast = pick(p.foregroundContrast);
    p.foregroundNoise = pick(p.foregroundNoise);
    p.spotTolerance = pick(p.spotTolerance);
    p.outlineSpotTolerance = pick(p.outlineSpotTolerance);
    p.wholeSilhouette = pick(p.wholeSilhouette);
    p.silhouetteArea = pick(p.silhouetteArea);
    p.blobAreaRange = pick(p.blobAreaRange);
    p.cameraPatches = pickInt(p.cameraPatches);
    p.cameraReach = pickInt(p.cameraReach);
    return p;
}

// The same frame in colour, in grey, or in both as the engine gives them.
class Frame {
public:
    enum class Kind { Colour, Gray, Both };
    Frame(RgbImage colour, Kind kind) : m_colour(std::move(colour)), m_kind(kind)
    {
        if (m_kind != Kind::Colour)
            m_grayImage = grayOf(m_colour);
    }
    void dropLastPixelByte() { (m_kind == Kind::Gray ? m_grayImage.pixels : m_colour.pixels).pop_back(); }
    AutoTracker start(double x, double y, const AutoTrackParameters *parameters) const
    {
        if (m_kind == Kind::Both)
            return AutoTracker(m_grayImage, m_colour, x, y);
        if (parameters)
            return m_kind == Kind::Gray ? AutoTracker(m_grayImage, x, y, *parameters)
                                        : AutoTracker(m_colour, x, y, *parameters);
        return m_kind == Kind::Gray ? AutoTracker(m_grayImage, x, y) : AutoTracker(m_colour, x, y);
    }
    void restart(AutoTracker &tracker, double x, double y, int framesAfter) const
    {
        m_kind == Kind::Gray ? tracker.restart(m_grayImage, x, y, framesAfter)
                             : tracker.restart(m_colour, x, y, framesAfter);
    }
    TrackStep feed(AutoTracker &tracker) const
    {
        switch (m_kind) {
        case Kind::Gray:
            return tracker.next(m_grayImage);
        case Kind::Both:
            return tracker.next(m_grayImage, m_colour);
        case Kind::Colour:
            break;
        }
        return tracker.next(m_colour);
    }

private:
    RgbImage m_colour;
    GrayImage m_grayImage;
    Kind m_kind;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::uint8_t header[kHeader] = {};
    for (std::size_t i = 0; i < kHeader && i < size; ++i)
        header[i] = data[i];
    const int width = 1 + header[0] % kMaxSide;
    const int height = 1 + header[1] % kMaxSide;
    const int frames = 1 + header[2] % kMaxFrames;
    const double x = coordinate(header[3], width), y = coordinate(header[4], height);
    std::mt19937 random(header[5] | header[6] << 8);
    const int oddFrame = header[7] % 16; // beyond the sequence most of the time
    const Frame::Kind kind = header[7] & 16   ? Frame::Kind::Gray
                             : header[7] & 64 ? Frame::Kind::Both
                                              : Frame::Kind::Colour;
    const int restartFrame = header[8] % 16; // beyond the sequence most of the time
    const double restartX = coordinate(header[9], width), restartY = coordinate(header[3] ^ header[9], height);
    std::optional<AutoTrackParameters> parameters;
    if (header[7] & 32)
        parameters = wildParameters(random);

    try {
        AutoTracker tracker = Frame(makeFrame(width, height, 0, data, size, random), kind)
                                  .start(x, y, parameters ? &*parameters : nullptr);
        if (!std::isfinite(tracker.startX()) || !std::isfinite(tracker.startY()))
            fail("the start point is not a number");
        bool lost = false;
        for (int index = 1; index < frames; ++index) {
            Frame image(makeFrame(width, height, index, data, size, random), kind);
            if (index == oddFrame) {
                if (random() % 2)
                    image.dropLastPixelByte();
                else
                    image = Frame(makeFrame(width + 1, height, index, data, size, random), kind);
                try {
                    image.feed(tracker);
                    fail("a frame of the wrong size was taken");
                } catch (const AutoTrackError &) {
                }
                continue;
            }
            if (index == restartFrame) {
                const bool outside =
                    !(restartX >= -0.5 && restartX < width - 0.5 && restartY >= -0.5 && restartY < height - 0.5);
                try {
                    image.restart(tracker, restartX, restartY, 1 + header[9] % 4);
                    if (outside)
                        fail("a restart outside the picture was taken");
                    if (!std::isfinite(tracker.startX()) || !std::isfinite(tracker.startY()))
                        fail("the restart point is not a number");
                    lost = false;
                } catch (const AutoTrackError &error) {
                    if (!outside || error.kind() != AutoTrackErrorKind::PointOutside)
                        fail("a restart inside the picture was refused");
                }
                continue;
            }
            const TrackStep step = image.feed(tracker);
            checkStep(step, lost);
            lost = step.state == TrackStep::State::Lost;
        }
    } catch (const AutoTrackError &error) {
        if (error.kind() != AutoTrackErrorKind::PointOutside)
            fail("a well-formed start frame was refused");
        const bool outside = !(x >= -0.5 && x < width - 0.5 && y >= -0.5 && y < height - 0.5);
        if (!outside)
            fail("a point inside the picture was called outside");
    }
    return 0;
}
