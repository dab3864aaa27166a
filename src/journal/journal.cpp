#include "journal/journal.h"

#include "common/systemfile.h"
#include "journal/journalfolder.h"
#include "journal/journalreader.h"
#include "track/replacingfile.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace zorvane {

namespace fs = std::filesystem;

namespace {

JournalFailureKind kindOf(int error)
{
    if (systemfile::isQuotaExceeded(error))
        return JournalFailureKind::DiskFull;
    switch (error) {
    case ENOSPC:
    case EFBIG: return JournalFailureKind::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOTDIR:
    case ENOENT:
    case EEXIST: return JournalFailureKind::FolderUnavailable;
    default: return JournalFailureKind::WriteFailed;
    }
}

std::optional<JournalFailure> makeFolder(const fs::path &folder)
{
    if (folder.empty())
        return JournalFailure{JournalFailureKind::FolderUnavailable, ENOENT, {}};
    std::error_code error;
    if (fs::create_directories(folder, error))
        fs::permissions(folder, fs::perms::owner_all, error);
    if (error)
        return JournalFailure{JournalFailureKind::FolderUnavailable, error.value(), folder.string()};
    return std::nullopt;
}

// Longer than any real path; the header could not hold it.
std::optional<JournalFailure> pathTooLong(const VideoIdentity &video)
{
    if (video.path.size() <= journalformat::kMaxPathBytes)
        return std::nullopt;
    return JournalFailure{JournalFailureKind::WriteFailed, ENAMETOOLONG, video.path};
}

std::string baseline(const VideoIdentity &video, const PointTrack &track, const PointSet &others)
{
    std::string content = encodeHeader(video);
    if (!track.hasStorage())
        return content;
    content += encodeTrack(track, track.upperBound() + 1);
    for (int index = 1; index <= others.count(); ++index)
        content += encodeOtherTrack(index, others.track(index), track.upperBound() + 1);
    return content;
}

std::vector<FramePoint> unsavedPoints(const PointTrack &track, const std::vector<bool> &unsaved)
{
    std::vector<FramePoint> points;
    for (std::size_t frame = 0; frame < unsaved.size(); ++frame) {
        const auto index = static_cast<std::int32_t>(frame);
        if (unsaved[frame] && track.find(index))
            points.push_back({index, track.at(index)});
    }
    return points;
}

} // namespace

Journal::Journal(fs::path folder) : m_folder(std::move(folder)) {}

Journal::~Journal() { stop(); }

fs::path Journal::journalPath(const VideoIdentity &video) const
{
    return m_folder / (video.journalStem() + std::string(kJournalExtension));
}

fs::path Journal::asidePath(const VideoIdentity &video) const
{
    return m_folder / (video.journalStem() + std::string(kAsideExtension));
}

std::optional<JournalRecovery> Journal::findUnsaved(const VideoIdentity &video) const
{
    for (const bool aside : {false, true}) {
        JournalContents contents = readJournal(aside ? asidePath(video) : journalPath(video));
        if (contents.video != video || contents.unsavedPoints == 0)
            continue;
        return JournalRecovery{video,
                               std::move(contents.track),
                               std::move(contents.others),
                               std::move(contents.unsaved),
                               contents.unsavedPoints,
                               aside};
    }
    return std::nullopt;
}

std::optional<JournalFailure> Journal::start(const VideoIdentity &video, const PointTrack &track,
                                             const PointSet &others)
{
    stop();
    if (std::optional<JournalFailure> failure = pathTooLong(video))
        return failure;
    return begin(video, baseline(video, track, others), true);
}

std::optional<JournalFailure> Journal::restore(JournalRecovery recovery, PointTrack &track, PointSet *others)
{
    stop();
    track = std::move(recovery.track);
    PointSet dropped;
    PointSet &kept = others ? *others : dropped;
    kept = std::move(recovery.others);
    if (std::optional<JournalFailure> failure = pathTooLong(recovery.video))
        return failure;
    // Compacted: the saved points as a baseline, then the unsaved ones as
    // points, which keeps them counted as unsaved. Every baseline comes
    // first, since each marks its frames as saved.
    const std::int32_t all = track.upperBound() + 1;
    std::string content = encodeHeader(recovery.video);
    content += encodeTrack(track, all, &recovery.unsaved);
    for (int index = 1; index <= kept.count(); ++index)
        content += encodeOtherTrack(index, kept.track(index), all, &recovery.unsaved);
    content += encodePoints(PointsCause::Restored, unsavedPoints(track, recovery.unsaved));
    for (int index = 1; index <= kept.count(); ++index)
        content += encodeOtherPoints(index, PointsCause::Restored, unsavedPoints(kept.track(index), recovery.unsaved));
    return begin(recovery.video, content, true);
}

std::optional<JournalFailure> Journal::decline(const JournalRecovery &recovery, const PointTrack &track,
                                               const PointSet &others)
{
    stop();
    std::error_code error;
    const fs::path aside = asidePath(recovery.video);
    if (recovery.fromSetAside) {
        fs::remove(aside, error);
    } else {
        fs::rename(journalPath(recovery.video), aside, error);
        if (error && error.value() != ENOENT)
            return JournalFailure{kindOf(error.value()), error.value(), aside.string()};
        // Its age counts from the refusal, not from the last click.
        fs::last_write_time(aside, fs::file_time_type::clock::now(), error);
    }
    if (std::optional<JournalFailure> failure = pathTooLong(recovery.video))
        return failure;
    return begin(recovery.video, baseline(recovery.video, track, others), false);
}

