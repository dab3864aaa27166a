#pragma once

#include "track/numbertext.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zorvane {

// The points beside a sequence file NAME.txt, in NAME.points.tsv: the line
// "t (ms)<TAB>XA<TAB>YA<TAB>XB<TAB>YB..." then, for every frame, its time
// and the X, Y of every point, both fields empty where a point is missing;
// lines end with CR LF. Point A repeats the sequence file, so that the
// companion alone holds the whole measurement.

enum class CompanionErrorKind {
    CannotOpen,    // missing, unreadable, or not a regular file
    BadHeader,     // the first line does not name the points A, B, ... in order
    BadLine,       // a line with the wrong fields, or one too long
    TooManyFrames, // more lines than any video has frames
    WriteFailed,   // the file could not be written; the previous one is intact
};

class CompanionError : public std::runtime_error {
public:
    CompanionError(CompanionErrorKind kind, std::int64_t line, int error, const std::string &message)
            : std::runtime_error(message), m_kind(kind), m_line(line), m_error(error)
    {}
    CompanionErrorKind kind() const noexcept { return m_kind; }
    // The file's line at fault, from 1; 0 when none.
    std::int64_t line() const noexcept { return m_line; }
    // errno for CannotOpen and WriteFailed, else 0.
    int error() const noexcept { return m_error; }

private:
    CompanionErrorKind m_kind;
    std::int64_t m_line;
    int m_error;
};

inline constexpr std::size_t kMaxCompanionLineBytes = 1024;

std::filesystem::path companionPath(const std::filesystem::path &sequence);

// All or nothing, as the sequence file. Throws CompanionError (WriteFailed).
void saveCompanion(const std::filesystem::path &path, const PointTrack &a, const PointSet &others, double stepMs,
                   const NumberFormat &format);

struct CompanionPoints {
    PointTrack a;
    PointSet others; // sized as a
};

// The whole file or a CompanionError; nothing in between. Memory grows
// with the file's lines only, which are bounded in number and length.
CompanionPoints loadCompanion(const std::filesystem::path &path);

} // namespace zorvane
