#pragma once

#include "journal/videoidentity.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace zorvane {

// What a journal file holds, as far as its records are whole and sound.
struct JournalContents {
    std::optional<VideoIdentity> video; // nothing when even the header is unusable
    PointTrack track;                   // the track as the records leave it
    PointSet others;                    // the points beside it, as long as it
    std::vector<bool> unsaved;          // per frame of the track: changed since the last save
    std::int32_t unsavedPoints = 0;     // points of frames changed since the last save
    std::uint64_t validBytes = 0;       // length of the whole, checked records
    std::uint64_t records = 0;
    bool damaged = false; // bytes after validBytes could not be used
};

// Never throws for what the file holds: a truncated, garbled or foreign
// file gives what precedes its first bad record. Memory stays within the eight
// tracks of at most PointTrack::kMaxUpperBound frames plus a fixed buffer,
// and at most journalformat::kMaxJournalBytes are read. A file that cannot
// be opened gives empty contents.
JournalContents readJournal(const std::filesystem::path &file);

} // namespace zorvane
