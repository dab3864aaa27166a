#include "player/ui/videodisplay.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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
    for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(57, 33), QPoint(115, 85)})
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

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
