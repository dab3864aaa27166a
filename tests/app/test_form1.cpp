#include "app/ui/form1.h"
#include "player/ui/transportbar.h"
#include "player/ui/videodisplay.h"
#include "support/fakeframesource.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zorvane;
using zorvane::testing::FakeFrameSource;

namespace {

Player::Opener fakeOpener(int frames)
{
    return [frames](const std::string &path) -> std::unique_ptr<FrameSource> {
        if (path.empty())
            throw ReaderError(ReaderErrorKind::CannotOpen, "no file name");
        return std::make_unique<FakeFrameSource>(frames, 40.0);
    };
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    template <typename T = QWidget>
    T *control(const char *name)
    {
        T *found = form.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QWidget *client() { return form.centralWidget(); }

    void resizeClient(int width, int height)
    {
        const QSize frameExtra = form.size() - client()->size();
        form.resize(QSize(width, height) + frameExtra);
        QApplication::processEvents();
    }

    Form1 form{fakeOpener(5)};
};

} // namespace

TEST_F(Form1Test, ControlsStandAtTheirDesignedPlaces)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zorvane"));
    EXPECT_EQ(client()->size(), QSize(349, 311));
    EXPECT_EQ(control("MMControl1")->geometry(), QRect(8, 8, 184, 22));
    EXPECT_EQ(control("Label3")->geometry(), QRect(248, 8, 49, 17));
    EXPECT_EQ(control("Text1")->geometry(), QRect(296, 8, 49, 19));
    EXPECT_EQ(control("PicProgress")->geometry(), QRect(8, 40, 337, 9));
    EXPECT_EQ(control("Picture2")->geometry(), QRect(352, 56, 337, 249));
    // The first resize, at start-up, already moved Picture1 off its design size.
    EXPECT_EQ(control("Picture1")->geometry(), QRect(8, 56, 339, 250));
    for (const char *name : {"MMControl1", "Label3", "Text1", "PicProgress", "Picture1", "Picture2"})
        EXPECT_EQ(control(name)->parentWidget(), client()) << name;
}

TEST_F(Form1Test, ControlsHaveTheirLookAndStartingValues)
{
    EXPECT_EQ(control<QLabel>("Label3")->text(), QStringLiteral("Pas (ms):"));
    EXPECT_EQ(control<QLineEdit>("Text1")->text(), QStringLiteral("33"));
    EXPECT_FALSE(control("Picture2")->isVisible());
    EXPECT_TRUE(control("Picture1")->isVisible());
    QWidget *progress = control("PicProgress");
    EXPECT_EQ(progress->cursor().shape(), Qt::SizeHorCursor);
    const QImage bar = progress->grab().toImage();
    EXPECT_EQ(bar.pixelColor(0, 0), QColor(64, 64, 64));
    EXPECT_EQ(bar.pixelColor(336, 8), QColor(64, 64, 64));
    QTimer *timer = form.findChild<QTimer *>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 200);
    EXPECT_TRUE(timer->isActive());
    EXPECT_NE(form.findChild<QObject *>(QStringLiteral("CommonDialog1")), nullptr);
}

TEST_F(Form1Test, StartUpConfiguresThePlayerAndTheColours)
{
    auto *bar = control<TransportBar>("MMControl1");
    EXPECT_EQ(bar->displayWindow(), control<VideoDisplay>("Picture1"));
    EXPECT_EQ(form.player().length(), 0);
    EXPECT_EQ(form.player().position(), 0);
    EXPECT_EQ(form.progressColorA(), 0x008000u);
    EXPECT_EQ(form.progressColorB(), 0xFFFF80u);
}

TEST_F(Form1Test, OnlyThePictureFollowsTheWindowSize)
{
    resizeClient(600, 500);
    ASSERT_EQ(client()->size(), QSize(600, 500));
    EXPECT_EQ(control("Picture1")->geometry(), QRect(8, 56, 590, 439));
    EXPECT_EQ(control("MMControl1")->geometry(), QRect(8, 8, 184, 22));
    EXPECT_EQ(control("PicProgress")->geometry(), QRect(8, 40, 337, 9));
    EXPECT_EQ(control("Text1")->geometry(), QRect(296, 8, 49, 19));
    EXPECT_EQ(control("Picture2")->geometry(), QRect(352, 56, 337, 249));

    // The window cannot be made that narrow, so the client area is resized
    // directly: the width step is skipped, the height step still runs.
    client()->resize(6, 300);
    EXPECT_EQ(control("Picture1")->size(), QSize(590, 239));
    client()->resize(10, 40);
    EXPECT_EQ(control("Picture1")->size(), QSize(0, 239));
    client()->resize(9, 61);
    EXPECT_EQ(control("Picture1")->size(), QSize(0, 0));
}

