#pragma once

#include "track/numbertext.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zorvane {

// The track as text: " U " on the first line, then "T<TAB>X<TAB>Y" for
// every frame 0..U with T = frame x step in ms; lines end with CR LF.

enum class SequenceErrorKind {
    NothingToSave, // the track has no storage
    StepNotNumber, // the step text is not a finite number
    WriteFailed,   // the file could not be written; the previous one is intact
    CannotOpen,    // the file to load could not be opened or read
    TooManyFrames, // the file announces more frames than any video has
};

// Messages are French and meant for the user as they stand.
class SequenceError : public std::runtime_error {
public:
    SequenceError(SequenceErrorKind kind, const std::string &message) : std::runtime_error(message), m_kind(kind) {}
    SequenceErrorKind kind() const noexcept { return m_kind; }

private:
    SequenceErrorKind m_kind;
};

inline constexpr std::string_view kProposedSequenceName = "Sequence.txt";

// What the save command needs before it shows its dialog: storage and at
// least two frames.
bool hasSequenceToSave(const PointTrack &track);

// Writes the whole track, or nothing: the previous file stays as it was on
// any failure. Throws SequenceError (NothingToSave, StepNotNumber,
// WriteFailed).
void saveSequence(const std::filesystem::path &path, const PointTrack &track, std::string_view stepText,
                  const NumberFormat &format);

struct SequenceLoad {
    std::int32_t upperBound = 0; // the first number; 0 when unreadable, below 0 loads nothing
    std::int32_t framesRead = 0; // data lines found, at most upperBound + 1
    bool stoppedEarly = false;   // a line too long for a sequence, or a read error
};

// Reads a sequence into the track: raises its upper bound to the file's
// when lower, then overwrites entries 0..N as far as the file goes. The
// time column is ignored; a comma in it is a decimal separator. Throws
// SequenceError (CannotOpen, TooManyFrames) and then changes nothing.
SequenceLoad loadSequence(const std::filesystem::path &path, PointTrack &track);

} // namespace zorvane
