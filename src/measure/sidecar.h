#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"

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

// Throws MeasureError (NeedsVideo) when the file cannot be examined.
CalibratedVideo identifyVideo(const std::filesystem::path &video, std::int32_t frameCount);

// Everything measuring needs beside the sequence file, which stays as it is.
struct MeasureSettings {
    CalibratedVideo video;
    Calibration calibration;
    TimeChoice time;
    friend bool operator==(const MeasureSettings &, const MeasureSettings &) = default;
};

// The calibration file of a sequence: NAME.txt -> NAME.etalonnage.
// A small UTF-8 text: a version line "zorvane-etalonnage 1", then one
// "key value" line each for the video, the scale, the origin, the y axis
// and the time.
std::filesystem::path sidecarPath(const std::filesystem::path &sequence);

// Larger files are damaged: a real one holds a few hundred bytes.
inline constexpr std::uintmax_t kMaxSidecarBytes = 16 * 1024;

// Writes the file whole or not at all: the previous one survives any
// failure. Throws MeasureError (WriteFailed).
void saveSidecar(const std::filesystem::path &file, const MeasureSettings &settings);

// Nothing when there is no file. Throws MeasureError (SidecarUnreadable,
// SidecarDamaged, SidecarNewer); reads at most kMaxSidecarBytes and never
// blocks on a pipe or device.
std::optional<MeasureSettings> readSidecar(const std::filesystem::path &file);

// Throws MeasureError (OtherVideo) naming both videos when the settings
// were made on another one.
void checkSameVideo(const MeasureSettings &settings, const CalibratedVideo &video, const std::filesystem::path &file);

// The settings saved with a sequence, for the video now open: nothing when
// the sequence has no calibration file; throws MeasureError as readSidecar
// and checkSameVideo do, and the caller keeps what it had.
std::optional<MeasureSettings> loadSidecarFor(const std::filesystem::path &sequence, const CalibratedVideo &video);

} // namespace zorvane
