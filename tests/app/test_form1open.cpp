#include "app/ui/form1.h"
#include "support/fakeframesource.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

// Drags the file over the window and drops it; whether the window took it.
bool dropOn(Form1 &window, const QString &path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
}

// The main window on fake videos of 5 frames, 40 ms apart.
class Form1Open : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        form.setMessageDisplay([this](const QString &text) { messages << text; });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    bool drop(const QString &path) { return dropOn(form, path); }

    QTemporaryDir folder;
    zorvane::testing::FakeFiles files{5, 40.0};
    Form1 form{files.opener()};
    QStringList messages;
};

} // namespace

TEST_F(Form1Open, StepFieldTipSaysTheVideosFrameIntervalInTheUsersSeparator)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    form.openVideo(QStringLiteral("clip.avi"));
    QLocale::setDefault(previous);
    const auto *step = form.findChild<QLineEdit *>(QStringLiteral("Text1"));
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->toolTip(), QStringLiteral("Intervalle des images de la vidéo : 40,000 ms"));
}

TEST_F(Form1Open, ADroppedVideoOpensAsFromTheMenu)
{
    ASSERT_TRUE(drop(folder.filePath(QStringLiteral("clip.avi"))));
    EXPECT_TRUE(form.player().isOpen());
    EXPECT_EQ(form.player().length(), 5);
    EXPECT_EQ(form.pointTrack().upperBound(), 5);
    EXPECT_FALSE(form.findChild<QLineEdit *>(QStringLiteral("Text1"))->toolTip().isEmpty());
}

TEST_F(Form1Open, AnUnreadableDroppedVideoEndsAsFromTheMenu)
{
    const QString broken = writeFile(QStringLiteral("broken.avi"), "not a video");
    Form1 viaMenu(&openFrameSource);
    viaMenu.openVideo(broken);
    Form1 viaDrop(&openFrameSource);
    viaDrop.setMessageDisplay([this](const QString &text) { messages << text; });
    viaDrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viaDrop));
    ASSERT_TRUE(dropOn(viaDrop, broken));
    EXPECT_FALSE(viaDrop.player().isOpen());
    EXPECT_EQ(viaDrop.player().isOpen(), viaMenu.player().isOpen());
    ASSERT_EQ(viaDrop.pointTrack().hasStorage(), viaMenu.pointTrack().hasStorage());
    if (viaMenu.pointTrack().hasStorage()) {
        EXPECT_EQ(viaDrop.pointTrack().upperBound(), viaMenu.pointTrack().upperBound());
    }
    EXPECT_EQ(viaDrop.player().fileName(), broken.toStdString());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Form1Open, ADroppedSequenceFileLoadsAsFromTheMenu)
{
    ASSERT_TRUE(drop(folder.filePath(QStringLiteral("clip.avi"))));
    const QString path = writeFile(QStringLiteral("track.TXT"), " 2 \r\n0\t5\t6\r\n40\t7\t8\r\n80\t0\t0\r\n");
    ASSERT_TRUE(drop(path));
    EXPECT_TRUE(form.player().isOpen()) << "the video stays";
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{5, 6}));
    EXPECT_EQ(form.pointTrack().at(1), (TrackPoint{7, 8}));

    // A file that cannot be read keeps the track, silently, as from the menu.
    ASSERT_TRUE(drop(folder.filePath(QStringLiteral("nowhere.txt"))));
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{5, 6}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(Form1Open, DragsWithoutALocalFileAreRefused)
{
    QMimeData text;
    text.setText(QStringLiteral("clip.avi"));
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(drop(QString()));
    EXPECT_FALSE(form.player().isOpen());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