std::optional<JournalFailure> Journal::begin(const VideoIdentity &video, const std::string &content, bool dropAside)
{
    if (std::optional<JournalFailure> failure = makeFolder(m_folder))
        return failure;
    const fs::path file = journalPath(video);
    try {
        ReplacingFile replacing(file);
        replacing.write(content);
        replacing.commit();
    } catch (const std::system_error &error) {
        return JournalFailure{kindOf(error.code().value()), error.code().value(), file.string()};
    }
    // A new file's name is durable only once its folder is flushed too.
    systemfile::flushFolder(m_folder);
    m_fd = systemfile::openForWriting(file, false);
    if (m_fd < 0)
        return JournalFailure{kindOf(errno), errno, file.string()};
    m_file = file;
    m_length = content.size();
    if (dropAside) {
        std::error_code error;
        fs::remove(asidePath(video), error);
    }
    pruneJournals(m_folder, fs::file_time_type::clock::now(), PruningPolicy{}, m_file);
    return std::nullopt;
}

void Journal::stop()
{
    if (m_fd >= 0)
        systemfile::close(m_fd);
    m_fd = -1;
}

std::optional<JournalFailure> Journal::stopWith(JournalFailureKind kind, int error)
{
    // Whatever part of the record reached the file goes, so that the
    // journal still ends on a whole record.
    if (systemfile::truncate(m_fd, m_length) == 0)
        systemfile::flushDataToDisk(m_fd);
    stop();
    return JournalFailure{kind, error, m_file.string()};
}

std::optional<JournalFailure> Journal::append(const std::string &record)
{
    if (m_fd < 0)
        return std::nullopt;
    if (m_length + record.size() > journalformat::kMaxJournalBytes)
        return stopWith(JournalFailureKind::TooLarge, EFBIG);
    std::size_t done = 0;
    while (done < record.size()) {
        const std::int64_t written =
            systemfile::writeAt(m_fd, record.data() + done, record.size() - done, m_length + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            return stopWith(kindOf(error), error);
        }
        done += static_cast<std::size_t>(written);
    }
    if (systemfile::flushDataToDisk(m_fd) != 0) {
        const int error = errno;
        return stopWith(kindOf(error), error);
    }
    m_length += record.size();
    return std::nullopt;
}

std::optional<JournalFailure> Journal::recordPoint(std::int32_t frame, TrackPoint point)
{
    const FramePoint entry{frame, point};
    return append(encodePoints(PointsCause::Click, std::span(&entry, 1)));
}

std::optional<JournalFailure> Journal::recordSequence(const PointTrack &track, std::int32_t framesRead)
{
    if (m_fd < 0 || !track.hasStorage())
        return std::nullopt;
    const std::int32_t covered = std::clamp(framesRead, 0, track.upperBound() + 1);
    return append(encodeTrack(track, covered));
}

std::optional<JournalFailure> Journal::recordTracked(std::span<const FramePoint> points)
{
    if (m_fd >= 0 && points.size() > journalformat::kMaxPoints)
        return stopWith(JournalFailureKind::TooLarge, EFBIG);
    return append(encodePoints(PointsCause::Tracked, points));
}

std::optional<JournalFailure> Journal::recordUndone(std::span<const FramePoint> points)
{
    if (m_fd >= 0 && points.size() > journalformat::kMaxPoints)
        return stopWith(JournalFailureKind::TooLarge, EFBIG);
    return append(encodePoints(PointsCause::Undone, points));
}

std::optional<JournalFailure> Journal::recordOtherPoint(int index, std::int32_t frame, TrackPoint point)
{
    const FramePoint entry{frame, point};
    return append(encodeOtherPoints(index, PointsCause::Click, std::span(&entry, 1)));
}

std::optional<JournalFailure> Journal::recordOthers(const PointSet &others, std::int32_t framesRead)
{
    std::optional<JournalFailure> failure;
    for (int index = 1; index <= others.count() && !failure && m_fd >= 0; ++index) {
        const PointTrack &track = others.track(index);
        const std::int32_t covered = std::clamp(framesRead, 0, track.upperBound() + 1);
        failure = append(encodeOtherTrack(index, track, covered));
    }
    return failure;
}

std::optional<JournalFailure> Journal::recordOtherBatch(int index, PointsCause cause,
                                                        std::span<const FramePoint> points)
{
    if (m_fd >= 0 && points.size() > journalformat::kMaxPoints)
        return stopWith(JournalFailureKind::TooLarge, EFBIG);
    return append(encodeOtherPoints(index, cause, points));
}

std::optional<JournalFailure> Journal::recordSaved() { return append(encodeSaved()); }

std::optional<JournalFailure> recordJournaledClick(PointTrack &track, Journal &journal, std::int32_t frame, float x,
                                                   float y, int pointIndex)
{
    const TrackPoint point = clickPoint(x, y);
    (void)track.at(frame); // throws for a frame outside the track
    std::optional<JournalFailure> failure =
        pointIndex == 0 ? journal.recordPoint(frame, point) : journal.recordOtherPoint(pointIndex, frame, point);
    track.set(frame, point);
    return failure;
}

} // namespace zorvane