TEST_F(Form1Test, MenuBarHoldsFichierThenTwoCommandsThenMesures)
{
    const QList<QAction *> bar = form.menuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    ASSERT_NE(bar[3]->menu(), nullptr);
    EXPECT_EQ(bar[3]->text(), QStringLiteral("Mesures"));
    EXPECT_EQ(bar[3]->menu(), form.measuresMenu());
    ASSERT_NE(bar[0]->menu(), nullptr);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("Fichier"));
    EXPECT_EQ(bar[0]->menu()->objectName(), QStringLiteral("f"));
    EXPECT_EQ(bar[1]->text(), QStringLiteral("Aide"));
    EXPECT_EQ(bar[1]->objectName(), QStringLiteral("Aide"));
    EXPECT_EQ(bar[1]->menu(), nullptr);
    EXPECT_EQ(bar[2]->text(), QStringLiteral("A Propos"));
    EXPECT_EQ(bar[2]->objectName(), QStringLiteral("apropo"));
    EXPECT_EQ(bar[2]->menu(), nullptr);

    const QList<QAction *> file = bar[0]->menu()->actions();
    const QStringList names{"ov", "os", "es", "quit"};
    const QStringList captions{"Ouvir Video", "Ouvrir sequence", "Enregistrer Sequence", "Quitter"};
    ASSERT_EQ(file.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(file[i]->objectName(), names[i]);
        EXPECT_EQ(file[i]->text(), captions[i]);
    }
    QList<QAction *> all = file;
    all << bar.mid(0, 3);
    for (QAction *action : all) {
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
        EXPECT_FALSE(action->text().contains(QLatin1Char('&')));
        EXPECT_FALSE(action->isChecked());
        EXPECT_TRUE(action->isEnabled());
        EXPECT_TRUE(action->isVisible());
    }
}

TEST_F(Form1Test, QuitterClosesTheLastWindowWhichEndsTheProgram)
{
    QAction *quit = form.findChild<QAction *>(QStringLiteral("quit"));
    ASSERT_NE(quit, nullptr);
    QTimer::singleShot(0, quit, &QAction::trigger);
    QTimer ceiling;
    ceiling.setSingleShot(true);
    QObject::connect(&ceiling, &QTimer::timeout, [] { QApplication::exit(7); });
    ceiling.start(10000);
    EXPECT_EQ(QApplication::exec(), 0) << "the event loop did not end";
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form1Test, ClicksOnThePictureReachTheClickHandler)
{
    Player &player = form.player();
    auto *picture = control<VideoDisplay>("Picture1");
    ASSERT_TRUE(player.open("clip.avi"));
    QTest::mouseRelease(picture, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
    QTest::mouseRelease(picture, Qt::RightButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(player.position(), 2);
    const FakeFrameSource::Rgb second = FakeFrameSource::colourOf(2);
    EXPECT_EQ(picture->frame().pixelColor(0, 0), QColor(second[0], second[1], second[2]));
    QTest::mouseRelease(picture, Qt::MiddleButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(player.position(), 1);
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_EQ(player.position(), 1);
}

TEST_F(Form1Test, PlayerNotificationsRepaintThePicture)
{
    auto *bar = control<TransportBar>("MMControl1");
    auto *picture = control<VideoDisplay>("Picture1");
    ASSERT_TRUE(form.player().open("clip.avi"));
    int overlayPaints = 0;
    picture->setOverlay([&](QPainter &) { ++overlayPaints; });
    QApplication::processEvents();
    const int before = overlayPaints;
    form.Ref();
    QApplication::processEvents();
    EXPECT_GT(overlayPaints, before);
    const int afterRef = overlayPaints;
    emit bar->transportMoved();
    QApplication::processEvents();
    EXPECT_GT(overlayPaints, afterRef);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
