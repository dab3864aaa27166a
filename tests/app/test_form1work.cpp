#include "app/form1testing.h"
#include "app/ui/commondialog.h"
#include "app/ui/form1.h"
#include "dialogs/ui/dialog.h"
#include "dialogs/ui/frmabout.h"
#include "player/ui/transportbar.h"
#include "player/ui/videodisplay.h"
#include "progress/ui/progressbar.h"
#include "support/media.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

using namespace zorvane;
using zorvane::testing::blackVideo;
using zorvane::testing::pixelsOf;
using zorvane::testing::ScriptedDialog;
using zorvane::testing::ShownForm1;

namespace {

std::string readFile(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const QString &path, const std::string &bytes)
{
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << bytes;
}

// A sequence of upper bound n whose entry i holds (i + 1, 2 * i + 1).
std::string numberedSequence(int upperBound)
{
    std::string text = " " + std::to_string(upperBound) + " \r\n";
    for (int i = 0; i <= upperBound; ++i)
        text += std::to_string(i * 40) + "\t" + std::to_string(i + 1) + "\t" + std::to_string(2 * i + 1) + "\r\n";
    return text;
}

class Form1Work : public ShownForm1 {
protected:
    void SetUp() override
    {
        ShownForm1::SetUp();
        if (HasFatalFailure())
            return;
        player = &form.player();
        ASSERT_NE(player, nullptr);
        ASSERT_NE(form.findChild<TransportBar *>(QStringLiteral("MMControl1")), nullptr);
    }

    // Opens a video through the menu and stops its playback on frame 0.
    void openVideo(const QString &path)
    {
        dialog->answers.push_back(path);
        trigger("ov");
        player->back();
    }

    void goToFrame(int frame)
    {
        while (player->position() < frame && player->step()) {
        }
        while (player->position() > frame && player->back()) {
        }
        ASSERT_EQ(player->position(), frame);
    }

    void loadSequence(const std::string &content)
    {
        const QString path = folder.filePath(QStringLiteral("in.txt"));
        writeFile(path, content);
        dialog->answers.push_back(path);
        trigger("os");
    }

    // Mouse positions are taken from the inner corner of Picture1.
    QPoint at(int x, int y) const { return picture->contentsRect().topLeft() + QPoint(x, y); }

    // Pure red pixels inside Picture1's border, in frame coordinates.
    std::vector<QPoint> redPixels() { return pixelsOf(*picture, QColor(255, 0, 0)); }

    TrackPoint entry(int index) const { return form.pointTrack().at(index); }

