#include "measure/frameclock.h"

#include "measure/calibration.h"
#include "measure/measureerror.h"
#include "player/framesource.h"

#include <algorithm>
#include <cmath>

namespace zorvane {

namespace {

const char *const kFactorAdvice = "Le facteur de ralenti doit être un nombre plus grand que zéro "
                                  "(1 pour une vidéo à vitesse normale, 8 pour 240 images/s lues à 30).";
const char *const kStepAdvice = "Le pas « Pas (ms) » doit être un nombre de millisecondes plus grand que zéro.";

void checkFactor(double factor)
{
    if (!std::isfinite(factor) || !(factor > 0) || factor > FrameClock::kMaxSlowMotionFactor)
        throw MeasureError(MeasureErrorKind::FactorInvalid, kFactorAdvice);
}

void checkStep(double stepMs)
{
    if (!std::isfinite(stepMs) || !(stepMs > 0))
        throw MeasureError(MeasureErrorKind::StepInvalid, kStepAdvice);
}

} // namespace

void checkTimeChoice(const TimeChoice &choice)
{
    checkFactor(choice.slowMotionFactor);
    checkStep(choice.stepMs);
}

FrameClock FrameClock::fromFrameTimes(std::vector<double> frameTimesMs, double slowMotionFactor)
{
    checkFactor(slowMotionFactor);
    FrameClock clock;
    clock.m_source = TimeSource::VideoFrameTimes;
    clock.m_frameTimesMs = std::move(frameTimesMs);
    clock.m_slowMotionFactor = slowMotionFactor;
    return clock;
}

FrameClock FrameClock::fromStep(double stepMs)
{
    checkStep(stepMs);
    FrameClock clock;
    clock.m_source = TimeSource::TypedStep;
    clock.m_stepMs = stepMs;
    return clock;
}

std::optional<double> FrameClock::seconds(std::int32_t frame) const
{
    if (frame < 0)
        return std::nullopt;
    double ms = 0;
    if (m_source == TimeSource::TypedStep)
        ms = frame * m_stepMs;
    else if (static_cast<std::size_t>(frame) < m_frameTimesMs.size())
        ms = m_frameTimesMs[static_cast<std::size_t>(frame)] / m_slowMotionFactor;
    else
        return std::nullopt;
    const double result = ms / 1000;
    return std::isfinite(result) ? std::optional<double>(result) : std::nullopt;
}

std::string FrameClock::description(const NumberFormat &format) const
{
    if (m_source == TimeSource::TypedStep)
        return "Temps : pas saisi de " + formatNumber(m_stepMs, format.decimalSeparator, 10) + " ms par image";
    std::string text = "Temps : horodatage des images de la vidéo";
    if (m_slowMotionFactor != 1)
        text += ", ralenti × " + formatNumber(m_slowMotionFactor, format.decimalSeparator, 10);
    return text;
}

FrameClock clockFor(const TimeChoice &choice, const FrameSource *video)
{
    if (choice.source == TimeSource::TypedStep)
        return FrameClock::fromStep(choice.stepMs);
    if (!video)
        throw MeasureError(MeasureErrorKind::NeedsVideo,
                           "Le temps vient des images de la vidéo : ouvrez d'abord la vidéo de la séquence.");
    checkFactor(choice.slowMotionFactor);
    std::vector<double> times(static_cast<std::size_t>(std::max(video->frameCount(), 0)));
    for (std::size_t frame = 0; frame < times.size(); ++frame)
        times[frame] = video->frameTimeMs(static_cast<int>(frame));
    return FrameClock::fromFrameTimes(std::move(times), choice.slowMotionFactor);
}

double parseSlowMotionFactor(std::string_view text, const NumberFormat &format)
{
    const std::optional<double> factor = parseStep(text, format);
    if (!factor)
        throw MeasureError(MeasureErrorKind::FactorInvalid, kFactorAdvice);
    checkFactor(*factor);
    return *factor;
}

double parseStepMs(std::string_view text, const NumberFormat &format)
{
    const std::optional<double> step = parseStep(text, format);
    if (!step)
        throw MeasureError(MeasureErrorKind::StepInvalid, kStepAdvice);
    checkStep(*step);
    return *step;
}

} // namespace zorvane
