#pragma once

#include "journal/videoidentity.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

// A journal is a sequence of records, each framed as
//   u32 payload length | u8 type | payload | u32 CRC-32 of all before it
// with every number little-endian. The first record is the header naming
// the video; a record whose checksum or content does not hold ends the
// journal there, which is how a record torn by a crash is dropped.

enum class RecordType : std::uint8_t {
    Header = 1, // magic, version, the video's size, time and path
    Track = 2,  // the whole track: a baseline or a loaded sequence
    Points = 3, // points set one by one: clicks, removals, tracked batches
    Saved = 4,  // a sequence save covered every frame
    // The same for the points beside A: the payload starts with the
    // point's index (1 for B), then is that of Track or Points.
    OtherTrack = 5,
    OtherPoints = 6,
};

// Why points were set; kept for whoever reads a journal by hand.
enum class PointsCause : std::uint8_t {
    Click = 1,    // a click, also one that overwrites or removes a point
    Tracked = 2,  // a batch of automatically tracked points
    Undone = 3,   // the points a batch had replaced, put back
    Restored = 4, // unsaved points carried over from a recovered journal
};

namespace journalformat {

inline constexpr char kMagic[8] = {'Z', 'V', 'J', 'O', 'U', 'R', 'N', 'L'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kHeadBytes = 5;
inline constexpr std::size_t kChecksumBytes = 4;
inline constexpr std::size_t kPointBytes = 12;
inline constexpr std::uint32_t kMaxPathBytes = 16 * 1024;
// One record holds at most one point per frame of the largest track.
inline constexpr std::uint32_t kMaxPoints = PointTrack::kMaxUpperBound + 1;
inline constexpr std::uint32_t kMaxPayloadBytes = 13 + kPointBytes * kMaxPoints;
// Reading stops here: a larger file is read in bounded time, and a journal
// refuses to grow past it.
inline constexpr std::uint64_t kMaxJournalBytes = 512ull * 1024 * 1024;

} // namespace journalformat

// A whole record around `payload`, checksum included.
std::string encodeRecord(RecordType type, std::string_view payload);

std::string encodeHeader(const VideoIdentity &video);
// The track with its upper bound; frames below coveredFrames are marked as
// saved in a file, the others keep their unsaved mark. Points of frames
// flagged in leaveOut (when given) are left out, as if empty.
std::string encodeTrack(const PointTrack &track, std::int32_t coveredFrames,
                        const std::vector<bool> *leaveOut = nullptr);
std::string encodePoints(PointsCause cause, std::span<const FramePoint> points);
std::string encodeSaved();
// For the point `index` (1 for B) beside A.
std::string encodeOtherTrack(int index, const PointTrack &track, std::int32_t coveredFrames,
                             const std::vector<bool> *leaveOut = nullptr);
std::string encodeOtherPoints(int index, PointsCause cause, std::span<const FramePoint> points);

} // namespace zorvane
