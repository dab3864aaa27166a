#include "app/backgroundtracking.h"

#include "common/log.h"

#include <string>
#include <utility>

namespace zorvane {

BackgroundTracking::BackgroundTracking(Opener opener, std::string utf8Path, const TrackingStart &start, Wake wake)
        : m_wake(std::move(wake))
{
    m_thread = std::thread(
        [this, opener = std::move(opener), path = std::move(utf8Path), start] { run(opener, path, start); });
}

BackgroundTracking::~BackgroundTracking() { stop(); }

void BackgroundTracking::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    m_mail.frames.clear();
}

BackgroundTracking::Mail BackgroundTracking::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_mail, {});
}

void BackgroundTracking::requestPicture()
{
    std::lock_guard lock(m_mutex);
    if (m_engine)
        m_engine->requestPicture();
}

void BackgroundTracking::run(const Opener &opener, const std::string &path, const TrackingStart &start)
{
    std::unique_ptr<FrameSource> source;
    std::unique_ptr<TrackingEngine> engine;
    try {
        source = opener(path);
        if (start.last >= source->frameCount())
            return finish({BackgroundEnd::Kind::CannotStart, {}});
        engine = std::make_unique<TrackingEngine>(*source, start);
    } catch (const AutoTrackError &error) {
        logDebug("tracking", std::string("start: ") + error.what());
        return finish({error.kind() == AutoTrackErrorKind::PointOutside ? BackgroundEnd::Kind::PointOutside
                                                                        : BackgroundEnd::Kind::CannotStart,
                       {}});
    } catch (const std::exception &error) {
        logDebug("tracking", std::string("start: ") + error.what());
        return finish({BackgroundEnd::Kind::CannotStart, {}});
    }
    {
        std::lock_guard lock(m_mutex);
        m_engine = engine.get();
    }
    const TrackingEnd end = engine->run([this](TrackedFrame &&frame) { post(std::move(frame)); }, m_stop);
    {
        std::lock_guard lock(m_mutex);
        m_engine = nullptr;
    }
    finish({BackgroundEnd::Kind::Ended, end});
}

void BackgroundTracking::post(TrackedFrame &&frame)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_mail.frames.empty() && !m_mail.end;
        m_mail.frames.push_back(std::move(frame));
    }
    if (wasEmpty)
        m_wake();
}

void BackgroundTracking::finish(const BackgroundEnd &end)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_mail.frames.empty();
        m_mail.end = end;
    }
    if (wasEmpty)
        m_wake();
}

} // namespace zorvane
