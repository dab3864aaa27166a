#pragma once

#include "app/ui/commondialog.h"
#include "app/ui/form1.h"
#include "player/framesource.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::testing {

// Answers the window's dialogs from a queue: a path, or nothing to cancel.
class ScriptedDialog : public CommonDialog {
public:
    std::deque<std::optional<QString>> answers;
    QStringList filtersShown;
    QStringList namesProposed;

    bool showOpen(QWidget *) override { return answer(); }
    bool showSave(QWidget *) override { return answer(); }

private:
    bool answer()
    {
        filtersShown << filter();
        namesProposed << fileName();
        if (answers.empty())
            return false;
        const std::optional<QString> next = answers.front();
        answers.pop_front();
        if (!next)
            return false;
        setFileName(*next);
        return true;
    }
};

// Black frames, so that every colour drawn over them is ours.
inline QString blackVideo(int frames)
{
    const std::string name = "form1-black-" + std::to_string(frames) + ".avi";
    return QString::fromStdString(
        generateMedia(name, {"-f", "lavfi", "-i", "color=c=black:size=160x120:rate=25", "-frames:v",
                             std::to_string(frames), "-c:v", "mpeg4", "-q:v", "2"})
            .string());
}

// The pixels of exactly that colour inside the picture box's border, in
// frame coordinates, once pending paints are done.
inline std::vector<QPoint> pixelsOf(VideoDisplay &picture, const QColor &colour)
{
    QApplication::processEvents();
    const QImage shot = picture.grab().toImage();
    const QRect inside = picture.contentsRect();
    std::vector<QPoint> found;
    for (int y = 0; y < inside.height(); ++y)
        for (int x = 0; x < inside.width(); ++x)
            if (shot.pixelColor(inside.topLeft() + QPoint(x, y)) == colour)
                found.push_back(QPoint(x, y));
    return found;
}

// A main window shown on the screen, its dialogs scripted and its messages
// kept, with a folder for the files a test writes.
class ShownForm1 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        form.setCommonDialog(dialog);
        form.setMessageDisplay([this](const QString &text) { messages << text; });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        ASSERT_NE(picture, nullptr);
    }

    void trigger(const char *action)
    {
        QAction *found = form.findChild<QAction *>(QString::fromLatin1(action));
        ASSERT_NE(found, nullptr) << action;
        found->trigger();
    }

    QTemporaryDir folder;
    ScriptedDialog *dialog = new ScriptedDialog;
    Form1 form{&openFrameSource};
    VideoDisplay *picture = nullptr;
    QStringList messages;
};

} // namespace zorvane::testing
