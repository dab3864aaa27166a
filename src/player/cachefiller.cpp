#include "player/cachefiller.h"

#include "common/log.h"

#include <algorithm>
#include <string>

namespace zorvane {

CacheFiller::CacheFiller(FrameSource &source, std::chrono::milliseconds delay, std::chrono::milliseconds nearDelay)
        : m_source(source), m_delay(delay), m_nearDelay(std::min(nearDelay, delay))
{
    m_thread = std::thread([this] { run(); });
}

CacheFiller::~CacheFiller()
{
    {
        std::lock_guard lock(m_mutex);
        m_quitting = true;
        m_pending.reset();
    }
    m_stop = true;
    m_changed.notify_all();
    m_thread.join();
}

void CacheFiller::fillAround(int index)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = index;
        ++m_requests;
    }
    m_changed.notify_all();
}

std::unique_lock<std::mutex> CacheFiller::claim()
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.reset();
        ++m_generation;
    }
    m_changed.notify_all();
    m_stop = true;
    std::unique_lock source(m_sourceMutex);
    m_stop = false;
    return source;
}

void CacheFiller::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_quitting || m_pending.has_value(); });
        if (m_quitting)
            return;
        if (!restFor(lock, m_nearDelay) || !fill(lock, FillReach::Near))
            continue;
        if (!restFor(lock, m_delay - m_nearDelay) || !fill(lock, FillReach::All))
            continue;
        m_pending.reset();
        ++m_completed;
        m_changed.notify_all();
    }
}

bool CacheFiller::restFor(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds duration)
{
    const unsigned requests = m_requests;
    const unsigned claims = m_generation;
    const bool disturbed = m_changed.wait_for(
        lock, duration, [&] { return m_quitting || requests != m_requests || claims != m_generation; });
    return !disturbed && m_pending.has_value();
}

bool CacheFiller::fill(std::unique_lock<std::mutex> &lock, FillReach reach)
{
    const int index = *m_pending;
    const unsigned requests = m_requests;
    const unsigned generation = m_generation;
    m_running = true;
    lock.unlock();
    bool ran = false;
    {
        const std::lock_guard source(m_sourceMutex);
        lock.lock();
        const bool current = generation == m_generation;
        lock.unlock();
        if (current) {
            try {
                m_source.fillCacheAround(index, reach, m_stop);
                ran = !m_stop;
            } catch (const std::exception &error) {
                // A fill is a guess; the frame asked for later reports its own failure.
                logDebug("player", std::string("cache fill around frame ") + std::to_string(index) + ": " + error.what());
            } catch (...) {
                logDebug("player", "cache fill around frame " + std::to_string(index) + " failed");
            }
        }
    }
    lock.lock();
    m_running = false;
    m_changed.notify_all();
    return ran && requests == m_requests && generation == m_generation;
}

bool CacheFiller::waitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return !m_running && !m_pending.has_value(); });
}

int CacheFiller::completedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

} // namespace zorvane
