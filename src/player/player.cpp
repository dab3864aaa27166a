#include "player/player.h"

#include "common/log.h"
#include "player/cachefiller.h"
#include "player/frameprefetcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>

namespace zorvane {
namespace {

// Enough to ride out one slow frame without holding many 1080p pictures.
constexpr int kPrefetchDepth = 4;
// Longer than between two repeated key presses, so that holding a key
// does not start the fill of the frames a step back needs at every frame.
constexpr std::chrono::milliseconds kNearFillDelay{50};

double steadyNowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool isComplete(const RgbImage &picture)
{
    return picture.width > 0 && picture.height > 0
           && picture.pixels.size()
                  >= static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3;
}

} // namespace

Player::Player(Opener opener) : m_opener(std::move(opener)), m_now(steadyNowMs) {}

Player::~Player()
{
    // The claim is on the filler's lock, so it goes before the filler.
    m_prefetcher.reset();
    if (m_prefetcherClaim.owns_lock())
        m_prefetcherClaim.unlock();
}

bool Player::open(const std::string &utf8Path)
{
    close();
    m_fileName = utf8Path;
    try {
        m_source = m_opener(utf8Path);
        m_lastError.clear();
    } catch (const ReaderError &error) {
        m_source.reset();
        m_lastError = error.what();
        logDebug("player", m_lastError);
    }
    if (!m_source)
        return false;
    m_filler = std::make_unique<CacheFiller>(*m_source, m_fillDelay, kNearFillDelay);
    // A file whose first frame cannot be decoded stays open with an empty
    // picture rather than showing a frame that is not frame 0. Without a
    // listener nobody would see the picture.
    if (m_listener && length() > 0 && show(0))
        fillCache();
    if (m_listener)
        m_listener->stateChanged(state());
    return true;
}

void Player::close()
{
    pause();
    const bool wasOpen = isOpen();
    m_filler.reset();
    m_source.reset();
    m_position = 0;
    if (m_listener) {
        m_listener->pictureCleared();
        if (wasOpen)
            m_listener->stateChanged(state());
    }
}

bool Player::play()
{
    if (!isOpen())
        return false;
    if (m_playing || m_position >= length() - 1)
        return true;
    m_stats = {};
    std::vector<double> times;
    for (int frame = m_position; frame < length(); ++frame)
        times.push_back(m_source->frameTimeMs(frame));
    m_clock = PlaybackClock(m_position, std::move(times));
    // The prefetcher's thread has the source to itself until the pause.
    if (m_filler)
        m_prefetcherClaim = m_filler->claim();
    m_prefetcher = std::make_unique<FramePrefetcher>(*m_source, m_position + 1, length() - 1, kPrefetchDepth);
    m_playStartMs = m_now();
    setPlaying(true);
    return true;
}

void Player::pause()
{
    // Joins the decoding thread before anyone else uses the source.
    m_prefetcher.reset();
    if (m_prefetcherClaim.owns_lock())
        m_prefetcherClaim.unlock();
    const bool wasPlaying = m_playing;
    setPlaying(false);
    if (wasPlaying)
        fillCache();
}

void Player::fillCache()
{
    if (m_filler && !m_playing)
        m_filler->fillAround(m_position);
}

bool Player::waitForCacheFill(double timeoutMs)
{
    return !m_filler
           || m_filler->waitUntilIdle(std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(timeoutMs))));
}

bool Player::stop()
{
    pause();
    return moveTo(0);
}

bool Player::step()
{
    pause();
    return moveTo(m_position + 1);
}

bool Player::back()
{
    pause();
    return moveTo(m_position - 1);
}

bool Player::seek(int frame)
{
    pause();
    return moveTo(frame);
}

bool Player::first() { return seek(0); }

bool Player::last() { return seek(length() - 1); }

int Player::length() const { return m_source ? m_source->frameCount() : 0; }

PlayerState Player::state() const
{
    if (!isOpen())
        return PlayerState::Closed;
    return m_playing ? PlayerState::Playing : PlayerState::Paused;
}

std::optional<PictureSize> Player::pictureSize() const
{
    if (!m_source)
        return std::nullopt;
    return PictureSize{m_source->width(), m_source->height()};
}

RgbImage Player::pictureOf(int frame)
{
    pause();
    if (!isOpen() || frame < 0 || frame >= length())
        return {};
    return decoded(frame);
}

bool Player::moveTo(int frame)
{
    if (!isOpen() || frame < 0 || frame >= length())
        return false;
    if (!show(frame))
        return false;
    m_position = frame;
    fillCache();
    return true;
}

bool Player::show(int frame)
{
    RgbImage picture = decoded(frame);
    if (picture.pixels.empty())
        return false;
    showPicture(std::move(picture));
    return true;
}

RgbImage Player::decoded(int frame)
{
    RgbImage picture;
    try {
        const std::unique_lock<std::mutex> source = m_filler ? m_filler->claim() : std::unique_lock<std::mutex>();
        picture = m_source->frameRgb(frame);
    } catch (const std::exception &error) {
        // Out of memory for a huge frame counts as a broken frame.
        logDebug("player", std::string("frame ") + std::to_string(frame) + ": " + error.what());
        return {};
    }
    return isComplete(picture) ? std::move(picture) : RgbImage{};
}

void Player::showPicture(RgbImage &&picture)
{
    if (m_listener)
        m_listener->pictureChanged(std::move(picture));
}

double Player::msSincePlayStart() const { return m_now() - m_playStartMs; }

double Player::msUntilNextFrame() const
{
    if (!m_playing)
        return 0.0;
    return std::max(0.0, m_clock.dueAtMs(m_position + 1) - msSincePlayStart());
}

bool Player::playDueFrame()
{
    if (!m_playing || !m_prefetcher)
        return false;
    const int due = m_clock.dueFrame(m_position, msSincePlayStart());
    std::optional<RgbImage> picture = m_prefetcher->take(due);
    if (!picture || !isComplete(*picture)) {
        pause();
        return false;
    }
    showPicture(std::move(*picture));
    m_stats.skipped += PlaybackClock::skippedBetween(m_position, due);
    m_stats.shown += 1;
    m_position = due;
    // Measured once the listener has the picture on screen: what the user sees.
    m_stats.worstLatenessMs = std::max(m_stats.worstLatenessMs, msSincePlayStart() - m_clock.dueAtMs(due));
    if (due >= length() - 1)
        pause();
    return true;
}

void Player::setPlaying(bool playing)
{
    if (m_playing == playing)
        return;
    m_playing = playing;
    if (m_listener)
        m_listener->stateChanged(state());
}

} // namespace zorvane
