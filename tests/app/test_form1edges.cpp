// The main window as a user first meets it: keys wherever the focus is,
// zoom keys, clicks beside the picture, a cross seen on any footage, the
// step taken from the video, and windows kept where they were.
#include "app/ui/form1.h"
#include "measure/ui/calibrationdialog.h"
#include "player/ui/videodisplay.h"
#include "support/fakeframesource.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;
using zorvane::testing::FakeFrameSource;

namespace {

// The main window on a paused 640x480 fake video of 5 frames, 40 ms apart.
class Form1Edges : public ::testing::Test {
protected:
    void SetUp() override
    {
        files.next = std::make_unique<FakeFrameSource>(5, 40.0, 640, 480);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        step = form.findChild<QLineEdit *>(QStringLiteral("Text1"));
        ASSERT_NE(picture, nullptr);
        ASSERT_NE(step, nullptr);
        form.openVideo(QStringLiteral("clip.avi"));
        ASSERT_TRUE(form.player().first());
        origin = picture->contentsRect().topLeft();
    }

    void openAnother(int frames, double intervalMs)
    {
        files.next = std::make_unique<FakeFrameSource>(frames, intervalMs, 640, 480);
        form.openVideo(QStringLiteral("other.avi"));
    }

    // The video pixel shown at a position of the view.
    QPoint pixelAt(QPoint view) const
    {
        const ViewPoint at = picture->view().toVideo({double(view.x()), double(view.y())});
        return {int(std::lround(at.x)), int(std::lround(at.y))};
    }

    std::vector<QPoint> pixelsOf(const QColor &colour) const
    {
        QApplication::processEvents();
        const QImage shot = picture->grab().toImage();
        const QRect view = picture->viewRect();
        std::vector<QPoint> found;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x)
                if (shot.pixelColor(origin + QPoint(x, y)) == colour)
                    found.push_back(QPoint(x, y));
        return found;
    }

    zorvane::testing::FakeFiles files{1, 40.0};
    Form1 form{files.opener()};
    VideoDisplay *picture = nullptr;
    QLineEdit *step = nullptr;
    QPoint origin;
};

} // namespace

TEST_F(Form1Edges, ArrowsStepWithTheFocusInTheStepFieldUntilTheUserTypesThere)
{
    step->setFocus();
    QTest::keyClick(step, Qt::Key_Right);
    EXPECT_EQ(form.player().position(), 1);
    QTest::keyClick(step, Qt::Key_Right);
    QTest::keyClick(step, Qt::Key_Left);
    EXPECT_EQ(form.player().position(), 1);

    // Typing: the arrows move in the field, the video stays.
    step->setCursorPosition(0);
    QTest::keyClicks(step, QStringLiteral("1"));
    QTest::keyClick(step, Qt::Key_Right);
    QTest::keyClick(step, Qt::Key_Right);
    EXPECT_EQ(form.player().position(), 1);
    EXPECT_EQ(step->cursorPosition(), 3);
    // The zoom keys mean nothing to a field, so they still zoom.
    QTest::keyClick(step, Qt::Key_9, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(picture->view().scale(), picture->view().fitScale());

    // Return ends the typing.
    QTest::keyClick(step, Qt::Key_Return);
    QTest::keyClick(step, Qt::Key_Right);
    EXPECT_EQ(form.player().position(), 2);
    EXPECT_EQ(step->text(), QStringLiteral("140"));

    // A click in the field, which has the focus already, is for typing.
    QTest::mouseClick(step, Qt::LeftButton);
    QTest::keyClick(step, Qt::Key_Left);
    EXPECT_EQ(form.player().position(), 2);
}

TEST_F(Form1Edges, CtrlZeroKeepsThePixelUnderThePointerAndCtrlNineFitsTheWholePicture)
{
    picture->zoomAt(4.0, origin);
    picture->scrollTo(803, 401);
    const QPoint pointer(100, 80);
    QCursor::setPos(picture->mapToGlobal(origin + pointer));
    const QPoint under = pixelAt(pointer);
    ASSERT_EQ(under, QPoint((803 + 100) / 4, (401 + 80) / 4));

    QTest::keyClick(step, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(picture->view().scale(), 1.0);
    EXPECT_EQ(pixelAt(pointer), under);

    QTest::keyClick(step, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(picture->view().scale(), 1.5);
    EXPECT_NEAR(pixelAt(pointer).x(), under.x(), 1);
    EXPECT_NEAR(pixelAt(pointer).y(), under.y(), 1);

    QTest::keyClick(step, Qt::Key_9, Qt::ControlModifier);
    const ViewTransform &view = picture->view();
    EXPECT_FALSE(view.horizontalBar() || view.verticalBar());
    EXPECT_LE(view.contentWidth(), view.viewWidth());
    EXPECT_LE(view.contentHeight(), view.viewHeight());
    EXPECT_GE(std::max(view.contentWidth() - view.viewWidth(), view.contentHeight() - view.viewHeight()), -1)
        << "as large as fits";
}

TEST_F(Form1Edges, ALeftClickBesideThePictureRecordsAndDrawsNothing)
{
    form.resize(1000, 700);
    QApplication::processEvents();
    ASSERT_GT(picture->viewRect().width(), 700);

    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, origin + QPoint(700, 300));
    form.Picture2_MouseUp(MouseButton::Left, 0, 639.5f, 10.0f); // rounds to 640, just off
    form.Picture2_MouseUp(MouseButton::Left, 0, 10.0f, -0.6f);
    EXPECT_TRUE(form.pointTrack().at(0).isEmpty());
    EXPECT_TRUE(pixelsOf(QColor(255, 0, 0)).empty());
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("hors de l'image"))) << form.windowTitle().toStdString();

    // The picture's last pixels still take points.
    form.Picture2_MouseUp(MouseButton::Left, 0, 639.4f, 479.4f);
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{639, 479}));
    form.Picture2_MouseUp(MouseButton::Right, 0, 900.0f, 600.0f);
    EXPECT_EQ(form.player().position(), 1) << "the other buttons work anywhere";
}

