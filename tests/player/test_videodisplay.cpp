#include "player/ui/videodisplay.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

using namespace zorvane;

namespace {

// Each pixel says where it is: red = x, green = y.
QImage coordinateImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor(x % 256, y % 256, 200));
    return image;
}

} // namespace

TEST(VideoDisplay, DrawsTheFrameOneToOneInsideTheBorderAndClipsIt)
{
    VideoDisplay display;
    display.resize(120, 90);
    display.show();
    const QImage frame = coordinateImage(200, 150);
    display.setFrame(frame);
    const QImage shot = display.grab().toImage();
    const QPoint origin = display.contentsRect().topLeft();
    ASSERT_EQ(origin, QPoint(2, 2));
    // Scroll bars take the right and bottom edges of a frame too large.
    const QRect view = display.viewRect();
    EXPECT_LT(view.width(), 116);
    EXPECT_LT(view.height(), 86);
    for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(57, 33), QPoint(view.width() - 1, view.height() - 1)})
        EXPECT_EQ(shot.pixelColor(origin + at), frame.pixelColor(at)) << at.x() << "," << at.y();
    // The sunken border stays: the frame does not spill onto it.
    EXPECT_NE(shot.pixelColor(0, 0), frame.pixelColor(0, 0));
    EXPECT_NE(shot.pixelColor(119, 89), frame.pixelColor(117, 87));
}

TEST(VideoDisplay, ShowsDarkGreyWithoutAFrameAndKeepsTheFrameAcrossRepaints)
{
    VideoDisplay display;
    display.resize(80, 60);
    display.show();
    EXPECT_EQ(display.grab().toImage().pixelColor(40, 30), QColor(64, 64, 64));
    display.setFrame(coordinateImage(80, 60));
    display.repaint();
    display.repaint();
    EXPECT_EQ(display.grab().toImage().pixelColor(40, 30), QColor(38, 28, 200));
    display.clearFrame();
    EXPECT_EQ(display.grab().toImage().pixelColor(40, 30), QColor(64, 64, 64));
}

TEST(VideoDisplay, OverlayIsPaintedInFrameCoordinatesOverTheFrame)
{
    VideoDisplay display;
    display.resize(80, 60);
    display.show();
    display.setFrame(coordinateImage(80, 60));
    display.setOverlay([](QPainter &painter) {
        painter.setPen(QColor(255, 0, 0));
        painter.drawPoint(10, 20);
    });
    const QImage shot = display.grab().toImage();
    EXPECT_EQ(shot.pixelColor(12, 22), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(13, 22), QColor(11, 20, 200));
}

TEST(VideoDisplay, ReportsMouseReleaseFromTheInnerCornerWithButtonCodes)
{
    VideoDisplay display;
    display.resize(80, 60);
    display.show();
    QSignalSpy released(&display, &VideoDisplay::mouseReleased);
    QTest::mouseRelease(&display, Qt::LeftButton, Qt::NoModifier, QPoint(12, 22));
    QTest::mouseRelease(&display, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(2, 2));
    QTest::mouseRelease(&display, Qt::MiddleButton, Qt::AltModifier, QPoint(50, 40));
    ASSERT_EQ(released.count(), 3);
    const QList<QVariant> left = released.at(0);
    EXPECT_EQ(left.at(0).value<MouseButton>(), MouseButton::Left);
    EXPECT_EQ(left.at(1).toInt(), 0);
    EXPECT_FLOAT_EQ(left.at(2).toFloat(), 10.0f);
    EXPECT_FLOAT_EQ(left.at(3).toFloat(), 20.0f);
    EXPECT_EQ(released.at(1).at(0).value<MouseButton>(), MouseButton::Right);
    EXPECT_EQ(released.at(1).at(1).toInt(), 3);
    EXPECT_FLOAT_EQ(released.at(1).at(2).toFloat(), 0.0f);
    EXPECT_EQ(released.at(2).at(0).value<MouseButton>(), MouseButton::Middle);
    EXPECT_EQ(released.at(2).at(1).toInt(), 4);
    EXPECT_FLOAT_EQ(released.at(2).at(3).toFloat(), 38.0f);
    // The click logic keeps the 16-bit codes of the buttons.
    EXPECT_EQ(static_cast<int>(MouseButton::Left), 1);
    EXPECT_EQ(static_cast<int>(MouseButton::Right), 2);
    EXPECT_EQ(static_cast<int>(MouseButton::Middle), 4);
}

