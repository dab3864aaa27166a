#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvane {

// One recorded point in SI units, or in pixels without a calibration.
struct MeasureRow {
    std::int32_t frame = 0;
    double t = 0;             // s
    double x = 0;             // m
    double y = 0;             // m
    std::optional<double> vx; // m/s, empty at the first and last recorded frames
    std::optional<double> vy;
    std::optional<double> v;  // speed
    std::optional<double> ax; // m/s², empty where the velocity is
    std::optional<double> ay;
    std::optional<double> ec;  // J, ½ m v², with a mass only
    std::optional<double> epp; // J, m g y with y up, with a mass only
    std::optional<double> em;  // J, ec + epp
};

struct MeasureTable {
    std::vector<MeasureRow> rows; // recorded frames in order; frames without a point have no row
    TimeSource timeSource = TimeSource::VideoFrameTimes;
    // Points on frames the clock has no time for (past the video's end);
    // they are left out of the rows.
    std::int32_t pointsWithoutTime = 0;
    // Without a calibration: lengths in pixels from the picture's bottom
    // left corner, y up.
    bool inPixels = false;
    // One pixel in the length unit, what a click resolves.
    double pixelSize = 1;
    bool hasEnergies = false;
    double massKg = 0;     // with energies
    double gravity = 9.81; // m/s²
};

// What the energies need: the mass followed and the field it falls in.
struct MassAndGravity {
    std::optional<double> massKg;
    double gravity = 9.81; // m/s²
    friend bool operator==(const MassAndGravity &, const MassAndGravity &) = default;
};

// A mass in kg, or g in m/s²: finite, above zero and not absurd (at most 1e9).
bool isPlausibleMassOrField(double value);
// The same typed: nothing when it is not a plausible one. Read like the step.
std::optional<double> parseMass(std::string_view text, const NumberFormat &format);
std::optional<double> parseGravity(std::string_view text, const NumberFormat &format);

// Rows for every frame holding a point, converted with the calibration and
// the clock. Velocities are central differences between each row and its
// nearest recorded neighbours, before and after, however many frames lie
// between them: for neighbours at unequal time distances (a missed frame,
// a variable frame rate) the weighted form that is exact for constant
// acceleration. The first and last rows have no velocity, as there is no
// neighbour on one side; accelerations come from the same three points,
// as the parabola through them. A track without storage gives no rows.
// Energies are there when a mass is given.
// With a moving origin (another followed point), positions are from that
// point, with the calibration's axes, on the frames where both have a
// point; velocities and the rest follow from them, so they are relative.
MeasureTable measureTrack(const PointTrack &track, const Calibration &calibration, const FrameClock &clock,
                          const MassAndGravity &dynamics = {}, const PointTrack *movingOrigin = nullptr);

// Followed point `index` (0 for A, then the others) in the frame of
// reference of the calibration: from its fixed origin, or, when
// `movingOrigin` is above 0, from that followed point. What both the
// window and the command line measure with. Throws MeasureError
// (NoOriginPoint) when the origin's point does not exist, and
// TrackError (OutOfRange) for an index no point has.
MeasureTable measurePoint(const PointTrack &a, const PointSet &others, int index, const Calibration &calibration,
                          int movingOrigin, const FrameClock &clock, const MassAndGravity &dynamics = {});

// The same in pixels of a picture `frameHeight` rows high, y up from its
// bottom row; no energies, as pixels make no joules.
MeasureTable measureTrackInPixels(const PointTrack &track, std::int32_t frameHeight, const FrameClock &clock);

} // namespace zorvane
