#include "progress/ui/progressbar.h"
#include "progress/progresspasses.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorvane;

namespace {

constexpr int kWidth = 337;
constexpr int kHeight = 9;

QColor expectedColumnColor(const std::vector<ProgressPass> &passes, int length, int x)
{
    QColor color = ProgressBar::backgroundColor();
    for (const ProgressPass &pass : passes) {
        if (x <= passRightPixel(pass.right, length, kWidth))
            color = QColor(redOf(pass.color), greenOf(pass.color), blueOf(pass.color));
    }
    return color;
}

class ClickCounter : public QWidget
{
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
    const auto passes = progressPasses(100, 250, kWidth);
    for (int x = 0; x < kWidth; ++x)
        ASSERT_EQ(image.pixelColor(x, kHeight / 2), expectedColumnColor(passes, 250, x)) << "column " << x;
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
