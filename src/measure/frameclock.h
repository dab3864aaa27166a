#pragma once

#include "track/numbertext.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

class FrameSource;

enum class TimeSource {
    VideoFrameTimes, // each frame's own time in the video, right for variable frame rates
    TypedStep,       // frame number x the step typed in milliseconds
};

// The user's choice of time, as saved with the calibration. The
// slow-motion factor applies to video frame times only: footage recorded
// at 240 images/s and played at 30 has factor 8, real time = video time / 8.
// A factor below 1 is a time-lapse. The step is real time already.
struct TimeChoice {
    TimeSource source = TimeSource::VideoFrameTimes;
    double slowMotionFactor = 1;
    double stepMs = 40;
    friend bool operator==(const TimeChoice &, const TimeChoice &) = default;
};

// Throws MeasureError (FactorInvalid, StepInvalid) for a factor or step
// the clock would refuse, whichever source is chosen.
void checkTimeChoice(const TimeChoice &choice);

// Real time of each frame, in seconds from frame 0.
class FrameClock {
public:
    static constexpr double kMaxSlowMotionFactor = 1e6;

    // frameTimesMs[i] is frame i's time in the video, from the first frame.
    // Throws MeasureError (FactorInvalid) for a factor that is not finite,
    // not above zero or above kMaxSlowMotionFactor.
    static FrameClock fromFrameTimes(std::vector<double> frameTimesMs, double slowMotionFactor = 1);
    // Throws MeasureError (StepInvalid) for a step not finite or not above zero.
    static FrameClock fromStep(double stepMs);

    TimeSource source() const { return m_source; }
    // Nothing for a frame the video does not have (the track keeps one
    // entry past the last frame) or a negative one.
    std::optional<double> seconds(std::int32_t frame) const;
    // Which time is used, in French, for the tool to show.
    std::string description(const NumberFormat &format) const;

private:
    FrameClock() = default;

    TimeSource m_source = TimeSource::TypedStep;
    std::vector<double> m_frameTimesMs;
    double m_slowMotionFactor = 1;
    double m_stepMs = 40;
};

// The clock of a choice: video frame times come from `video`, which may be
// null when the choice is the typed step. Throws MeasureError (NeedsVideo,
// FactorInvalid, StepInvalid).
FrameClock clockFor(const TimeChoice &choice, const FrameSource *video);

// Typed texts in the locale's format, the factor without digit grouping
// like a distance, the step as the sequence save reads it. Throw
// MeasureError (FactorInvalid, StepInvalid).
double parseSlowMotionFactor(std::string_view text, const NumberFormat &format);
double parseStepMs(std::string_view text, const NumberFormat &format);

} // namespace zorvane
