#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvane {

enum class TrackErrorKind {
    NoStorage,       // nothing opened or loaded yet
    OutOfRange,      // index outside 0..upperBound(), or a bound we refuse
    NotRepresentable // a coordinate that does not fit a 32-bit integer
};

class TrackError : public std::runtime_error {
public:
    TrackError(TrackErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    TrackErrorKind kind() const noexcept { return m_kind; }

private:
    TrackErrorKind m_kind;
};

// The point of one frame, in pixels of the video area. (0, 0) means none.
struct TrackPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;

    bool isEmpty() const { return X == 0 && Y == 0; }
    friend bool operator==(const TrackPoint &, const TrackPoint &) = default;
};

// A point with the frame it belongs to.
struct FramePoint {
    std::int32_t frame = 0;
    TrackPoint point;

    friend bool operator==(const FramePoint &, const FramePoint &) = default;
};

// One point per frame, indexed by frame number from 0. Holds no storage
// until first sized; resizing keeps what fits and fills new entries with
// (0, 0).
class PointTrack {
public:
    // A day of video at over 100 frames per second: anything above is a
    // corrupt length, and would cost gigabytes.
    static constexpr std::int32_t kMaxUpperBound = 10'000'000;

    bool hasStorage() const { return m_hasStorage; }
    static constexpr std::int32_t lowerBound() { return 0; }
    // Throws TrackError (NoStorage) before the first resize.
    std::int32_t upperBound() const;

    // Throws TrackError (OutOfRange) for a negative bound or one above
    // kMaxUpperBound, leaving the track as it was.
    void resize(std::int32_t upperBound);

    // Throw TrackError (NoStorage or OutOfRange); never touch memory outside.
    TrackPoint at(std::int32_t index) const;
    void set(std::int32_t index, TrackPoint point);
    void setX(std::int32_t index, std::int32_t x);
    void setY(std::int32_t index, std::int32_t y);

    // The entry, or nothing when the index is outside or there is no storage.
    std::optional<TrackPoint> find(std::int32_t index) const noexcept;

private:
    std::size_t checkedIndex(std::int32_t index) const;

    std::vector<TrackPoint> m_points;
    bool m_hasStorage = false;
};

// The point a left click at (x, y) stores. Throws TrackError
// (NotRepresentable) when a coordinate does not round to a 32-bit integer.
TrackPoint clickPoint(float x, float y);

// Stores a left click at (x, y) as the point of `frame`. Throws TrackError
// and changes nothing when the frame is outside the track or a coordinate
// does not round to a 32-bit integer.
void recordClick(PointTrack &track, std::int32_t frame, float x, float y);

} // namespace zorvane
