#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"
#include "measure/measuretable.h"

#include "measure/measureerror.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zorvane {

// What tells one video from another without reading it whole.
struct CalibratedVideo {
    std::string fileName; // the name alone, so that moving the folder keeps the tie
    std::uintmax_t sizeBytes = 0;
    std::int32_t frameCount = 0;
    friend bool operator==(const CalibratedVideo &, const CalibratedVideo &) = default;
};

// What is wrong in a damaged calibration file.
enum class SidecarFault {
    TooLong,            // far more than a calibration holds
    NotCalibrationFile, // no "zorvane-etalonnage N" first line
    UnreadableVersion,
    UnknownKey,  // word: the key
    RepeatedKey, // word: the key
    MissingKey,  // word: the key
    MissingValue,
    ExtraValues,
    NotANumber, // word
    InfiniteNumber,
    UnexpectedWord, // word, instead of expected[0] or expected[1]
    BadVideoEscape,
    VideoNameNotAlone, // empty or with a folder
    NegativeFrameCount,
    ImpossibleValues, // refusedAs: what the calibration or the clock said
    ImpossibleMass,
    ImpossibleGravity,
};

// Why a calibration file, or the video it is checked against, was
// refused: what the front ends need to say it in their own words.
struct SidecarProblem {
    MeasureErrorKind kind = MeasureErrorKind::SidecarDamaged; // SidecarUnreadable, SidecarDamaged,
                                                              // SidecarNewer, OtherVideo, NeedsVideo
    std::filesystem::path file;                               // the calibration file, or the video for NeedsVideo
    int systemError = 0;                                      // errno, for SidecarUnreadable and NeedsVideo
    SidecarFault fault = SidecarFault::NotCalibrationFile;    // SidecarDamaged
    int line = 0;                                             // 0 for the whole file
    std::string word;                                         // as found, cut to 60 bytes and "…" when longer
    std::array<std::string, 2> expected;
    MeasureErrorKind refusedAs = MeasureErrorKind::SamePoints; // ImpossibleValues
    CalibratedVideo saved;                                     // OtherVideo: the file's
    CalibratedVideo open;                                      // OtherVideo: the one open
};

// what() is a short English summary naming the file, for logs.
class SidecarError : public MeasureError {
public:
    explicit SidecarError(SidecarProblem problem);
    const SidecarProblem &problem() const noexcept { return m_problem; }

private:
    SidecarProblem m_problem;
};

// Throws SidecarError (NeedsVideo) when the file cannot be examined.
CalibratedVideo identifyVideo(const std::filesystem::path &video, std::int32_t frameCount);

// Everything measuring needs beside the sequence file, which stays as it is.
struct MeasureSettings {
    CalibratedVideo video;
    Calibration calibration;
    TimeChoice time;
    MassAndGravity dynamics;
    // The followed point (1 for B) the origin moves with; 0 for the fixed
    // origin of the calibration.
    int movingOrigin = 0;
    friend bool operator==(const MeasureSettings &, const MeasureSettings &) = default;
};

// The calibration file of a sequence: NAME.txt -> NAME.etalonnage.
// A small UTF-8 text: a version line "zorvane-etalonnage 1", then one
// "key value" line each for the video, the scale, the origin, the y axis
// and the time. A mass or another g than 9.81 makes it version 2, with the
// lines "masse" (when there is one) and "g"; without them the file is
// written as version 1, byte for byte as before, so older programs read it.
// An origin moving with a followed point makes it version 3, with "g" and
// the line "referentiel B" (the point's letter). An x axis along two
// clicked points makes it version 4, with the line "axe-x X1 Y1 X2 Y2".
std::filesystem::path sidecarPath(const std::filesystem::path &sequence);

// Larger files are damaged: a real one holds a few hundred bytes.
inline constexpr std::uintmax_t kMaxSidecarBytes = 16 * 1024;

// Writes the file whole or not at all: the previous one survives any
// failure. Throws MeasureError (WriteFailed).
void saveSidecar(const std::filesystem::path &file, const MeasureSettings &settings);

// Nothing when there is no file. Throws SidecarError (SidecarUnreadable,
// SidecarDamaged, SidecarNewer); reads at most kMaxSidecarBytes and never
// blocks on a pipe or device.
std::optional<MeasureSettings> readSidecar(const std::filesystem::path &file);

// Throws SidecarError (OtherVideo) with both videos when the settings
// were made on another one.
void checkSameVideo(const MeasureSettings &settings, const CalibratedVideo &video, const std::filesystem::path &file);

// The settings saved with a sequence, for the video now open: nothing when
// the sequence has no calibration file; throws SidecarError as readSidecar
// and checkSameVideo do, and the caller keeps what it had.
std::optional<MeasureSettings> loadSidecarFor(const std::filesystem::path &sequence, const CalibratedVideo &video);

} // namespace zorvane
