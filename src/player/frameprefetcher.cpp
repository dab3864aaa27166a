#include "player/frameprefetcher.h"

#include "common/log.h"

#include <algorithm>
#include <string>

namespace zorvane {

template <typename Image>
BasicFramePrefetcher<Image>::BasicFramePrefetcher(FrameSource &source, int first, int last, int depth)
        : m_source(source), m_last(last), m_depth(depth < 1 ? 1 : depth), m_next(first), m_wanted(first)
{
    m_thread = std::thread([this] { run(); });
}

template <typename Image>
BasicFramePrefetcher<Image>::~BasicFramePrefetcher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

template <typename Image>
bool BasicFramePrefetcher<Image>::mayDecode() const
{
    return !m_stopping && m_failedAt < 0 && m_next <= m_last && static_cast<int>(m_ready.size()) < m_depth;
}

template <typename Image>
void BasicFramePrefetcher<Image>::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_stopping || mayDecode(); });
        if (m_stopping)
            return;
        const int index = m_next++;
        m_inFlight = index;
        lock.unlock();
        std::optional<Image> image;
        try {
            image = read(index);
        } catch (const std::exception &error) {
            // An exception must not leave this thread; the player sees an
            // empty frame and stops there.
            logDebug("player", std::string("playing frame ") + std::to_string(index) + ": " + error.what());
        } catch (...) {
            logDebug("player", "playing frame " + std::to_string(index) + " failed");
        }
        lock.lock();
        m_inFlight = -1;
        ++m_decoded;
        if (!image) {
            if (index >= m_wanted)
                m_failedAt = index;
        } else if (index >= m_wanted)
            m_ready.emplace_back(index, std::move(*image));
        m_changed.notify_all();
    }
}

template <typename Image>
std::optional<Image> BasicFramePrefetcher<Image>::take(int index)
{
    std::unique_lock lock(m_mutex);
    m_wanted = std::max(m_wanted, index);
    // Frames the player has passed are not worth decoding.
    m_next = std::max(m_next, index);
    while (true) {
        while (!m_ready.empty() && m_ready.front().first < index)
            m_ready.pop_front();
        m_changed.notify_all();
        if (!m_ready.empty() && m_ready.front().first == index) {
            Image image = std::move(m_ready.front().second);
            m_ready.pop_front();
            m_changed.notify_all();
            return image;
        }
        const bool failed = m_failedAt >= 0 && m_failedAt <= index;
        const bool coming = m_inFlight == index || m_next <= index;
        if (index > m_last || failed || !coming)
            return std::nullopt;
        m_changed.wait(lock);
    }
}

template <typename Image>
int BasicFramePrefetcher<Image>::decodedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_decoded;
}

template <>
RgbImage BasicFramePrefetcher<RgbImage>::read(int index)
{
    return m_source.frameRgb(index);
}

template <>
GrayImage BasicFramePrefetcher<GrayImage>::read(int index)
{
    return m_source.frameGray(index);
}

template class BasicFramePrefetcher<RgbImage>;
template class BasicFramePrefetcher<GrayImage>;

} // namespace zorvane
