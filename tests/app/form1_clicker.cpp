// The window kill test's child: opens a video in the main window with its
// journal, clicks through the window's click handler and says on stdout,
// unbuffered, when each click begins and when its handling is over.
//
//   form1_clicker STATE_FOLDER VIDEO CLICKS [FILE_SIZE_LIMIT | --two-points]
//
// With --two-points, point B is added and every click goes to the point
// the plan gives it, chosen as the user does before clicking.
//
// Lines: "opened U" with the track's upper bound, "begin I", "handled I",
// "warning TEXT" for each message the window shows, "question TEXT" for a
// restore question (answered "Non"), and at the end "intact" or "corrupt"
// for the track in memory.
#include "app/ui/form1.h"
#include "journal/clickerchild.h"
#include "journal/clickplan.h"
#include "player/framesource.h"

#include <QApplication>

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
    if (argc < 4)
        return 2;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int clicks = std::atoi(argv[3]);

    Form1 form(&openFrameSource);
    form.setJournalFolder(argv[1]);
    form.setMessageDisplay([](const QString &text) { say("warning " + text.toStdString()); });
    form.setRestoreQuestion([](const QString &text) {
        say("question " + text.toStdString());
        return false;
    });
    form.show();
    const bool twoPoints = argc > 4 && std::string(argv[4]) == "--two-points";
    if (argc > 4 && !twoPoints)
        limitFileSize(argv[4]);
    form.openVideo(QString::fromLocal8Bit(argv[2]));
    const std::int32_t upperBound = form.pointTrack().upperBound();
    if (twoPoints && !form.addPoint())
        return 6;
    say("opened " + std::to_string(upperBound));

    for (int click = 0; click < clicks; ++click) {
        if (!form.player().seek(ClickPlan::frame(click)))
            return 5;
        if (twoPoints && !form.chooseActivePoint(ClickPlan::point(click)))
            return 7;
        say("begin " + std::to_string(click));
        form.Picture2_MouseUp(MouseButton::Left, 0, ClickPlan::x(click), ClickPlan::y(click));
        say("handled " + std::to_string(click));
    }
    if (twoPoints) {
        TwoTracks expected = ClickPlan::twoAfter(clicks - 1);
        expected.a.resize(upperBound);
        expected.b.resize(upperBound);
        say(sameTrack(TwoTracks{form.pointTrack(), form.otherPoints().track(1)}, expected) ? "intact" : "corrupt");
        return 0;
    }
    PointTrack expected = ClickPlan::trackAfter(clicks - 1);
    expected.resize(upperBound);
    say(sameTrack(form.pointTrack(), expected) ? "intact" : "corrupt");
    return 0;
}
