#pragma once

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

// One warning per session: the first failure is to be told, later ones
// not, so a full disk does not bring up a message at every click.
class JournalWarnings {
public:
    // True for the first failure of the session.
    bool take(const JournalFailure &failure);
    bool warned() const { return m_warned; }

private:
    bool m_warned = false;
};

} // namespace zorvane
