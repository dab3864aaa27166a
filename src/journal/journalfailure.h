#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zorvane {

enum class JournalFailureKind {
    FolderUnavailable, // the state folder cannot be made or written
    DiskFull,          // no space left, a quota or a file-size limit
    WriteFailed,       // any other error while writing or flushing
    TooLarge,          // the journal reached the largest size it may have
};

// A journal that cannot be written. The track in memory is never affected;
// the journal stops until the next video is opened.
struct JournalFailure {
    JournalFailureKind kind = JournalFailureKind::WriteFailed;
    int error = 0;    // errno, 0 when none applies
    std::string path; // the file or folder concerned
};

// The question asked when a video's journal holds unsaved points.
std::string restoreQuestion(std::int32_t unsavedPoints);

// The French warning for a journal that cannot be written.
std::string journalWarningText(const JournalFailure &failure);

// One warning per session: the first failure gets its text, later ones
// nothing, so a full disk does not bring up a message at every click.
class JournalWarnings {
public:
    std::optional<std::string> take(const JournalFailure &failure);
    bool warned() const { return m_warned; }

private:
    bool m_warned = false;
};

} // namespace zorvane
