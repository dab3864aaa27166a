#include "app/ui/form1.h"
#include "player/ui/videodisplay.h"
#include "support/fakeframesource.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

// The main window on a 640x480 fake video, paused on frame 0.
class Form1Zoom : public ::testing::Test {
protected:
    void SetUp() override
    {
        files.next = std::make_unique<zorvane::testing::FakeFrameSource>(5, 40.0, 640, 480);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        ASSERT_NE(picture, nullptr);
        form.openVideo(QStringLiteral("clip.avi"));
        ASSERT_TRUE(form.player().seek(0));
        origin = picture->contentsRect().topLeft();
    }

    // Screen pixels of the view that are pure red.
    std::vector<QPoint> redPixels()
    {
        QApplication::processEvents();
        const QImage shot = picture->grab().toImage();
        const QRect view = picture->viewRect();
        std::vector<QPoint> found;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x)
                if (shot.pixelColor(origin + QPoint(x, y)) == QColor(255, 0, 0))
                    found.push_back(QPoint(x, y));
        return found;
    }

    zorvane::testing::FakeFiles files{1, 40.0};
    Form1 form{files.opener()};
    VideoDisplay *picture = nullptr;
    QPoint origin;
};

} // namespace

TEST_F(Form1Zoom, ClickAtFourTimesAfterAScrollStoresTheVideoPixelUnderThePointer)
{
    picture->zoomAt(4.0, origin);
    picture->scrollTo(803, 401);
    // View pixel (30, 17) shows video pixel ((803 + 30) / 4, (401 + 17) / 4).
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, origin + QPoint(30, 17));
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{208, 104}));
    // The last screen pixel of that video pixel still belongs to it.
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, origin + QPoint(32, 18));
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{208, 104}));
}

TEST_F(Form1Zoom, CrossIsTenScreenPixelsAtTwiceAndSitsOnTheClickedPixel)
{
    picture->zoomAt(2.0, origin);
    picture->scrollTo(301, 151);
    const QPoint click(60, 40);
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, origin + click);
    const TrackPoint stored = form.pointTrack().at(0);
    EXPECT_EQ(stored, (TrackPoint{(301 + 60) / 2, (151 + 40) / 2}));

    const std::vector<QPoint> red = redPixels();
    ASSERT_FALSE(red.empty());
    int minX = 1 << 20, maxX = -1, minY = 1 << 20, maxY = -1;
    for (const QPoint p : red) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    EXPECT_EQ(maxX - minX + 1, 10);
    EXPECT_EQ(maxY - minY + 1, 10);
    EXPECT_EQ(red.size(), 19u);
    // The crossing lies on one of the four screen pixels of the clicked
    // video pixel.
    const QPoint crossing(minX + 5, minY + 5);
    EXPECT_EQ((crossing.x() + 301) / 2, stored.X);
    EXPECT_EQ((crossing.y() + 151) / 2, stored.Y);

    // At 1:1 again the cross is the same 10 pixels, on the pixel itself.
    QTest::keyClick(picture, Qt::Key_0, Qt::ControlModifier);
    picture->scrollTo(0, 0);
    const std::vector<QPoint> plain = redPixels();
    ASSERT_EQ(plain.size(), 19u);
    EXPECT_EQ(plain.front(), QPoint(stored.X, stored.Y - 5));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
