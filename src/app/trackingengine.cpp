#include "app/trackingengine.h"

#include "common/log.h"
#include "player/frameprefetcher.h"

#include <string>
#include <utility>

namespace zorvane {
namespace {

// Far enough ahead to hide one slow frame, near enough to stop at once.
constexpr int kFramesAhead = 4;

} // namespace

TrackingEngine::TrackingEngine(FrameSource &source, const TrackingStart &start)
        : m_source(source), m_start(start),
          m_tracker(std::make_unique<AutoTracker>(source.frameRgb(start.from), start.x, start.y))
{}

TrackingEngine::~TrackingEngine() = default;

bool TrackingEngine::hasTarget() const { return m_tracker->hasTarget(); }

TrackingEnd TrackingEngine::run(const Report &report, const std::atomic<bool> &stop)
{
    FramePrefetcher ahead(m_source, m_start.from + 1, m_start.last, kFramesAhead);
    int frame = m_start.from;
    while (frame < m_start.last) {
        if (stop)
            return {TrackingEnd::Kind::Stopped, frame};
        ++frame;
        std::optional<RgbImage> image = ahead.take(frame);
        if (!image)
            return {TrackingEnd::Kind::Unreadable, frame};
        TrackStep step;
        try {
            step = m_tracker->next(*image);
        } catch (const AutoTrackError &error) {
            logDebug("tracking", "frame " + std::to_string(frame) + ": " + error.what());
            return {TrackingEnd::Kind::Unreadable, frame};
        }
        std::optional<RgbImage> picture;
        if (m_pictureWanted.exchange(false))
            picture = std::move(image);
        report({frame, step, std::move(picture)});
        if (step.state == TrackStep::State::Lost)
            return {TrackingEnd::Kind::Lost, frame};
    }
    return {TrackingEnd::Kind::LastFrame, frame};
}

} // namespace zorvane