    Player *player = nullptr;
};

TEST_F(Form1Work, ClicksBeforeAnyVideoChangeNothingAndSayNothing)
{
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
        QTest::mouseClick(picture, button, {}, at(30, 40));
    form.Picture2_MouseUp(MouseButton::Left, 0, 12.0f, 13.0f);
    EXPECT_FALSE(form.pointTrack().hasStorage());
    EXPECT_EQ(player->position(), 0);
    EXPECT_TRUE(redPixels().empty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, EachMouseButtonDoesItsOwnThing)
{
    openVideo(blackVideo(10));
    ASSERT_EQ(player->length(), 10);
    goToFrame(4);

    QTest::mouseClick(picture, Qt::LeftButton, {}, at(40, 30));
    EXPECT_EQ(entry(4), (TrackPoint{40, 30}));
    EXPECT_EQ(player->position(), 4);

    QTest::mouseClick(picture, Qt::RightButton, {}, at(70, 70));
    EXPECT_EQ(player->position(), 5);
    EXPECT_EQ(entry(5), TrackPoint{});

    QTest::mouseClick(picture, Qt::MiddleButton, {}, at(70, 70));
    QTest::mouseClick(picture, Qt::MiddleButton, {}, at(70, 70));
    EXPECT_EQ(player->position(), 3);
    EXPECT_EQ(entry(3), TrackPoint{});
    EXPECT_EQ(entry(4), (TrackPoint{40, 30}));
}

TEST_F(Form1Work, LeftClickRoundsHalvesToEvenIntoTheCurrentFrame)
{
    openVideo(blackVideo(10));
    goToFrame(3);
    form.Picture2_MouseUp(MouseButton::Left, 0, 112.5f, 77.5f);
    EXPECT_EQ(entry(3), (TrackPoint{112, 78}));
    form.Picture2_MouseUp(MouseButton::Left, 0, 2.5f, 3.4999f);
    EXPECT_EQ(entry(3), (TrackPoint{2, 3}));
    // A button code of no meaning stores nothing and does not move.
    form.Picture2_MouseUp(MouseButton::Other, 0, 50.0f, 50.0f);
    EXPECT_EQ(entry(3), (TrackPoint{2, 3}));
    EXPECT_EQ(player->position(), 3);
}

TEST_F(Form1Work, CrossIsTenRedPixelsEachWayFromFiveBeforeThePoint)
{
    openVideo(blackVideo(10));
    goToFrame(2);
    QTest::mouseClick(picture, Qt::LeftButton, {}, at(50, 40));

    std::vector<QPoint> expected;
    for (int x = 45; x <= 54; ++x)
        expected.push_back(QPoint(x, 40));
    for (int y = 35; y <= 44; ++y)
        if (y != 40)
            expected.push_back(QPoint(50, y));
    std::vector<QPoint> red = redPixels();
    auto byPosition = [](const QPoint &a, const QPoint &b) {
        return std::pair(a.y(), a.x()) < std::pair(b.y(), b.x());
    };
    std::sort(red.begin(), red.end(), byPosition);
    std::sort(expected.begin(), expected.end(), byPosition);
    EXPECT_EQ(red, expected);

    // A click exactly at (0, 0) empties the entry: no cross.
    form.Picture2_MouseUp(MouseButton::Left, 0, 0.0f, 0.0f);
    EXPECT_TRUE(redPixels().empty());
}

TEST_F(Form1Work, CrossFollowsItsFrameAndSurvivesRepaints)
{
    openVideo(blackVideo(10));
    goToFrame(2);
    QTest::mouseClick(picture, Qt::LeftButton, {}, at(60, 50));
    ASSERT_EQ(redPixels().size(), 19u);

    QTest::mouseClick(picture, Qt::RightButton, {}, at(5, 5));
    EXPECT_EQ(player->position(), 3);
    EXPECT_TRUE(redPixels().empty());

    QTest::mouseClick(picture, Qt::MiddleButton, {}, at(5, 5));
    EXPECT_EQ(player->position(), 2);
    EXPECT_EQ(redPixels().size(), 19u);

    picture->repaint();
    EXPECT_EQ(redPixels().size(), 19u);

    // Stepping onto a frame that holds a point shows that frame's cross.
    form.Picture2_MouseUp(MouseButton::Left, 0, 20.0f, 20.0f);
    goToFrame(1);
    EXPECT_TRUE(redPixels().empty());
    QTest::mouseClick(picture, Qt::RightButton, {}, at(5, 5));
    const std::vector<QPoint> red = redPixels();
    ASSERT_EQ(red.size(), 19u);
    EXPECT_NE(std::find(red.begin(), red.end(), QPoint(20, 20)), red.end());

    // "back" on frame 0 cannot move, and the cross of frame 0 stays drawn.
    goToFrame(0);
    form.Picture2_MouseUp(MouseButton::Left, 0, 30.0f, 30.0f);
    QTest::mouseClick(picture, Qt::MiddleButton, {}, at(5, 5));
    EXPECT_EQ(player->position(), 0);
    EXPECT_EQ(redPixels().size(), 19u);
}

TEST_F(Form1Work, ArrowKeysStepAndGoBackOnceTheVideoHasFocus)
{
    openVideo(blackVideo(10));
    goToFrame(4);
    QTest::mouseClick(picture, Qt::LeftButton, {}, at(30, 30));
    ASSERT_TRUE(picture->hasFocus());
    QTest::keyClick(picture, Qt::Key_Right);
    EXPECT_EQ(player->position(), 5);
    QTest::keyClick(picture, Qt::Key_Left);
    QTest::keyClick(picture, Qt::Key_Left);
    EXPECT_EQ(player->position(), 3);
    QTest::keyClick(picture, Qt::Key_Right);
    EXPECT_EQ(redPixels().size(), 19u);
}

TEST_F(Form1Work, OpeningOffersAviFirstAndStartsPlaying)
{
    dialog->answers.push_back(blackVideo(10));
    trigger("ov");
    ASSERT_EQ(dialog->filtersShown.size(), 1);
    EXPECT_TRUE(dialog->filtersShown[0].startsWith(QStringLiteral("Video (*.avi)|*.avi|")));
    EXPECT_TRUE(dialog->filtersShown[0].contains(QStringLiteral("*.mp4")));
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(QString::fromStdString(player->fileName()), blackVideo(10));
    EXPECT_EQ(form.pointTrack().upperBound(), 10);
    EXPECT_EQ(form.videoInfo().Width, 160);
    EXPECT_EQ(form.videoInfo().Height, 120);
}

TEST_F(Form1Work, OpeningCutsALongerTrackAndKeepsWhatFits)
{
    loadSequence(numberedSequence(250));
    ASSERT_EQ(form.pointTrack().upperBound(), 250);
    openVideo(blackVideo(100));
    EXPECT_EQ(form.pointTrack().upperBound(), 100);
    EXPECT_EQ(entry(0), (TrackPoint{1, 1}));
    EXPECT_EQ(entry(100), (TrackPoint{101, 201}));
}

TEST_F(Form1Work, OpeningALongerVideoAddsEmptyEntries)
{
    openVideo(blackVideo(100));
    goToFrame(7);
    form.Picture2_MouseUp(MouseButton::Left, 0, 11.0f, 12.0f);
    loadSequence(numberedSequence(100));
    openVideo(blackVideo(300));
    ASSERT_EQ(form.pointTrack().upperBound(), 300);
    EXPECT_EQ(entry(7), (TrackPoint{8, 15}));
    EXPECT_EQ(entry(100), (TrackPoint{101, 201}));
    for (int i : {101, 200, 300})
        EXPECT_EQ(entry(i), TrackPoint{}) << i;
}

TEST_F(Form1Work, OpeningByPathDoesWhatTheMenuDoesWithoutItsDialog)
{
    loadSequence(numberedSequence(20));
    const qsizetype dialogsShown = dialog->filtersShown.size();
    form.openVideo(blackVideo(10));
    EXPECT_EQ(dialog->filtersShown.size(), dialogsShown);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->fileName(), blackVideo(10).toStdString());
    EXPECT_EQ(form.pointTrack().upperBound(), 10);
    EXPECT_EQ(entry(10), (TrackPoint{11, 21}));
    EXPECT_EQ(form.videoInfo().Width, 160);

    form.openVideo(folder.filePath(QStringLiteral("missing.avi")));
    EXPECT_EQ(player->length(), 0);
    EXPECT_EQ(form.pointTrack().upperBound(), 0);
    EXPECT_EQ(form.videoInfo().Width, 160);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, CancellingTheOpenDialogKeepsVideoAndTrack)
{
    openVideo(blackVideo(10));
    goToFrame(1);
    form.Picture2_MouseUp(MouseButton::Left, 0, 9.0f, 9.0f);
    ASSERT_TRUE(player->play());
    const VideoInfo before = form.videoInfo();

    dialog->answers.push_back(std::nullopt);
    trigger("ov");
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(QString::fromStdString(player->fileName()), blackVideo(10));
    EXPECT_EQ(form.pointTrack().upperBound(), 10);
    EXPECT_EQ(entry(1), (TrackPoint{9, 9}));
    EXPECT_EQ(form.videoInfo(), before);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, AFileThePlayerCannotOpenLeavesOneEntryAndTheLastVideoInfo)
{
    openVideo(blackVideo(10));
    const VideoInfo before = form.videoInfo();
    openVideo(folder.filePath(QStringLiteral("missing.avi")));
    EXPECT_EQ(player->length(), 0);
    EXPECT_EQ(form.pointTrack().upperBound(), 0);
    EXPECT_EQ(form.videoInfo(), before);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, SavingWritesTheTrackAndLoadingBringsItBack)
{
    openVideo(blackVideo(3));
    goToFrame(1);
    form.Picture2_MouseUp(MouseButton::Left, 0, 120.0f, 85.0f);
    form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("40"));
    const QString path = folder.filePath(QStringLiteral("saved.txt"));
    dialog->answers.push_back(path);
    trigger("es");