TEST(VideoDisplay, AboveOneToOnePixelsAreSharpSquaresAndBelowTheyBlend)
{
    VideoDisplay display;
    display.resize(124, 94);
    display.show();
    const QImage frame = coordinateImage(400, 300);
    display.setFrame(frame);
    const QPoint origin = display.contentsRect().topLeft();
    display.zoomAt(4.0, origin);
    display.scrollTo(41, 22);
    QImage shot = display.grab().toImage();
    // Screen pixel i shows video pixel (i + scroll) / 4, whole.
    for (const QPoint at : {QPoint(0, 0), QPoint(2, 1), QPoint(3, 2), QPoint(50, 40), QPoint(51, 43)}) {
        const QPoint video((at.x() + 41) / 4, (at.y() + 22) / 4);
        EXPECT_EQ(shot.pixelColor(origin + at), frame.pixelColor(video)) << at.x() << "," << at.y();
    }

    // Black and white columns: half size blends them into grey.
    QImage stripes(400, 300, QImage::Format_RGB888);
    for (int x = 0; x < 400; ++x)
        for (int y = 0; y < 300; ++y)
            stripes.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
    display.setFrame(stripes);
    display.zoomAt(0.5, origin);
    display.scrollTo(0, 0);
    EXPECT_DOUBLE_EQ(display.view().scale(), 0.5);
    shot = display.grab().toImage();
    for (const QPoint at : {QPoint(20, 20), QPoint(21, 20), QPoint(60, 50)}) {
        const int grey = shot.pixelColor(origin + at).red();
        EXPECT_GT(grey, 64) << at.x();
        EXPECT_LT(grey, 192) << at.x();
    }
}

TEST(VideoDisplay, WheelScrollsShiftWheelGoesSidewaysCtrlWheelZoomsCtrlZeroResets)
{
    VideoDisplay display;
    display.resize(124, 94);
    display.show();
    display.setFrame(coordinateImage(400, 300));
    const QPointF pointer = display.contentsRect().topLeft() + QPointF(30, 20);
    auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(pointer, display.mapToGlobal(pointer), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&display, &event);
    };
    wheel(-120, Qt::NoModifier);
    EXPECT_EQ(display.view().scrollY(), 60);
    EXPECT_EQ(display.view().scrollX(), 0);
    wheel(-240, Qt::ShiftModifier);
    EXPECT_EQ(display.view().scrollX(), 120);
    auto *bar = display.findChild<QScrollBar *>(QStringLiteral("horizontalBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 120);
    bar->setValue(100);
    EXPECT_EQ(display.view().scrollX(), 100);

    // The video pixel under the pointer stays there through the zoom.
    const int underX = 30 + 100;
    wheel(120, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(display.view().scale(), 1.5);
    QSignalSpy released(&display, &VideoDisplay::mouseReleased);
    QTest::mouseRelease(&display, Qt::LeftButton, Qt::NoModifier, pointer.toPoint());
    ASSERT_EQ(released.count(), 1);
    EXPECT_NEAR(released.at(0).at(2).toFloat(), underX, 1.0);

    QTest::keyClick(&display, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(display.view().scale(), 1.0);
    for (int i = 0; i < 10; ++i)
        wheel(-120, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(display.view().scale(), display.view().fitScale());
    EXPECT_FALSE(bar->isVisible());
}

TEST(VideoDisplay, ClickAtFourTimesAfterAScrollReportsTheVideoPixelUnderThePointer)
{
    VideoDisplay display;
    display.resize(124, 94);
    display.show();
    display.setFrame(coordinateImage(400, 300));
    const QPoint origin = display.contentsRect().topLeft();
    display.zoomAt(4.0, origin);
    display.scrollTo(803, 401);
    QSignalSpy released(&display, &VideoDisplay::mouseReleased);
    // Screen pixels 0..4 of the view show video pixels 200 (1 px) and 201 (4 px).
    for (int i = 0; i < 5; ++i)
        QTest::mouseRelease(&display, Qt::LeftButton, Qt::NoModifier, origin + QPoint(i, i));
    ASSERT_EQ(released.count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(std::lround(released.at(i).at(2).toFloat()), (803 + i) / 4) << i;
        EXPECT_EQ(std::lround(released.at(i).at(3).toFloat()), (401 + i) / 4) << i;
    }
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