TEST_F(Form1Edges, TheCrossHasAWhiteRimRoundItsExactRedPixels)
{
    picture->zoomAt(8.0, origin);
    form.Picture2_MouseUp(MouseButton::Left, 0, 12.0f, 9.0f);
    const std::vector<QPoint> red = pixelsOf(QColor(255, 0, 0));
    const std::vector<QPoint> white = pixelsOf(QColor(255, 255, 255));
    ASSERT_EQ(red.size(), 19u);
    // Two 12x3 bars less their 3x3 crossing, less the red.
    EXPECT_EQ(white.size(), 12u * 3 * 2 - 9 - 19);
    const auto touchesRed = [&](QPoint p) {
        return std::any_of(red.begin(), red.end(),
                           [&](QPoint r) { return std::abs(r.x() - p.x()) <= 1 && std::abs(r.y() - p.y()) <= 1; });
    };
    EXPECT_TRUE(std::all_of(white.begin(), white.end(), touchesRed));
    // The crossing still lies on the clicked video pixel.
    const QPoint crossing(red[0].x(), red[0].y() + 5);
    EXPECT_EQ(pixelAt(crossing), QPoint(12, 9));
}

TEST_F(Form1Edges, TheStepFieldTakesEachVideosIntervalUntilTheUserTypesAStep)
{
    EXPECT_EQ(step->text(), QStringLiteral("40"));
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    openAnother(30, 1000.0 / 30);
    QLocale::setDefault(previous);
    EXPECT_EQ(step->text(), QStringLiteral("33,333"));

    step->selectAll();
    QTest::keyClicks(step, QStringLiteral("25"));
    openAnother(60, 1000.0 / 60);
    EXPECT_EQ(step->text(), QStringLiteral("25")) << "a typed step is never replaced";
}

TEST_F(Form1Edges, TheCalibrationWindowOpensBesideThePicture)
{
    form.move(20, 20);
    QApplication::processEvents();
    form.findChild<QAction *>(QStringLiteral("etalonnage"))->trigger();
    auto *dialog = form.findChild<CalibrationDialog *>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    // The picture fills the video area, scroll bars included.
    const QRect area(picture->mapToGlobal(QPoint(0, 0)), picture->size());
    EXPECT_FALSE(dialog->frameGeometry().intersects(area));
    dialog->reject();
}

TEST(PlaceClearOf, GoesBesideTheAreaWhereTheScreenHasRoom)
{
    const QRect screen(0, 0, 1280, 800);
    const QSize size(400, 330);
    EXPECT_EQ(placeClearOf(screen, QRect(100, 100, 349, 330), size), QPoint(100 + 349 + 8, 100));
    EXPECT_EQ(placeClearOf(screen, QRect(800, 100, 349, 330), size), QPoint(800 - 8 - 400, 100));
    // A tall picture in a maximised window: beside the picture, inside the window.
    EXPECT_EQ(placeClearOf(screen, QRect(10, 80, 360, 640), size), QPoint(378, 80));
    // No room anywhere: the least hidden, and always on the screen.
    const QPoint place = placeClearOf(screen, QRect(0, 0, 1100, 700), size);
    EXPECT_TRUE(screen.contains(QRect(place, size)));
    EXPECT_EQ(QRect(place, size).intersected(QRect(0, 0, 1100, 700)).width(), 400 - 180);
}

TEST(WindowPlaces, TheMainAndTableWindowsComeBackWhereTheyWere)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString settings = folder.filePath(QStringLiteral("zorvane.ini"));
    zorvane::testing::FakeFiles files{5, 40.0};
    {
        Form1 fresh(files.opener());
        fresh.keepWindowPlacesIn(settings);
        fresh.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
        EXPECT_EQ(fresh.centralWidget()->size(), QSize(349, 311)) << "the first start";
        fresh.resize(520, 410);
        fresh.move(130, 70);
        auto *table = fresh.findChild<QWidget *>(QStringLiteral("measureWindow"));
        ASSERT_NE(table, nullptr);
        table->show();
        table->resize(700, 480);
        fresh.close();
    }
    Form1 again(files.opener());
    again.keepWindowPlacesIn(settings);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(again.size(), QSize(520, 410));
    EXPECT_EQ(again.pos(), QPoint(130, 70));
    EXPECT_EQ(again.findChild<QWidget *>(QStringLiteral("measureWindow"))->size(), QSize(700, 480));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
