#include "journal/journalreader.h"

#include "common/systemfile.h"
#include "journal/crc32.h"
#include "journal/journalformat.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace zorvane {

namespace {

// Sequential reads through a fixed buffer, with a running checksum of
// everything read since the last seek.
class FileBytes {
public:
    FileBytes(int fd, std::uint64_t limit) : m_fd(fd), m_limit(limit) {}

    std::uint64_t position() const { return m_position; }
    std::uint64_t remaining() const { return m_limit - m_position; }
    std::uint32_t checksum() const { return m_crc; }

    void seek(std::uint64_t position)
    {
        m_position = position;
        m_crc = 0;
    }

    bool read(void *out, std::size_t size)
    {
        auto *target = static_cast<unsigned char *>(out);
        while (size > 0) {
            if (!inBuffer() && !refill())
                return false;
            const std::size_t offset = static_cast<std::size_t>(m_position - m_bufferStart);
            const std::size_t piece = std::min(size, m_bufferSize - offset);
            std::memcpy(target, m_buffer.data() + offset, piece);
            m_crc = crc32Update(m_crc, target, piece);
            target += piece;
            size -= piece;
            m_position += piece;
        }
        return true;
    }

    bool readU32(std::uint32_t &value)
    {
        unsigned char bytes[4];
        if (!read(bytes, sizeof bytes))
            return false;
        value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
        return true;
    }

    bool readI32(std::int32_t &value)
    {
        std::uint32_t raw = 0;
        if (!readU32(raw))
            return false;
        value = static_cast<std::int32_t>(raw);
        return true;
    }

    bool readU64(std::uint64_t &value)
    {
        std::uint32_t low = 0, high = 0;
        if (!readU32(low) || !readU32(high))
            return false;
        value = low | (static_cast<std::uint64_t>(high) << 32);
        return true;
    }

private:
    bool inBuffer() const { return m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferSize; }

    bool refill()
    {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(m_buffer.size(), remaining()));
        if (wanted == 0)
            return false;
        std::int64_t got;
        do
            got = systemfile::readAt(m_fd, m_buffer.data(), wanted, m_position);
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        m_bufferStart = m_position;
        m_bufferSize = static_cast<std::size_t>(got);
        return true;
    }

    int m_fd;
    std::uint64_t m_limit;
    std::uint64_t m_position = 0;
    std::uint32_t m_crc = 0;
    std::array<unsigned char, 64 * 1024> m_buffer{};
    std::uint64_t m_bufferStart = 0;
    std::size_t m_bufferSize = 0;
};

struct Replay {
    std::optional<VideoIdentity> video;
    PointTrack track;
    PointSet others; // always as long as track
    std::vector<bool> unsaved;

    PointTrack &other(int index)
    {
        while (others.count() < index)
            others.add(track.upperBound());
        return others.track(index);
    }
};

// Each decoder reads exactly one payload. With apply false it only checks
// it against the replay so far; with apply true (run only on a payload
// already checked) it changes the replay.

bool decodeHeader(FileBytes &in, std::uint32_t length, Replay &replay, bool apply)
{
    char magic[sizeof journalformat::kMagic];
    std::uint32_t version = 0, pathBytes = 0;
    VideoIdentity video;
    std::uint64_t modified = 0;
    if (replay.video || !in.read(magic, sizeof magic) || !in.readU32(version) || !in.readU64(video.size)
        || !in.readU64(modified) || !in.readU32(pathBytes))
        return false;
    if (std::memcmp(magic, journalformat::kMagic, sizeof magic) != 0 || version != journalformat::kVersion
        || pathBytes > journalformat::kMaxPathBytes || length != 32 + pathBytes)
        return false;
    video.modifiedNs = static_cast<std::int64_t>(modified);
    video.path.resize(pathBytes);
    if (!in.read(video.path.data(), pathBytes))
        return false;
    if (apply)
        replay.video = std::move(video);
    return true;
}

bool readPoint(FileBytes &in, FramePoint &entry)
{
    return in.readI32(entry.frame) && in.readI32(entry.point.X) && in.readI32(entry.point.Y);
}

// Point A when index is 0; the others keep A's length.
bool decodeTrackOf(FileBytes &in, std::uint32_t length, Replay &replay, bool apply, int index)
{
    std::int32_t upperBound = 0, covered = 0;
    std::uint32_t count = 0;
    if (!replay.video || !in.readI32(upperBound) || !in.readI32(covered) || !in.readU32(count))
        return false;
    if (upperBound < 0 || upperBound > PointTrack::kMaxUpperBound || covered < 0 || covered > upperBound + 1
        || count > static_cast<std::uint32_t>(upperBound) + 1 || length != 12 + journalformat::kPointBytes * count)
        return false;
    if (index > 0 && (!replay.track.hasStorage() || replay.track.upperBound() != upperBound))
        return false;
    PointTrack *target = nullptr;
    if (apply) {
        PointTrack fresh;
        fresh.resize(upperBound);
        if (index == 0) {
            replay.track = std::move(fresh);
            replay.others.resizeAll(upperBound);
        } else {
            replay.other(index) = std::move(fresh);
        }
        target = index == 0 ? &replay.track : &replay.other(index);
        replay.unsaved.resize(static_cast<std::size_t>(upperBound) + 1, false);
        std::fill_n(replay.unsaved.begin(), covered, false);
    }
    std::int32_t previous = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        FramePoint entry;
        if (!readPoint(in, entry) || entry.frame <= previous || entry.frame > upperBound)
            return false;
        previous = entry.frame;
        if (apply)
            target->set(entry.frame, entry.point);
    }
    return true;
}