    EXPECT_EQ(dialog->filtersShown.last(), QStringLiteral("Sequence (*.txt)|*.txt"));
    EXPECT_EQ(dialog->namesProposed.last(), QStringLiteral("Sequence.txt"));
    EXPECT_EQ(readFile(path), " 3 \r\n0\t0\t0\r\n40\t120\t85\r\n80\t0\t0\r\n120\t0\t0\r\n");

    // The shared dialog starts the next time from the file last chosen.
    Form1 second(&openFrameSource);
    auto *secondDialog = new ScriptedDialog;
    second.setCommonDialog(secondDialog);
    secondDialog->answers.push_back(path);
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    EXPECT_EQ(secondDialog->filtersShown.last(), QStringLiteral("Sequence (*.txt)|*.txt"));
    ASSERT_EQ(second.pointTrack().upperBound(), 3);
    EXPECT_EQ(second.pointTrack().at(1), (TrackPoint{120, 85}));
    EXPECT_EQ(second.pointTrack().at(2), TrackPoint{});
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, NamesWithAccentsAndSpacesWorkForVideosAndSequences)
{
    const QString pupil = folder.filePath(QStringLiteral("élève"));
    ASSERT_TRUE(QDir().mkpath(pupil));
    const QString video = pupil + QStringLiteral("/vidéo 1.avi");
    ASSERT_TRUE(QFile::copy(blackVideo(4), video));
    openVideo(video);
    EXPECT_EQ(player->length(), 4);
    EXPECT_EQ(form.pointTrack().upperBound(), 4);
    EXPECT_EQ(form.videoInfo().Width, 160) << "the probe did not find the file";
    goToFrame(2);
    form.Picture2_MouseUp(MouseButton::Left, 0, 31.0f, 41.0f);

    const QString sequence = pupil + QStringLiteral("/séquence.txt");
    dialog->answers.push_back(sequence);
    trigger("es");
    // The file must be under the UTF-8 bytes of its name.
    const std::string utf8Name = sequence.toStdString();
    const std::u8string u8Name(utf8Name.begin(), utf8Name.end());
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(u8Name)));

    Form1 second(&openFrameSource);
    auto *secondDialog = new ScriptedDialog;
    second.setCommonDialog(secondDialog);
    secondDialog->answers.push_back(sequence);
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    ASSERT_EQ(second.pointTrack().upperBound(), 4);
    EXPECT_EQ(second.pointTrack().at(2), (TrackPoint{31, 41}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, StepIsReadWithADotOrACommaAndWrittenWithTheUsersDecimalComma)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    openVideo(blackVideo(3));
    const auto savedWithStep = [this](const QString &step, const QString &name) {
        form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(step);
        const QString path = folder.filePath(name);
        dialog->answers.push_back(path);
        trigger("es");
        return readFile(path);
    };
    const std::string comma = savedWithStep(QStringLiteral("33,5"), QStringLiteral("comma.txt"));
    const std::string dot = savedWithStep(QStringLiteral("33.3"), QStringLiteral("dot.txt"));
    QLocale::setDefault(previous);
    EXPECT_EQ(comma, " 3 \r\n0\t0\t0\r\n33,5\t0\t0\r\n67\t0\t0\r\n100,5\t0\t0\r\n");
    EXPECT_EQ(dot, " 3 \r\n0\t0\t0\r\n33,3\t0\t0\r\n66,6\t0\t0\r\n99,9\t0\t0\r\n");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, SavingWithoutAtLeastTwoFramesShowsNoDialog)
{
    trigger("es");
    openVideo(folder.filePath(QStringLiteral("missing.avi")));
    ASSERT_EQ(form.pointTrack().upperBound(), 0);
    const qsizetype shown = dialog->filtersShown.size();
    trigger("es");
    EXPECT_EQ(dialog->filtersShown.size(), shown);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, CancellingTheSequenceDialogsWritesAndReadsNothing)
{
    openVideo(blackVideo(3));
    dialog->answers.push_back(std::nullopt);
    trigger("es");
    dialog->answers.push_back(std::nullopt);
    trigger("os");
    EXPECT_EQ(form.pointTrack().upperBound(), 3);
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, AStepThatIsNotANumberIsReportedAndTheOldFileStays)
{
    openVideo(blackVideo(3));
    const QString path = folder.filePath(QStringLiteral("kept.txt"));
    writeFile(path, "previous track");
    form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("abc"));
    dialog->answers.push_back(path);
    trigger("es");
    EXPECT_EQ(readFile(path), "previous track");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Pas (ms)")));
}

