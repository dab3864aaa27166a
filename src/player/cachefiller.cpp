#include "player/cachefiller.h"

namespace zorvane {

CacheFiller::CacheFiller(FrameSource &source, std::chrono::milliseconds delay) : m_source(source), m_delay(delay)
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
        const unsigned requests = m_requests;
        const unsigned claims = m_generation;
        // A new request or a claim within the delay starts the wait again.
        if (m_changed.wait_for(lock, m_delay,
                               [&] { return m_quitting || requests != m_requests || claims != m_generation; }))
            continue;
        const int index = *m_pending;
        m_pending.reset();
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
                    m_source.fillCacheAround(index, m_stop);
                    ran = !m_stop;
                } catch (...) {
                    // A fill is a guess; the frame asked for later reports its own failure.
                }
            }
        }
        lock.lock();
        m_running = false;
        if (ran)
            ++m_completed;
        m_changed.notify_all();
    }
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
