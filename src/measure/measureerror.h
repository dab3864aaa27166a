#pragma once

#include <stdexcept>
#include <string>

namespace zorvane {

enum class MeasureErrorKind {
    DistanceNotNumber,   // the typed distance is not a number
    DistanceNotPositive, // zero or negative
    DistanceTooLarge,    // beyond any filmed scene
    SamePoints,          // the two ends of the scale are one pixel
    SameAxisPoints,      // the two points the x axis runs along are one pixel
    NoOriginPoint,       // the origin moves with a followed point that does not exist
    FactorInvalid,       // slow-motion factor not a number, not above zero, or absurd
    StepInvalid,         // typed step not a number or not above zero
    NeedsVideo,          // video frame times are chosen but no video is at hand
    SidecarUnreadable,   // the calibration file exists but cannot be read
    SidecarDamaged,      // not a calibration file, or one with wrong values
    SidecarNewer,        // written by a later version of the program
    OtherVideo,          // the calibration was made on another video
    WriteFailed,         // a file could not be written; the previous one is intact
};

// Messages are French and meant for the user as they stand.
class MeasureError : public std::runtime_error {
public:
    MeasureError(MeasureErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    MeasureErrorKind kind() const noexcept { return m_kind; }

private:
    MeasureErrorKind m_kind;
};

} // namespace zorvane
