#pragma once

#include "app/ui/commondialog.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>

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

} // namespace zorvane::testing
