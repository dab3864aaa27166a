// The main window with its journal: clicks, loaded and saved sequences and
// tracked points reach the journal, and reopening a video offers back what
// no save covered.
#include "app/ui/commondialog.h"
#include "app/ui/form1.h"
#include "journal/ui/journaltexts.h"
#include "player/framesource.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace zorvane;

namespace {

QString blackVideo()
{
    static const std::filesystem::path path = zorvane::testing::generateMedia(
        "form1journal-black-5.avi",
        {"-f", "lavfi", "-i", "color=c=black:size=160x120:rate=25", "-frames:v", "5", "-c:v", "mpeg4", "-q:v", "2"});
    return QString::fromStdString(path.string());
}

QString question(int points) { return restoreQuestionText(points); }

// Every dialog is answered with the same path.
class AnsweringDialog : public CommonDialog {
public:
    QString answer;
    bool showOpen(QWidget *) override { return choose(); }
    bool showSave(QWidget *) override { return choose(); }

private:
    bool choose()
    {
        setFileName(answer);
        return true;
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// A main window journaling into `state`, its questions and messages kept.
struct JournaledWindow {
    Form1 form{&openFrameSource};
    AnsweringDialog *dialog = new AnsweringDialog;
    VideoDisplay *picture = nullptr;
    PaintCounter counter;
    QStringList asked;
    QStringList messages;
    bool answer = true;

    explicit JournaledWindow(const std::filesystem::path &state)
    {
        form.setJournalFolder(state);
        form.setCommonDialog(dialog);
        form.setRestoreQuestion([this](const QString &text) {
            asked << text;
            return answer;
        });
        form.setMessageDisplay([this](const QString &text) { messages << text; });
        picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        picture->installEventFilter(&counter);
    }

    // Opens through the window and stops its playback on frame 0.
    void open()
    {
        form.openVideo(blackVideo());
        form.player().first();
    }

    void show()
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void clickAt(int frame, float x, float y)
    {
        ASSERT_TRUE(form.player().seek(frame));
        form.Picture2_MouseUp(MouseButton::Left, 0, x, y);
    }

    void trigger(const char *action) { form.findChild<QAction *>(QString::fromLatin1(action))->trigger(); }

    // Paints of the video area from now on, once pending events are done.
    void settle()
    {
        QApplication::processEvents();
        counter.paints = 0;
    }
    int paintsSinceSettled()
    {
        QApplication::processEvents();
        return counter.paints;
    }

    bool redAt(int x, int y) const
    {
        const QImage shot = picture->grab().toImage();
        return shot.pixelColor(picture->contentsRect().topLeft() + QPoint(x, y)) == QColor(255, 0, 0);
    }

    TrackPoint at(int frame) const { return form.pointTrack().at(frame); }
};

class Form1Journal : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    std::filesystem::path path(const char *name) const
    {
        return folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    QTemporaryDir folder;
    const std::filesystem::path state = path("state");
};

TEST_F(Form1Journal, UnsavedClicksComeBackOnOuiWithTheirCrossAtOnce)
{
    {
        JournaledWindow crashed(state);
        crashed.open();
        crashed.clickAt(0, 20.5f, 30.5f);
        crashed.clickAt(2, 40.0f, 50.0f);
        crashed.clickAt(3, 60.0f, 70.0f);
        crashed.clickAt(3, 0.0f, 0.0f); // removes frame 3's point
        EXPECT_TRUE(crashed.messages.isEmpty());
    }
    JournaledWindow window(state);
    window.show();
    // The question box runs the event loop, which paints the frame before
    // the answer is known.
    bool playingWhenAsked = true;
    window.form.setRestoreQuestion([&](const QString &text) {
        window.asked << text;
        playingWhenAsked = window.form.player().isPlaying();
        window.settle();
        return true;
    });
    window.form.openVideo(blackVideo());

    EXPECT_FALSE(playingWhenAsked) << "asked before playback starts";
    EXPECT_EQ(window.asked, QStringList{question(2)});
    EXPECT_EQ(window.at(0), (TrackPoint{20, 30}));
    EXPECT_EQ(window.at(2), (TrackPoint{40, 50}));
    EXPECT_TRUE(window.at(3).isEmpty());
    EXPECT_FALSE(window.form.player().isPlaying());
    EXPECT_EQ(window.form.player().position(), 2) << "paused on the last restored point";
    EXPECT_GT(window.paintsSinceSettled(), 0) << "the restored cross waits for no click";
    EXPECT_TRUE(window.redAt(40, 50));
    EXPECT_TRUE(window.messages.isEmpty());
}

TEST_F(Form1Journal, NonKeepsTheClicksAsideForOneMoreOpening)
{
    {
        JournaledWindow window(state);
        window.open();
        window.clickAt(1, 10.0f, 10.0f);
    }
    for (int opening = 0; opening < 2; ++opening) {
        JournaledWindow window(state);
        window.answer = false;
        window.form.openVideo(blackVideo());
        EXPECT_TRUE(window.form.player().isPlaying()) << "plays as usual";
        window.form.player().first();
        EXPECT_EQ(window.asked, QStringList{question(1)}) << "opening " << opening;
        EXPECT_TRUE(window.at(1).isEmpty());
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_TRUE(window.asked.isEmpty());
    EXPECT_TRUE(window.at(1).isEmpty());
}

TEST_F(Form1Journal, OpeningTheSameVideoAgainAsksNothingAndKeepsJournaling)
{
    {
        JournaledWindow window(state);
        window.open();
        window.clickAt(1, 10.0f, 10.0f);
        window.open();
        EXPECT_TRUE(window.asked.isEmpty()) << "the points are those in memory";
        EXPECT_EQ(window.at(1), (TrackPoint{10, 10}));
        window.clickAt(2, 20.0f, 20.0f);
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_EQ(window.asked, QStringList{question(2)});
    EXPECT_EQ(window.at(2), (TrackPoint{20, 20}));
}

TEST_F(Form1Journal, ASavedSequenceCoversTheClicksBeforeIt)
{
    {
        JournaledWindow window(state);
        window.open();
        window.clickAt(0, 5.0f, 5.0f);
        window.clickAt(1, 6.0f, 6.0f);
        window.dialog->answer = QString::fromStdString(path("saved.txt").string());
        window.trigger("es");
        ASSERT_TRUE(std::filesystem::exists(path("saved.txt")));
        window.clickAt(2, 7.0f, 7.0f);
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_EQ(window.asked, QStringList{question(1)});
    EXPECT_EQ(window.at(0), (TrackPoint{5, 5}));
    EXPECT_EQ(window.at(1), (TrackPoint{6, 6}));
    EXPECT_EQ(window.at(2), (TrackPoint{7, 7}));
}

TEST_F(Form1Journal, ALoadedSequenceShowsItsCrossAtOnceAndCountsAsSaved)
{
    std::ofstream(path("in.txt"), std::ios::binary) << " 4 \r\n0\t11\t12\r\n40\t0\t0\r\n";
    {
        JournaledWindow window(state);
        window.show();
        window.open();
        window.settle();
        window.dialog->answer = QString::fromStdString(path("in.txt").string());
        window.trigger("os");
        EXPECT_EQ(window.at(0), (TrackPoint{11, 12}));
        EXPECT_GT(window.paintsSinceSettled(), 0) << "the loaded cross waits for no click";
        EXPECT_TRUE(window.redAt(11, 12));
        window.clickAt(1, 30.0f, 31.0f);
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_EQ(window.asked, QStringList{question(1)}) << "only the click came after the file";
    EXPECT_EQ(window.at(0), (TrackPoint{11, 12}));
    EXPECT_EQ(window.at(1), (TrackPoint{30, 31}));
}

TEST_F(Form1Journal, TrackedPointsAndTheirUndoAreJournaledAndShown)
{
    {
        JournaledWindow window(state);
        window.show();
        window.open();
        EXPECT_FALSE(window.form.storeTrackedPoints({{1, {5, 5}}, {99, {6, 6}}})) << "frame 99 is outside";
        EXPECT_TRUE(window.at(1).isEmpty()) << "a refused batch changes nothing";
        window.settle();
        EXPECT_TRUE(window.form.storeTrackedPoints({{0, {10, 11}}, {1, {12, 13}}}));
        EXPECT_GT(window.paintsSinceSettled(), 0);
        EXPECT_TRUE(window.redAt(10, 11));
    }
    {
        JournaledWindow window(state);
        window.open();
        EXPECT_EQ(window.asked, QStringList{question(2)});
        EXPECT_EQ(window.at(0), (TrackPoint{10, 11}));
        EXPECT_EQ(window.at(1), (TrackPoint{12, 13}));
        EXPECT_TRUE(window.form.undoTrackedPoints({{0, {}}, {1, {}}}));
        EXPECT_TRUE(window.at(0).isEmpty());
        EXPECT_FALSE(window.form.undoTrackedPoints({{-1, {}}}));
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_TRUE(window.asked.isEmpty()) << "the undo removed every unsaved point";
}

TEST_F(Form1Journal, QuitterAsksNothingAndTheJournalKeepsTheClicks)
{
    {
        JournaledWindow window(state);
        window.show();
        window.open();
        window.clickAt(0, 8.0f, 9.0f);
        window.trigger("quit");
        EXPECT_FALSE(window.form.isVisible());
        EXPECT_TRUE(window.asked.isEmpty());
        EXPECT_TRUE(window.messages.isEmpty());
    }
    JournaledWindow window(state);
    window.open();
    EXPECT_EQ(window.asked, QStringList{question(1)});
}

TEST_F(Form1Journal, AnUnwritableFolderWarnsOnceAndTheClicksStillCount)
{
    std::ofstream(path("file")) << "a file where the folder should be";
    JournaledWindow window(path("file") / "zorvane");
    window.open();
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_TRUE(window.messages[0].startsWith(QStringLiteral("Le journal des points ne peut pas être écrit")))
        << window.messages[0].toStdString();
    window.clickAt(0, 9.0f, 9.0f);
    window.open();
    window.clickAt(1, 10.0f, 10.0f);
    EXPECT_EQ(window.messages.size(), 1) << "one warning per session";
    EXPECT_EQ(window.at(0), (TrackPoint{9, 9}));
    EXPECT_EQ(window.at(1), (TrackPoint{10, 10}));
}

TEST_F(Form1Journal, AWindowWithoutAFolderJournalsNothing)
{
    ::setenv("XDG_STATE_HOME", path("xdg").c_str(), 1);
    {
        Form1 form(&openFrameSource);
        form.setRestoreQuestion([](const QString &) {
            ADD_FAILURE() << "nothing to ask";
            return false;
        });
        form.openVideo(blackVideo());
        form.player().first();
        form.Picture2_MouseUp(MouseButton::Left, 0, 4.0f, 4.0f);
        EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{4, 4}));
    }
    EXPECT_FALSE(std::filesystem::exists(path("xdg")));
    JournaledWindow window(path("xdg") / "zorvane");
    window.open();
    EXPECT_TRUE(window.asked.isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