bool decodePointsOf(FileBytes &in, std::uint32_t length, Replay &replay, bool apply, int index)
{
    unsigned char cause = 0;
    std::uint32_t count = 0;
    if (!replay.track.hasStorage() || !in.read(&cause, 1) || !in.readU32(count))
        return false;
    if (cause < static_cast<unsigned char>(PointsCause::Click)
        || cause > static_cast<unsigned char>(PointsCause::Restored) || count > journalformat::kMaxPoints
        || length != 5 + journalformat::kPointBytes * count)
        return false;
    const std::int32_t upperBound = replay.track.upperBound();
    PointTrack *target = apply ? (index == 0 ? &replay.track : &replay.other(index)) : nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        FramePoint entry;
        if (!readPoint(in, entry) || entry.frame < 0 || entry.frame > upperBound)
            return false;
        if (apply) {
            target->set(entry.frame, entry.point);
            replay.unsaved[static_cast<std::size_t>(entry.frame)] = true;
        }
    }
    return true;
}

// The index of a point beside A, read ahead of its record's payload.
bool readOtherIndex(FileBytes &in, std::uint32_t &length, int &index)
{
    unsigned char byte = 0;
    if (length < 1 || !in.read(&byte, 1) || byte < 1 || byte >= kMaxFollowedPoints)
        return false;
    --length;
    index = byte;
    return true;
}

bool decodePayload(FileBytes &in, RecordType type, std::uint32_t length, Replay &replay, bool apply)
{
    switch (type) {
    case RecordType::Header: return decodeHeader(in, length, replay, apply);
    case RecordType::Track: return decodeTrackOf(in, length, replay, apply, 0);
    case RecordType::Points: return decodePointsOf(in, length, replay, apply, 0);
    case RecordType::OtherTrack: {
        int index = 0;
        return readOtherIndex(in, length, index) && decodeTrackOf(in, length, replay, apply, index);
    }
    case RecordType::OtherPoints: {
        int index = 0;
        return readOtherIndex(in, length, index) && decodePointsOf(in, length, replay, apply, index);
    }
    case RecordType::Saved:
        if (length != 0 || !replay.video)
            return false;
        if (apply)
            std::fill(replay.unsaved.begin(), replay.unsaved.end(), false);
        return true;
    }
    return false;
}

// Checks the record at the reader's position, then applies it. False, with
// the replay unchanged, when it is torn, garbled or makes no sense here.
bool replayRecord(FileBytes &in, Replay &replay)
{
    std::uint32_t length = 0;
    unsigned char typeByte = 0;
    if (!in.readU32(length) || !in.read(&typeByte, 1))
        return false;
    if (length > journalformat::kMaxPayloadBytes
        || in.remaining() < std::uint64_t{length} + journalformat::kChecksumBytes)
        return false;
    const auto type = static_cast<RecordType>(typeByte);
    const std::uint64_t payloadStart = in.position();
    if (!decodePayload(in, type, length, replay, false) || in.position() != payloadStart + length)
        return false;
    const std::uint32_t computed = in.checksum();
    std::uint32_t stored = 0;
    if (!in.readU32(stored) || stored != computed)
        return false;
    const std::uint64_t end = in.position();
    in.seek(payloadStart);
    decodePayload(in, type, length, replay, true);
    in.seek(end);
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            systemfile::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

JournalContents readJournal(const std::filesystem::path &file)
{
    JournalContents contents;
    // Non-blocking, so that a pipe put in the journal's place cannot hang us.
    const FileDescriptor fd(systemfile::openForReading(file));
    systemfile::Status status;
    if (fd.get() < 0 || !systemfile::status(fd.get(), status) || status.kind != systemfile::Kind::Regular)
        return contents;
    const std::uint64_t size = status.size;
    FileBytes in(fd.get(), std::min(size, journalformat::kMaxJournalBytes));
    Replay replay;
    while (in.remaining() > 0) {
        const std::uint64_t start = in.position();
        in.seek(start);
        if (!replayRecord(in, replay)) {
            in.seek(start);
            break;
        }
        contents.validBytes = in.position();
        ++contents.records;
    }
    contents.damaged = contents.validBytes < size;
    contents.video = std::move(replay.video);
    contents.track = std::move(replay.track);
    contents.others = std::move(replay.others);
    contents.unsaved = std::move(replay.unsaved);
    if (contents.track.hasStorage()) {
        for (std::int32_t frame = 0; frame <= contents.track.upperBound(); ++frame) {
            if (!contents.unsaved[static_cast<std::size_t>(frame)])
                continue;
            contents.unsavedPoints += contents.track.at(frame).isEmpty() ? 0 : 1;
            for (int index = 1; index <= contents.others.count(); ++index)
                contents.unsavedPoints += contents.others.track(index).at(frame).isEmpty() ? 0 : 1;
        }
    }
    return contents;
}

} // namespace zorvane
