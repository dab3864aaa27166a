#pragma once

#include "player/framesource.h"
#include "player/playbackclock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zorvane {

class CacheFiller;
template <typename Image>
class BasicFramePrefetcher;

enum class PlayerState {
    Closed,  // no file open
    Paused,  // a file open, the picture still
    Playing, // the picture follows the clock
};

// What one playback run did, for the benchmark and the tests.
struct PlaybackStats {
    int shown = 0;
    int skipped = 0;
    double worstLatenessMs = 0.0;
};

struct PictureSize {
    int width = 0;
    int height = 0;
};

// Whoever shows the player's pictures and state; called on the thread that
// drives the player.
class PlayerListener {
public:
    virtual ~PlayerListener() = default;
    // The picture of the new position, decoded.
    virtual void pictureChanged(RgbImage &&picture) = 0;
    // Nothing is open any more.
    virtual void pictureCleared() = 0;
    virtual void stateChanged(PlayerState state) = 0;
};

// The video player without any window: opens a file through the opener,
// moves through its frames and plays it against a clock. Positions count
// from 0; the length is 0 while nothing is open. A move that cannot be
// carried out (nothing open, past either end, a frame that fails to
// decode) returns false and leaves position and picture as they were.
// Every move pauses a running playback first. While paused, the frames
// before the current one are decoded in the background into the source's
// cache, so that stepping back is served from there.
//
// Playback needs a driver with a timer: after play(), it waits
// msUntilNextFrame() and calls playDueFrame(), until the state is no
// longer Playing.
//
// Threads. A FrameSource is not thread-safe, and the player's source is
// touched by one thread at a time:
// - the thread that drives the player, for opens and moves, each under
//   the cache filler's claim, so that a fill stops between two frames (its
//   reads and seeks give up at once) and waits meanwhile;
// - while playing, the prefetcher's thread alone: the player holds the
//   claim from play() until the prefetcher has joined;
// - while paused, the filler's thread, between claims.
// The driver and the listener share one thread. Whoever else decodes the
// same video (a tracking run, a benchmark) opens a source of its own.
// stopAllDecoding() ends every decode at once for a quit.
class Player {
public:
    using Opener = std::function<std::unique_ptr<FrameSource>(const std::string &utf8Path)>;
    // Milliseconds on a steady clock.
    using TimeSource = std::function<double()>;

    explicit Player(Opener opener);
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    void setListener(PlayerListener *listener) { m_listener = listener; }
    void setTimeSource(TimeSource now) { m_now = std::move(now); }
    // How long the player stays on a frame before it fills the cache
    // farther back than a step; for files opened from then on.
    void setCacheFillDelay(std::chrono::milliseconds delay) { m_fillDelay = delay; }

    // Closes what is open, then opens the file at utf8Path and shows its
    // frame 0. False, with the player closed, when the file cannot be opened.
    bool open(const std::string &utf8Path);
    void close();
    // Plays from the current position; true when a file is open, also when
    // there is nothing left to play.
    bool play();
    void pause();
    // Pauses and goes back to frame 0.
    bool stop();
    bool step();
    bool back();
    bool seek(int frame);
    bool first();
    bool last();

    int position() const { return m_position; }
    int length() const;
    PlayerState state() const;
    bool isOpen() const { return m_source != nullptr; }
    bool isPlaying() const { return m_playing; }
    // The file last given to open().
    const std::string &fileName() const { return m_fileName; }
    // Why the last open failed; empty after a success.
    const std::string &lastError() const { return m_lastError; }
    // The picture size of the open video.
    std::optional<PictureSize> pictureSize() const;
    // The open video's frames, for their times; null while nothing is open.
    const FrameSource *source() const { return m_source.get(); }
    // The picture of a frame, decoded without moving there; empty when
    // nothing is open, the frame is outside or cannot be decoded. Pauses a
    // running playback first, which decodes from the same file.
    RgbImage pictureOf(int frame);
    // Presentation time of a frame in ms from the first; 0 when nothing is open.
    double frameTimeMs(int index) const { return m_source ? m_source->frameTimeMs(index) : 0.0; }

    // While playing: how long until the next frame is due (0 when it is late).
    double msUntilNextFrame() const;
    // Shows the frame due now, skipping the late ones; pauses at the last
    // frame or when a frame cannot be decoded. False when nothing was shown.
    bool playDueFrame();
    const PlaybackStats &playbackStats() const { return m_stats; }

    // Waits until the background decoding is done; for the tests and the
    // benchmark. False on timeout.
    bool waitForCacheFill(double timeoutMs);

private:
    bool moveTo(int frame);
    bool show(int frame);
    // The frame's complete picture, or an empty one.
    RgbImage decoded(int frame);
    void showPicture(RgbImage &&picture);
    double msSincePlayStart() const;
    void setPlaying(bool playing);
    void fillCache();

    Opener m_opener;
    TimeSource m_now;
    PlayerListener *m_listener = nullptr;
    std::unique_ptr<FrameSource> m_source;
    std::string m_fileName;
    std::string m_lastError;
    int m_position = 0;

    bool m_playing = false;
    double m_playStartMs = 0.0;
    PlaybackClock m_clock;
    PlaybackStats m_stats;
    std::unique_ptr<BasicFramePrefetcher<RgbImage>> m_prefetcher;
    std::unique_lock<std::mutex> m_prefetcherClaim;
    std::unique_ptr<CacheFiller> m_filler;
    // Before the fill of the frames farther back, which moves the decoder
    // away from the current frame: a pause, not a hesitation between steps.
    std::chrono::milliseconds m_fillDelay{300};
};

} // namespace zorvane
