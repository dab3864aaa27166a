// Reads arbitrary bytes as a journal. With the first byte odd, the records'
// checksums are put right first, so that the fuzzer gets past them to the
// contents. Whatever is read must be consistent, and restoring it must
// write a journal that reads back the same.
#include "journal/crc32.h"
#include "journal/journal.h"
#include "journal/journalformat.h"
#include "journal/journalreader.h"
#include "scratchfile.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zorvane;

namespace {

constexpr std::int32_t largestRoundTrip = 5000;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "journal invariant broken: %s\n", what);
    std::abort();
}

std::uint32_t le32(const std::uint8_t *bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void fixChecksums(std::vector<std::uint8_t> &bytes)
{
    std::size_t at = 0;
    while (at + journalformat::kHeadBytes <= bytes.size()) {
        const std::uint64_t end =
            at + journalformat::kHeadBytes + std::uint64_t{le32(&bytes[at])} + journalformat::kChecksumBytes;
        if (end > bytes.size())
            return;
        const std::uint32_t crc = crc32(&bytes[at], end - at - journalformat::kChecksumBytes);
        for (int i = 0; i < 4; ++i)
            bytes[end - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
        at = end;
    }
}

void checkContents(const JournalContents &contents, std::size_t size)
{
    if (contents.validBytes > size || contents.damaged != (contents.validBytes < size))
        fail("valid length and damage disagree with the file");
    if ((contents.records > 0) != contents.video.has_value())
        fail("records without a header, or a header not counted");
    if (!contents.track.hasStorage()) {
        if (!contents.unsaved.empty() || contents.unsavedPoints != 0)
            fail("unsaved frames without a track");
        return;
    }
    const std::int32_t upperBound = contents.track.upperBound();
    if (contents.unsaved.size() != static_cast<std::size_t>(upperBound) + 1)
        fail("unsaved marks do not match the track");
    if (contents.unsavedPoints < 0 || contents.unsavedPoints > upperBound + 1)
        fail("more unsaved points than frames");
}

void checkRestoreRoundTrip(JournalContents contents)
{
    if (!contents.video || contents.unsavedPoints == 0 || contents.track.upperBound() > largestRoundTrip)
        return;
    const std::filesystem::path folder = fuzz::ScratchFolder::instance().path() / "state";
    const VideoIdentity video = *contents.video;
    const std::vector<bool> unsaved = contents.unsaved;
    const std::int32_t unsavedPoints = contents.unsavedPoints;
    Journal journal(folder);
    PointTrack track;
    if (journal.restore({video, std::move(contents.track), std::move(contents.others), unsaved, unsavedPoints, false},
                        track))
        return; // a path the header may hold but no journal can be written for
    journal.stop();
    const JournalContents again = readJournal(journal.journalPath(video));
    if (again.damaged || again.video != video || again.unsaved != unsaved || again.unsavedPoints != unsavedPoints)
        fail("a restored journal does not read back the same");
    for (std::int32_t frame = 0; frame <= track.upperBound(); ++frame) {
        if (again.track.at(frame) != track.at(frame))
            fail("a restored point reads back different");
    }
    std::filesystem::remove(journal.journalPath(video));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!bytes.empty() && (bytes[0] & 1) != 0) {
        bytes.erase(bytes.begin());
        fixChecksums(bytes);
    }
    const std::filesystem::path file =
        fuzz::ScratchFolder::instance().write("input.journal", bytes.data(), bytes.size());
    JournalContents contents = readJournal(file);
    checkContents(contents, bytes.size());
    checkRestoreRoundTrip(std::move(contents));
    return 0;
}
