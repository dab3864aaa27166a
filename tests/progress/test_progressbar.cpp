#include "progress/ui/progressbar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace zorvane;

namespace {

constexpr int kWidth = 337;
constexpr int kHeight = 9;

// From the formula: passes from the position down to 0 in float steps of
// length / (width / 15); a pass at frame i fills columns 0 to
// round(i * width / length) in the colours (0, 128, 0) and (128, 255, 255)
// mixed at t = i / length, halves to even, red and blue exchanged. The last
// pass covering a column gives its colour.
QColor expectedColumnColor(int position, int length, int x)
{
    const float step = static_cast<float>(static_cast<double>(length) / (kWidth / 15.0));
    QColor color(64, 64, 64);
    for (float i = static_cast<float>(position); i >= 0; i -= step) {
        const double right = std::min(std::round(static_cast<double>(i) * kWidth / length), kWidth - 1.0);
        if (x > right)
            continue;
        const double t = static_cast<double>(i) / length;
        const auto mix = [t](int first, int second) {
            return static_cast<int>(std::nearbyint(first * (1 - t) + second * t));
        };
        color = QColor(mix(0, 255), mix(128, 255), mix(0, 128));
    }
    return color;
}

class ClickCounter : public QWidget {
public:
    int releases = 0;

protected:
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};

} // namespace

TEST(ProgressBar, FirstRefreshWithNothingOpenPaintsOnlyTheLeftColumn)
{
    ProgressBar bar;
    bar.resize(kWidth, kHeight);
    EXPECT_EQ(bar.cursor().shape(), Qt::SizeHorCursor);
    bar.refresh(0, 0);
    const QImage image = bar.grab().toImage();
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y) {
        EXPECT_EQ(image.pixelColor(0, y), QColor(0, 128, 0));
        EXPECT_EQ(image.pixelColor(1, y), QColor(64, 64, 64));
        EXPECT_EQ(image.pixelColor(kWidth - 1, y), QColor(64, 64, 64));
    }
}

TEST(ProgressBar, BandsFollowThePassesAndRightOfCurrentFrameStaysGrey)
{
    ProgressBar bar;
    bar.resize(kWidth, kHeight);
    bar.refresh(100, 250);
    const QImage image = bar.grab().toImage();
    for (int x = 0; x < kWidth; ++x)
        ASSERT_EQ(image.pixelColor(x, kHeight / 2), expectedColumnColor(100, 250, x)) << "column " << x;
    // Frame 100 of 250 lies at pixel 135; beyond it the background shows.
    EXPECT_NE(image.pixelColor(134, 0), QColor(64, 64, 64));
    EXPECT_EQ(image.pixelColor(136, 0), QColor(64, 64, 64));
    // The leftmost band has the colour of the last, smallest pass: still
    // nearly the first colour.
    const QColor left = image.pixelColor(0, kHeight - 1);
    EXPECT_LT(left.red(), 12);
    EXPECT_GE(left.green(), 128);
    EXPECT_LT(left.green(), 135);
}

TEST(ProgressBar, LastFrameEndsInFirstColourAfterLightYellowBand)
{
    ProgressBar bar;
    bar.resize(kWidth, kHeight);
    bar.refresh(250, 250);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(kWidth - 1, 4), QColor(0, 128, 0));
    EXPECT_EQ(image.pixelColor(323, 4), QColor(0, 128, 0));
    const QColor yellowish = image.pixelColor(322, 4);
    EXPECT_EQ(yellowish, QColor(244, 249, 122));
}

TEST(ProgressBar, RepaintKeepsTheBarAndANewRefreshStartsFromEmpty)
{
    ProgressBar bar;
    bar.resize(kWidth, kHeight);
    bar.refresh(200, 250);
    const QImage first = bar.grab().toImage();
    bar.repaint();
    EXPECT_EQ(bar.grab().toImage(), first);

    bar.refresh(10, 250);
    const QImage second = bar.grab().toImage();
    EXPECT_EQ(second.pixelColor(200, 4), QColor(64, 64, 64));
    // One pass at t = 10 / 250.
    EXPECT_EQ(second.pixelColor(0, 4), QColor(10, 133, 5));
    EXPECT_EQ(second.pixelColor(13, 4), QColor(10, 133, 5));
    EXPECT_EQ(second.pixelColor(14, 4), QColor(64, 64, 64));
}

TEST(ProgressBar, ClickDoesNothingAndDoesNotReachTheParent)
{
    ClickCounter parent;
    parent.resize(400, 100);
    auto *bar = new ProgressBar(&parent);
    bar->setGeometry(8, 40, kWidth, kHeight);
    parent.show();
    bar->refresh(50, 250);
    const QImage before = bar->image();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(300, 4));
    QTest::mouseClick(bar, Qt::RightButton, {}, QPoint(10, 4));
    EXPECT_EQ(parent.releases, 0);
    EXPECT_EQ(bar->image(), before);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
