#include "app/ui/form1.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

// Larger than the video area, so the picture is clipped on two sides and scrolls.
std::string wideClip()
{
    static const std::filesystem::path path = zorvane::testing::generateMedia(
        "form1-clip-400x300.avi",
        {"-f", "lavfi", "-i", "testsrc2=size=400x300:rate=25:duration=0.4", "-c:v", "mpeg4", "-q:v", "2"});
    return path.string();
}

} // namespace

TEST(Form1OnVideo, PictureShowsTheDecodedFrameOneToOneFromItsInnerCorner)
{
    Form1 form(&openFrameSource);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto *picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(form.player().open(wideClip()));
    ASSERT_TRUE(form.player().step());
    ASSERT_TRUE(form.player().step());

    const RgbImage expected = openFrameSource(wideClip())->frameRgb(2);
    const QImage shot = picture->grab().toImage();
    // Less the scroll bars, which the larger picture brings.
    const QRect inside = picture->viewRect();
    ASSERT_LT(inside.width(), expected.width);
    int compared = 0;
    for (int y = 0; y < inside.height(); y += 7) {
        for (int x = 0; x < inside.width(); x += 5) {
            const std::uint8_t *rgb = expected.pixels.data() + (static_cast<size_t>(y) * expected.width + x) * 3;
            ASSERT_EQ(shot.pixelColor(inside.topLeft() + QPoint(x, y)), QColor(rgb[0], rgb[1], rgb[2]))
                << "at " << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
