#pragma once

#include <cmath>
#include <deque>
#include <optional>

namespace zorvane {

struct Vec2 {
    double x = 0;
    double y = 0;
};

inline double length(Vec2 v) { return std::hypot(v.x, v.y); }

inline Vec2 minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }

// Where the object should be in a frame, from where it was found in the
// recent frames: a least-squares fit of constant acceleration (thrown
// objects), of constant velocity with fewer points. Where every frame
// shows twice, the next one is predicted as the repeats go.
class MotionModel {
public:
    void add(int frame, Vec2 position);
    void clear()
    {
        m_history.clear();
        m_recent.clear();
    }
    // Forgets all but the newest samples: the motion changed abruptly.
    void keepNewest(int count);
    bool empty() const { return m_history.empty(); }
    int samples() const { return static_cast<int>(m_history.size()); }
    int lastFrame() const { return m_history.back().frame; }
    Vec2 lastPosition() const { return m_history.back().position; }

    Vec2 predict(int frame) const;
    // Displacement per frame at the last sample.
    Vec2 velocity() const;

private:
    struct Sample {
        int frame;
        Vec2 position;
    };
    static constexpr int kFitLength = 8;
    // Steps on consecutive frames that tell frames shown twice.
    static constexpr int kRepeatSteps = 5;
    std::optional<bool> movedLastWhenShownTwice() const;
    static Vec2 fitted(const std::deque<Sample> &history, int frame);
    std::deque<Sample> m_history;
    std::deque<Sample> m_recent; // the last few, whatever was forgotten of the motion
};

} // namespace zorvane
