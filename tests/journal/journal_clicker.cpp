// The kill test's child: records clicks into a track and its journal the
// way the main window does, and says on stdout, unbuffered, when each
// click begins and when its handling is over.
//
//   journal_clicker [--two-points] STATE_FOLDER VIDEO CLICKS [FILE_SIZE_LIMIT]
//
// With --two-points the clicks go to A and B as ClickPlan::point() says.
//
// Lines: "begin I", "handled I", "failure I KIND" (I is -1 for the start),
// "warning TEXT", and at the end "intact" or "corrupt" for the track in
// memory.
#include "clickerchild.h"
#include "clickplan.h"
#include "journal/journal.h"

#include <cstdlib>
#include <string>

using namespace zorvane;
using zorvane::testing::ClickPlan;
using zorvane::testing::limitFileSize;
using zorvane::testing::sameTrack;
using zorvane::testing::say;
using zorvane::testing::TwoTracks;

int main(int argc, char **argv)
{
    const bool twoPoints = argc > 1 && std::string(argv[1]) == "--two-points";
    if (twoPoints) {
        --argc;
        ++argv;
    }
    if (argc < 4)
        return 2;
    if (argc > 4)
        limitFileSize(argv[4]);
    const std::optional<VideoIdentity> video = VideoIdentity::of(argv[2]);
    if (!video)
        return 2;
    const int clicks = std::atoi(argv[3]);

    PointTrack track;
    track.resize(ClickPlan::upperBound);
    PointSet others;
    if (twoPoints)
        others.add(ClickPlan::upperBound);
    Journal journal(argv[1]);
    JournalWarnings warnings;
    const auto report = [&](int click, const std::optional<JournalFailure> &failure) {
        if (!failure)
            return;
        say("failure " + std::to_string(click) + " " + std::to_string(static_cast<int>(failure->kind)));
        if (warnings.take(*failure))
            say("warning " + std::to_string(static_cast<int>(failure->kind)));
    };

    report(-1, journal.start(*video, track, others));
    for (int click = 0; click < clicks; ++click) {
        say("begin " + std::to_string(click));
        const int point = twoPoints ? ClickPlan::point(click) : 0;
        report(click, recordJournaledClick(point == 0 ? track : others.track(point), journal, ClickPlan::frame(click),
                                           ClickPlan::x(click), ClickPlan::y(click), point));
        say("handled " + std::to_string(click));
    }
    const bool intact = twoPoints ? sameTrack(TwoTracks{track, others.track(1)}, ClickPlan::twoAfter(clicks - 1))
                                  : sameTrack(track, ClickPlan::trackAfter(clicks - 1));
    say(intact ? "intact" : "corrupt");
    return 0;
}
