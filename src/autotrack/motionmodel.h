#pragma once

#include <cmath>
#include <deque>

namespace zorvane {

struct Vec2 {
    double x = 0;
    double y = 0;
};

inline double length(Vec2 v) { return std::hypot(v.x, v.y); }

inline Vec2 minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }

// Where the object should be in a frame, from where it was found in the
// recent frames: a least-squares fit of constant acceleration (thrown
// objects), of constant velocity with fewer points.
class MotionModel {
public:
    void add(int frame, Vec2 position);
    void clear() { m_history.clear(); }
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
    std::deque<Sample> m_history;
};

} // namespace zorvane
