#pragma once

#include "app/trackingengine.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zorvane {

// How a run on its own thread ended: as the engine says, or before it
// could start.
struct BackgroundEnd {
    enum class Kind {
        Ended,        // see `tracking`
        CannotStart,  // the video or its start frame cannot be read again
        PointOutside, // the start point lies outside the picture
    };
    Kind kind = Kind::Ended;
    TrackingEnd tracking;
};

// A tracking run for a window, on a thread of its own. It opens its own
// single-pass reader of the video, so that the player's reader stays the
// interface thread's alone and neither waits for the other. What it finds
// waits here until the window takes it; `wake` tells, from the run's
// thread, that something came while nothing was waiting.
class BackgroundTracking {
public:
    using Opener = std::function<std::unique_ptr<FrameSource>(const std::string &utf8Path)>;
    using Wake = std::function<void()>;

    // What came since the last take, in order; `end` once the run is over.
    struct Mail {
        std::vector<TrackedFrame> frames;
        std::optional<BackgroundEnd> end;
    };

    BackgroundTracking(Opener opener, std::string utf8Path, const TrackingStart &start, Wake wake);
    // Stops the run and waits for its thread.
    ~BackgroundTracking();
    BackgroundTracking(const BackgroundTracking &) = delete;
    BackgroundTracking &operator=(const BackgroundTracking &) = delete;

    Mail take();
    // Ends the run between two frames and waits for it; what it found and
    // nobody took is dropped.
    void stop();
    // The next frame decoded comes with its colour picture.
    void requestPicture();

private:
    void run(const Opener &opener, const std::string &path, const TrackingStart &start);
    void post(TrackedFrame &&frame);
    void finish(const BackgroundEnd &end);

    Wake m_wake;
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    Mail m_mail;
    TrackingEngine *m_engine = nullptr;
    std::thread m_thread;
};

} // namespace zorvane
