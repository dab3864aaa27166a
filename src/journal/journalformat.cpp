#include "journal/journalformat.h"

#include "journal/crc32.h"

#include <stdexcept>

namespace zorvane {

namespace {

void appendU32(std::string &out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
}

void appendU64(std::string &out, std::uint64_t value)
{
    appendU32(out, static_cast<std::uint32_t>(value));
    appendU32(out, static_cast<std::uint32_t>(value >> 32));
}

void appendI32(std::string &out, std::int32_t value) { appendU32(out, static_cast<std::uint32_t>(value)); }

void appendPoint(std::string &out, std::int32_t frame, TrackPoint point)
{
    appendI32(out, frame);
    appendI32(out, point.X);
    appendI32(out, point.Y);
}

void putU32At(std::string &out, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

// Starts a record whose payload the caller appends; finishRecord() fills
// in the length and the checksum.
std::string startRecord(RecordType type, std::size_t payloadGuess)
{
    std::string out;
    out.reserve(journalformat::kHeadBytes + payloadGuess + journalformat::kChecksumBytes);
    appendU32(out, 0);
    out.push_back(static_cast<char>(type));
    return out;
}

std::string finishRecord(std::string out)
{
    const std::size_t payload = out.size() - journalformat::kHeadBytes;
    if (payload > journalformat::kMaxPayloadBytes)
        throw std::length_error("journal record too large");
    putU32At(out, 0, static_cast<std::uint32_t>(payload));
    appendU32(out, crc32(out.data(), out.size()));
    return out;
}

} // namespace

std::string encodeRecord(RecordType type, std::string_view payload)
{
    std::string out = startRecord(type, payload.size());
    out.append(payload);
    return finishRecord(std::move(out));
}

std::string encodeHeader(const VideoIdentity &video)
{
    if (video.path.size() > journalformat::kMaxPathBytes)
        throw std::length_error("video path too long for a journal");
    std::string out = startRecord(RecordType::Header, 32 + video.path.size());
    out.append(journalformat::kMagic, sizeof journalformat::kMagic);
    appendU32(out, journalformat::kVersion);
    appendU64(out, video.size);
    appendU64(out, static_cast<std::uint64_t>(video.modifiedNs));
    appendU32(out, static_cast<std::uint32_t>(video.path.size()));
    out.append(video.path);
    return finishRecord(std::move(out));
}

namespace {

void appendTrack(std::string &out, const PointTrack &track, std::int32_t coveredFrames,
                 const std::vector<bool> *leaveOut)
{
    const std::int32_t upperBound = track.upperBound();
    const auto kept = [&](std::int32_t frame) {
        const bool left = leaveOut && static_cast<std::size_t>(frame) < leaveOut->size()
                          && (*leaveOut)[static_cast<std::size_t>(frame)];
        return !left && !track.at(frame).isEmpty();
    };
    std::uint32_t count = 0;
    for (std::int32_t frame = 0; frame <= upperBound; ++frame)
        count += kept(frame) ? 1 : 0;
    out.reserve(out.size() + 12 + journalformat::kPointBytes * count + journalformat::kChecksumBytes);
    appendI32(out, upperBound);
    appendI32(out, coveredFrames);
    appendU32(out, count);
    for (std::int32_t frame = 0; frame <= upperBound; ++frame) {
        if (kept(frame))
            appendPoint(out, frame, track.at(frame));
    }
}

void appendPoints(std::string &out, PointsCause cause, std::span<const FramePoint> points)
{
    if (points.size() > journalformat::kMaxPoints)
        throw std::length_error("too many points for one journal record");
    out.reserve(out.size() + 5 + journalformat::kPointBytes * points.size() + journalformat::kChecksumBytes);
    out.push_back(static_cast<char>(cause));
    appendU32(out, static_cast<std::uint32_t>(points.size()));
    for (const FramePoint &entry : points)
        appendPoint(out, entry.frame, entry.point);
}

std::string startOtherRecord(RecordType type, int index)
{
    if (index < 1 || index >= kMaxFollowedPoints)
        throw std::out_of_range("no such point for a journal record");
    std::string out = startRecord(type, 1);
    out.push_back(static_cast<char>(index));
    return out;
}

} // namespace

std::string encodeTrack(const PointTrack &track, std::int32_t coveredFrames, const std::vector<bool> *leaveOut)
{
    std::string out = startRecord(RecordType::Track, 0);
    appendTrack(out, track, coveredFrames, leaveOut);
    return finishRecord(std::move(out));
}

std::string encodePoints(PointsCause cause, std::span<const FramePoint> points)
{
    std::string out = startRecord(RecordType::Points, 0);
    appendPoints(out, cause, points);
    return finishRecord(std::move(out));
}

std::string encodeOtherTrack(int index, const PointTrack &track, std::int32_t coveredFrames,
                             const std::vector<bool> *leaveOut)
{
    std::string out = startOtherRecord(RecordType::OtherTrack, index);
    appendTrack(out, track, coveredFrames, leaveOut);
    return finishRecord(std::move(out));
}

std::string encodeOtherPoints(int index, PointsCause cause, std::span<const FramePoint> points)
{
    std::string out = startOtherRecord(RecordType::OtherPoints, index);
    appendPoints(out, cause, points);
    return finishRecord(std::move(out));
}

std::string encodeSaved() { return encodeRecord(RecordType::Saved, {}); }

} // namespace zorvane