TEST_F(Form1Work, AFailedWriteIsReportedWithTheFileName)
{
    openVideo(blackVideo(3));
    dialog->answers.push_back(QStringLiteral("/dev/full"));
    trigger("es");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("/dev/full")));
    EXPECT_EQ(form.pointTrack().upperBound(), 3);
}

TEST_F(Form1Work, AnAbsurdFrameCountIsRefusedAndTheTrackStays)
{
    openVideo(blackVideo(3));
    form.Picture2_MouseUp(MouseButton::Left, 0, 5.0f, 6.0f);
    loadSequence(" 20000000 \r\n0\t1\t1\r\n");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("10 000 000")));
    EXPECT_EQ(form.pointTrack().upperBound(), 3);
    EXPECT_EQ(entry(0), (TrackPoint{5, 6}));
}

TEST_F(Form1Work, ASequenceThatCannotBeOpenedGivesAnEmptyTrackOneEntrySilently)
{
    dialog->answers.push_back(folder.filePath(QStringLiteral("nowhere.txt")));
    trigger("os");
    ASSERT_TRUE(form.pointTrack().hasStorage());
    EXPECT_EQ(form.pointTrack().upperBound(), 0);

    openVideo(blackVideo(3));
    form.Picture2_MouseUp(MouseButton::Left, 0, 5.0f, 6.0f);
    dialog->answers.push_back(folder.filePath(QStringLiteral("nowhere.txt")));
    trigger("os");
    EXPECT_EQ(form.pointTrack().upperBound(), 3);
    EXPECT_EQ(entry(0), (TrackPoint{5, 6}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Work, TimerPutsPositionAndLengthInTheTitle)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() != QStringLiteral("Zorvane"); }, 2000));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zorvane   0/0    par Brindel"));
    openVideo(blackVideo(10));
    goToFrame(6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle().contains(QStringLiteral("6/10")); }, 2000));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zorvane   6/10    par Brindel"));
}

