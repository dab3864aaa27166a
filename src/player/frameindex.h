#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace zorvane {

class DecodeSession;

// Which frames a file holds, in presentation order: their timestamps and
// which of them are keyframes. Frame n is the n-th frame a full decode
// yields.
class FrameIndex {
public:
    // Reads the session's packets to the end. Empty when their timestamps
    // cannot be trusted to match the decoder's output one for one. Throws
    // ReaderError past FrameReader::kMaxFrames.
    static std::optional<FrameIndex> fromPackets(DecodeSession &session);
    // From the timestamps of a full decode in output order (AV_NOPTS_VALUE
    // where a frame had none) and the positions of its keyframes.
    static FrameIndex fromDecodedFrames(std::vector<std::int64_t> stamps, std::vector<int> keyframes);

    int count() const { return static_cast<int>(m_stamps.size()); }
    // False when the timestamps cannot time the frames; times then follow
    // from the frame rate.
    bool timesFromStamps() const { return m_timesFromStamps; }
    // Timestamps do not tell frames apart: frames are counted from the start.
    bool byOrdinal() const { return m_byOrdinal; }
    void tellApartByOrdinal() { m_byOrdinal = true; }

    // The frame with exactly this timestamp, or -1.
    int frameWithStamp(std::int64_t stamp) const;
    std::int64_t stamp(int index) const { return m_stamps[static_cast<std::size_t>(index)]; }
    // Time base ticks from the first frame to frame `index`.
    double ticksFromFirst(int index) const;

    // Position in the keyframe list of the last keyframe at or before
    // frame `index`; -1 when there is none.
    int keyPositionAtOrBefore(int index) const;
    // Frame index of the keyframe at `position` in the keyframe list.
    int keyframe(int position) const { return m_keyframes[static_cast<std::size_t>(position)]; }

private:
    std::vector<std::int64_t> m_stamps; // presentation order, strictly increasing when times come from them
    std::vector<int> m_keyframes;       // ascending frame indices
    bool m_timesFromStamps = true;
    bool m_byOrdinal = false;
};

} // namespace zorvane
