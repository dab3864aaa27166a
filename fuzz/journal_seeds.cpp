// Writes the seed journals of fuzz_journal into the given folder, each
// with a leading 0 byte: the fuzz target's mode byte, meaning "keep the
// checksums as they are".
#include "journal/journalformat.h"

#include <fstream>
#include <string>
#include <vector>

using namespace zorvane;

namespace {

void seed(const std::filesystem::path &folder, const std::string &name, const std::string &journal)
{
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << '\0' << journal;
}

std::string click(std::int32_t frame, TrackPoint point)
{
    const FramePoint entry{frame, point};
    return encodePoints(PointsCause::Click, std::span(&entry, 1));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const VideoIdentity video{"/home/u/videos/chute.avi", 1048576, 1'700'000'000'000'000'000};
    PointTrack track;
    track.resize(12);
    track.set(2, {20, 21});
    const std::string start = encodeHeader(video) + encodeTrack(track, 13);
    const std::vector<FramePoint> batch{{5, {50, 51}}, {6, {60, 61}}};
    const std::vector<FramePoint> undo{{6, {0, 0}}};
    track.resize(20);
    track.set(0, {1, 1});
    const std::string clicks = click(3, {30, 31}) + click(3, {32, 33}) + click(4, {0, 0});

    seed(folder, "clicks.journal", start + clicks);
    seed(folder, "saved.journal", start + clicks + encodeSaved() + click(7, {7, 7}));
    seed(folder, "everything.journal",
         start + clicks + encodePoints(PointsCause::Tracked, batch) + encodePoints(PointsCause::Undone, undo)
             + encodeTrack(track, 4) + click(15, {15, 15}));
    std::vector<bool> unsaved(21, false);
    unsaved[0] = true;
    const std::vector<FramePoint> restored{{0, {1, 1}}};
    seed(folder, "compacted.journal",
         encodeHeader(video) + encodeTrack(track, 21, &unsaved) + encodePoints(PointsCause::Restored, restored));
    const std::string torn = start + clicks;
    seed(folder, "torn.journal", torn.substr(0, torn.size() - 3));
    seed(folder, "header-only.journal", encodeHeader(video));
    return 0;
}
