// Loads arbitrary bytes as a sequence file, into a track that has no
// storage yet and into one already holding clicks, and checks that no
// click outside what the file covers is lost. Small tracks are saved and
// loaded back, which must give the same points.
#include "scratchfile.h"
#include "track/sequencefile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace zorvane;

namespace {

constexpr std::int32_t kPresizedUpperBound = 300;
constexpr std::int32_t kLargestRoundTrip = 5000;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "sequence invariant broken: %s\n", what);
    std::abort();
}

TrackPoint presizedPoint(std::int32_t frame) { return {frame + 1, -(frame + 1)}; }

PointTrack presizedTrack()
{
    PointTrack track;
    track.resize(kPresizedUpperBound);
    for (std::int32_t frame = 0; frame <= kPresizedUpperBound; ++frame)
        track.set(frame, presizedPoint(frame));
    return track;
}

bool keptAsBefore(const PointTrack &track, std::int32_t from)
{
    const auto expected = [](std::int32_t frame) {
        return frame <= kPresizedUpperBound ? presizedPoint(frame) : TrackPoint{};
    };
    // Past the old bound every entry is new; a stretch of them and the last
    // one show whether growing filled them right, at a tenth of the cost
    // of walking ten million entries for every input.
    const std::int32_t last = track.upperBound();
    const std::int32_t checkedUpTo = std::min(last, kPresizedUpperBound + 1000);
    for (std::int32_t frame = from; frame <= checkedUpTo; ++frame) {
        if (track.at(frame) != expected(frame))
            return false;
    }
    return from > last || track.at(last) == expected(last);
}

void checkLoad(const SequenceLoad &load, const PointTrack &track)
{
    if (load.framesRead < 0 || (load.upperBound >= 0 && load.framesRead > load.upperBound + 1))
        fail("more data lines read than announced");
    if (load.upperBound >= 0 && (!track.hasStorage() || track.upperBound() < load.upperBound))
        fail("the track is shorter than the file announces");
}

std::optional<PointTrack> loadIntoFreshTrack(const std::filesystem::path &file)
{
    PointTrack track;
    try {
        const SequenceLoad load = loadSequence(file, track);
        checkLoad(load, track);
        if (load.upperBound < 0 && track.hasStorage())
            fail("a negative count gave the track storage");
        if (load.upperBound >= 0 && track.upperBound() != load.upperBound)
            fail("a fresh track was not sized to the file");
    } catch (const SequenceError &) {
        if (track.hasStorage())
            fail("a refused file gave the track storage");
        return std::nullopt;
    }
    return track;
}

void loadIntoPresizedTrack(const std::filesystem::path &file)
{
    PointTrack track = presizedTrack();
    try {
        const SequenceLoad load = loadSequence(file, track);
        checkLoad(load, track);
        if (track.upperBound() < kPresizedUpperBound)
            fail("loading shrank the track");
        if (!keptAsBefore(track, load.framesRead))
            fail("entries past the file's data lines changed");
    } catch (const SequenceError &) {
        if (track.upperBound() != kPresizedUpperBound || !keptAsBefore(track, 0))
            fail("a refused file changed the track");
    }
}

void checkRoundTrip(const PointTrack &loaded)
{
    if (!hasSequenceToSave(loaded) || loaded.upperBound() > kLargestRoundTrip)
        return;
    const std::filesystem::path saved = fuzz::ScratchFolder::instance().path() / "saved.txt";
    saveSequence(saved, loaded, "40", NumberFormat{});
    PointTrack reloaded;
    const SequenceLoad load = loadSequence(saved, reloaded);
    if (load.stoppedEarly || load.framesRead != loaded.upperBound() + 1)
        fail("a saved track did not load back whole");
    for (std::int32_t frame = 0; frame <= loaded.upperBound(); ++frame) {
        if (reloaded.at(frame) != loaded.at(frame))
            fail("a saved point loaded back different");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path file = fuzz::ScratchFolder::instance().write("sequence.txt", data, size);
    if (const std::optional<PointTrack> loaded = loadIntoFreshTrack(file))
        checkRoundTrip(*loaded);
    loadIntoPresizedTrack(file);
    return 0;
}