TEST_F(Form1Work, TimerFillsTheBarUpToTheCurrentFrame)
{
    auto *bar = form.findChild<ProgressBar *>(QStringLiteral("PicProgress"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(8, 40, 337, 9));
    openVideo(blackVideo(100));
    goToFrame(50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle().contains(QStringLiteral("50/100")); }, 2000));
    QApplication::processEvents();
    const QImage shot = bar->grab().toImage();
    const QColor grey(64, 64, 64);
    const int middle = bar->height() / 2;
    // Passes run from frame 50 down to 0 in steps of 100 / (337 / 15)
    // frames; the last one, at the left, mixes the window's colours
    // (0, 128, 0) and (128, 255, 255) at t = its frame / 100, halves to
    // even, with red and blue exchanged.
    const float step = static_cast<float>(100.0 / (337.0 / 15.0));
    float lastPass = 50.0f;
    while (lastPass - step >= 0)
        lastPass -= step;
    const double t = lastPass / 100.0;
    const auto mix = [t](int first, int second) {
        return static_cast<int>(std::nearbyint(first * (1 - t) + second * t));
    };
    EXPECT_EQ(shot.pixelColor(0, middle), QColor(mix(0, 255), mix(128, 255), mix(0, 128)));
    EXPECT_NE(shot.pixelColor(160, middle), grey);
    EXPECT_EQ(shot.pixelColor(175, middle), grey);
    EXPECT_EQ(shot.pixelColor(336, middle), grey);
}

// Closes the modal window that opens next, noting its title.
void closeNextModal(QString *title, const char *button)
{
    QTimer::singleShot(0, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        *title = modal->windowTitle();
        if (auto *ok = modal->findChild<QPushButton *>(QString::fromLatin1(button)))
            ok->click();
        else
            modal->close();
    });
}

TEST_F(Form1Work, HelpAndAboutOpenModallyFromTheMenuBar)
{
    QString title;
    closeNextModal(&title, "OKButton");
    trigger("Aide");
    EXPECT_EQ(title, QStringLiteral("Aide"));
    // Hidden by OK, the same Help window comes back.
    title.clear();
    closeNextModal(&title, "OKButton");
    trigger("Aide");
    EXPECT_EQ(title, QStringLiteral("Aide"));
    int helpWindows = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        helpWindows += window->objectName() == QStringLiteral("Dialog") ? 1 : 0;
    EXPECT_EQ(helpWindows, 1);

    title.clear();
    closeNextModal(&title, "cmdOK");
    trigger("apropo");
    EXPECT_EQ(title, QStringLiteral("About Zorvane"));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
