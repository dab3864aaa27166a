// Times what the journal adds to a click on the real disk: the record is
// written and flushed (fdatasync) before the click returns. Also times
// starting a journal and reading a long one back.
//
//   zorvane-bench-journal [CLICKS] [FOLDER]
//
// FOLDER defaults to a scratch folder beside the user's journal folder, on
// the same disk, removed at the end.
#include "journal/journal.h"
#include "journal/journalfolder.h"
#include "journal/journalreader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/vfs.h>
#include <vector>

using namespace zorvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char *filesystemName(const fs::path &folder)
{
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53: return "ext2/3/4";
    case 0x9123683E: return "btrfs";
    case 0x58465342: return "xfs";
    case 0x01021994: return "tmpfs (no real flush)";
    case 0x794C7630: return "overlayfs";
    case 0x6969: return "nfs";
    default: return "other";
    }
}

fs::path scratchFolder()
{
    const std::optional<fs::path> journals = defaultJournalFolder();
    fs::path parent = journals ? journals->parent_path() : fs::temp_directory_path();
    fs::create_directories(parent);
    std::string pattern = (parent / "zorvane-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a scratch folder in " + parent.string());
    return pattern;
}

double percentile(std::vector<double> sorted, double fraction)
{
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace

int main(int argc, char **argv)
{
    const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const bool ownFolder = argc <= 2;
    const fs::path folder = ownFolder ? scratchFolder() : fs::path(argv[2]);
    fs::create_directories(folder);
    const fs::path videoFile = folder / "stand-in-video.avi";
    std::ofstream(videoFile) << "the journal only looks at the path, size and time";
    const VideoIdentity video = *VideoIdentity::of(videoFile);

    PointTrack track;
    track.resize(100'000);
    Journal journal(folder / "journals");
    const Clock::time_point startBegun = Clock::now();
    if (const std::optional<JournalFailure> failure = journal.start(video, track)) {
        std::fprintf(stderr, "journal cannot be written in %s (error %d)\n", folder.c_str(), failure->error);
        return 1;
    }
    const double startMs = millisecondsSince(startBegun);

    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(clicks));
    for (int click = 0; click < clicks; ++click) {
        const Clock::time_point begun = Clock::now();
        const std::optional<JournalFailure> failure =
            recordJournaledClick(track, journal, click % 100'000, 100.5f + static_cast<float>(click % 500), 200.0f);
        latencies.push_back(millisecondsSince(begun));
        if (failure) {
            std::fprintf(stderr, "journal failed at click %d (error %d)\n", click, failure->error);
            return 1;
        }
    }
    journal.stop();

    const Clock::time_point readBegun = Clock::now();
    const JournalContents contents = readJournal(journal.journalPath(video));
    const double readMs = millisecondsSince(readBegun);

    std::sort(latencies.begin(), latencies.end());
    const double median = percentile(latencies, 0.5);
    const double p99 = percentile(latencies, 0.99);
    std::printf("folder %s on %s\n", folder.c_str(), filesystemName(folder));
    std::printf("start of a journal: %.3f ms; reading back %d clicks (%llu bytes): %.3f ms, %d unsaved points\n",
                startMs, clicks, static_cast<unsigned long long>(contents.validBytes), readMs, contents.unsavedPoints);
    std::printf("%s: p99 %s 16 ms\n", p99 < 16.0 ? "target met" : "target MISSED", p99 < 16.0 ? "<" : ">=");
    std::printf("journal: clicks=%d median_ms=%.3f p99_ms=%.3f max_ms=%.3f\n", clicks, median, p99, latencies.back());
    if (ownFolder)
        fs::remove_all(folder);
    return 0;
}
