// Several points through the window: the active one chosen in "Mesures"
// or with keys 1 to 8, clicked with the mouse, drawn in their colours,
// saved beside the sequence and read back; a damaged companion file is
// refused and changes nothing.
#include "app/form1testing.h"
#include "app/ui/form1.h"
#include "player/ui/videodisplay.h"
#include "track/companionfile.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace zorvane;
using zorvane::testing::blackVideo;
using zorvane::testing::pixelsOf;
using zorvane::testing::ScriptedDialog;
using zorvane::testing::ShownForm1;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlueOfA(0, 90, 255);
const QColor kGreenOfB(0, 170, 0);

class Form1Points : public ShownForm1 {
protected:
    void SetUp() override
    {
        ShownForm1::SetUp();
        if (HasFatalFailure())
            return;
        dialog->answers.push_back(blackVideo(10));
        trigger("ov");
        form.player().back();
    }

    void clickOn(int frame, int x, int y)
    {
        ASSERT_TRUE(form.player().seek(frame));
        QTest::mouseClick(picture, Qt::LeftButton, {}, picture->contentsRect().topLeft() + QPoint(x, y));
    }

    // A on frames 1 and 2, B on 1 and 3, then A active again.
    void clickTwoPoints()
    {
        clickOn(1, 20, 30);
        clickOn(2, 25, 35);
        trigger("ajouterPoint");
        ASSERT_EQ(form.activePoint(), 1);
        clickOn(1, 80, 60);
        clickOn(3, 90, 70);
        QTest::keyClick(picture, Qt::Key_1);
        ASSERT_EQ(form.activePoint(), 0);
    }

    QString path(const char *name) const { return folder.filePath(QString::fromLatin1(name)); }
};

bool near(const std::vector<QPoint> &pixels, QPoint centre)
{
    return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [&](QPoint p) {
        return std::abs(p.x() - centre.x()) <= 6 && std::abs(p.y() - centre.y()) <= 6;
    });
}

} // namespace

TEST_F(Form1Points, TwoPointsClickedSavedAndReloadedComeBackExactlyWithTheActiveOneRed)
{
    EXPECT_FALSE(form.windowTitle().contains(QStringLiteral("point"))) << "one point looks as before";
    clickTwoPoints();
    EXPECT_EQ(form.pointTrack().at(1), (TrackPoint{20, 30}));
    EXPECT_EQ(form.pointTrack().at(3), TrackPoint{}) << "B's clicks went to B";
    ASSERT_EQ(form.otherPoints().count(), 1);
    EXPECT_EQ(form.otherPoints().track(1).at(3), (TrackPoint{90, 70}));

    ASSERT_TRUE(form.player().seek(1));
    form.Ref();
    EXPECT_TRUE(near(pixelsOf(*picture, kRed), {20, 30})) << "A is active: its cross is red";
    EXPECT_TRUE(near(pixelsOf(*picture, kGreenOfB), {80, 60}));
    QTest::keyClick(picture, Qt::Key_2);
    EXPECT_TRUE(form.windowTitle().endsWith(QStringLiteral(" - point B"))) << form.windowTitle().toStdString();
    EXPECT_TRUE(near(pixelsOf(*picture, kRed), {80, 60})) << "now B's";
    EXPECT_TRUE(near(pixelsOf(*picture, kBlueOfA), {20, 30}));

    dialog->answers.push_back(path("two.txt"));
    trigger("es");
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("\n")).toStdString();
    ASSERT_TRUE(QFile::exists(path("two.points.tsv")));

    Form1 second{&openFrameSource};
    auto *secondDialog = new ScriptedDialog;
    second.setCommonDialog(secondDialog);
    secondDialog->answers.push_back(blackVideo(10));
    secondDialog->answers.push_back(path("two.txt"));
    second.findChild<QAction *>(QStringLiteral("ov"))->trigger();
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    ASSERT_EQ(second.otherPoints().count(), 1);
    for (std::int32_t frame = 0; frame <= form.pointTrack().upperBound(); ++frame) {
        EXPECT_EQ(second.pointTrack().at(frame), form.pointTrack().at(frame)) << frame;
        EXPECT_EQ(second.otherPoints().track(1).at(frame), form.otherPoints().track(1).at(frame)) << frame;
    }
}

TEST_F(Form1Points, ADamagedCompanionIsRefusedAndASequenceWithoutOneGivesAOnly)
{
    clickTwoPoints();
    std::ofstream(path("old.txt").toStdString(), std::ios::binary) << " 2 \r\n0\t1\t2\r\n40\t3\t4\r\n80\t5\t6\r\n";
    std::ofstream(path("old.points.tsv").toStdString(), std::ios::binary) << "t (ms)\tXA\tYA\tXB\tYB\r\n0\t1\t2\t3\r\n";
    const PointTrack before = form.pointTrack();
    const PointSet othersBefore = form.otherPoints();
    dialog->answers.push_back(path("old.txt"));
    trigger("os");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().contains(QStringLiteral("endommagé"))) << messages.front().toStdString();
    for (std::int32_t frame = 0; frame <= before.upperBound(); ++frame) {
        EXPECT_EQ(form.pointTrack().at(frame), before.at(frame)) << frame;
        EXPECT_EQ(form.otherPoints().track(1).at(frame), othersBefore.track(1).at(frame)) << frame;
    }

    QTest::keyClick(picture, Qt::Key_2);
    ASSERT_EQ(form.activePoint(), 1);
    QFile::remove(path("old.points.tsv"));
    dialog->answers.push_back(path("old.txt"));
    trigger("os");
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(form.pointTrack().at(2), (TrackPoint{5, 6}));
    EXPECT_EQ(form.otherPoints().count(), 0) << "A only: B is gone, not just emptied";
    EXPECT_EQ(form.activePoint(), 0);
    EXPECT_FALSE(form.windowTitle().contains(QStringLiteral("point")));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
