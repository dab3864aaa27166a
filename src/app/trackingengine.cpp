#include "app/trackingengine.h"

#include "common/log.h"
#include "player/frameprefetcher.h"

#include <mutex>
#include <string>
#include <utility>

namespace zorvane {
namespace {

// Far enough ahead to hide one slow frame, near enough to stop at once.
constexpr int kFramesAhead = 4;

} // namespace

// Stands between the source and the read-ahead thread: when a picture is
// wanted, the frame just decoded in grey is also taken in colour, from the
// source's cache, on that same thread, the only one that may read the
// source while the run goes.
class TrackingEngine::PictureTap : public FrameSource {
public:
    PictureTap(FrameSource &source, std::atomic<bool> &wanted) : m_source(source), m_wanted(wanted) {}

    int frameCount() const override { return m_source.frameCount(); }
    int width() const override { return m_source.width(); }
    int height() const override { return m_source.height(); }
    double frameTimeMs(int index) const override { return m_source.frameTimeMs(index); }
    RgbImage frameRgb(int index) override { return m_source.frameRgb(index); }

    GrayImage frameGray(int index) override
    {
        GrayImage gray = m_source.frameGray(index);
        if (m_wanted.exchange(false)) {
            try {
                RgbImage picture = m_source.frameRgb(index);
                std::lock_guard lock(m_mutex);
                m_picture = std::make_pair(index, std::move(picture));
            } catch (const std::exception &error) {
                // A picture to show is a courtesy: the run goes on without.
                logDebug("tracking", "picture of frame " + std::to_string(index) + ": " + error.what());
            }
        }
        return gray;
    }

    // The colour picture of `index`, when that frame was the one taken.
    std::optional<RgbImage> takePicture(int index)
    {
        std::lock_guard lock(m_mutex);
        if (!m_picture || m_picture->first != index)
            return std::nullopt;
        std::optional<RgbImage> picture = std::move(m_picture->second);
        m_picture.reset();
        return picture;
    }

private:
    FrameSource &m_source;
    std::atomic<bool> &m_wanted;
    std::mutex m_mutex;
    std::optional<std::pair<int, RgbImage>> m_picture;
};

TrackingEngine::TrackingEngine(FrameSource &source, const TrackingStart &start)
        : m_source(source), m_start(start),
          m_tracker(std::make_unique<AutoTracker>(source.frameGray(start.from), start.x, start.y))
{}

TrackingEngine::~TrackingEngine() = default;

bool TrackingEngine::hasTarget() const { return m_tracker->hasTarget(); }

TrackingEnd TrackingEngine::run(const Report &report, const std::atomic<bool> &stop)
{
    PictureTap tap(m_source, m_pictureWanted);
    GrayFramePrefetcher ahead(tap, m_start.from + 1, m_start.last, kFramesAhead);
    int frame = m_start.from;
    while (frame < m_start.last) {
        if (stop)
            return {TrackingEnd::Kind::Stopped, frame};
        ++frame;
        const std::optional<GrayImage> image = ahead.take(frame);
        if (!image)
            return {TrackingEnd::Kind::Unreadable, frame};
        TrackStep step;
        try {
            step = m_tracker->next(*image);
        } catch (const AutoTrackError &error) {
            logDebug("tracking", "frame " + std::to_string(frame) + ": " + error.what());
            return {TrackingEnd::Kind::Unreadable, frame};
        }
        report({frame, step, tap.takePicture(frame)});
        if (step.state == TrackStep::State::Lost)
            return {TrackingEnd::Kind::Lost, frame};
    }
    return {TrackingEnd::Kind::LastFrame, frame};
}

} // namespace zorvane
