#include "app/trackingengine.h"

#include "common/log.h"
#include "player/frameprefetcher.h"

#include <deque>
#include <mutex>
#include <string>
#include <utility>

namespace zorvane {
namespace {

// Far enough ahead to hide one slow frame, near enough to stop at once.
constexpr int kFramesAhead = 4;

} // namespace

// Stands between the source and the read-ahead thread: each frame decoded
// in grey is also taken in colour, from the source's cache, on that same
// thread (the only one that may read the source while the run goes), when
// the tracker follows colour or a picture is wanted to be shown.
class TrackingEngine::ColourTap : public FrameSource {
public:
    ColourTap(FrameSource &source, bool always, std::atomic<bool> &pictureWanted)
            : m_source(source), m_always(always), m_pictureWanted(pictureWanted)
    {}

    int frameCount() const override { return m_source.frameCount(); }
    int width() const override { return m_source.width(); }
    int height() const override { return m_source.height(); }
    double frameTimeMs(int index) const override { return m_source.frameTimeMs(index); }
    RgbImage frameRgb(int index) override { return m_source.frameRgb(index); }

    GrayImage frameGray(int index) override
    {
        GrayImage gray = m_source.frameGray(index);
        if (m_always || m_pictureWanted.exchange(false)) {
            try {
                RgbImage colour = m_source.frameRgb(index);
                std::lock_guard lock(m_mutex);
                m_colour.emplace_back(index, std::move(colour));
            } catch (const std::exception &error) {
                // Colour is a help: the run goes on in grey levels.
                logDebug("tracking", "colour of frame " + std::to_string(index) + ": " + error.what());
            }
        }
        return gray;
    }

    // The colour of `index`, when it was taken; earlier ones are dropped.
    std::optional<RgbImage> take(int index)
    {
        std::lock_guard lock(m_mutex);
        while (!m_colour.empty() && m_colour.front().first < index)
            m_colour.pop_front();
        if (m_colour.empty() || m_colour.front().first != index)
            return std::nullopt;
        std::optional<RgbImage> colour = std::move(m_colour.front().second);
        m_colour.pop_front();
        return colour;
    }

private:
    FrameSource &m_source;
    const bool m_always;
    std::atomic<bool> &m_pictureWanted;
    std::mutex m_mutex;
    std::deque<std::pair<int, RgbImage>> m_colour;
};

TrackingEngine::TrackingEngine(FrameSource &source, const TrackingStart &start)
        : m_source(source), m_start(start),
          m_tracker(std::make_unique<AutoTracker>(source.frameGray(start.from), source.frameRgb(start.from), start.x,
                                                  start.y))
{}

TrackingEngine::~TrackingEngine() = default;

bool TrackingEngine::hasTarget() const { return m_tracker->hasTarget(); }

TrackingEnd TrackingEngine::run(const Report &report, const std::atomic<bool> &stop)
{
    const bool colour = m_tracker->followsColour();
    ColourTap tap(m_source, colour, m_pictureWanted);
    GrayFramePrefetcher ahead(tap, m_start.from + 1, m_start.last, kFramesAhead);
    int frame = m_start.from;
    while (frame < m_start.last) {
        if (stop)
            return {TrackingEnd::Kind::Stopped, frame};
        ++frame;
        const std::optional<GrayImage> image = ahead.take(frame);
        if (!image)
            return {TrackingEnd::Kind::Unreadable, frame};
        std::optional<RgbImage> picture = tap.take(frame);
        TrackStep step;
        try {
            step = colour && picture ? m_tracker->next(*image, *picture) : m_tracker->next(*image);
        } catch (const AutoTrackError &error) {
            logDebug("tracking", "frame " + std::to_string(frame) + ": " + error.what());
            return {TrackingEnd::Kind::Unreadable, frame};
        }
        if (colour && !m_pictureWanted.exchange(false))
            picture.reset();
        report({frame, step, std::move(picture)});
        if (step.state == TrackStep::State::Lost)
            return {TrackingEnd::Kind::Lost, frame};
    }
    return {TrackingEnd::Kind::LastFrame, frame};
}

} // namespace zorvane
