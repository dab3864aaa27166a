#pragma once

#include "measure/measuretable.h"
#include "measure/ui/measurehost.h"
#include "measure/ui/vectoroverlay.h"
#include "measure/vectorgeometry.h"
#include "track/numbertext.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QPainter;
class QWidget;

namespace zorvane {

class Player;

// What the commands over the picture borrow from the window and the measures.
struct PictureHost {
    MeasureHost lent;
    // The table the window shows (metres or pixels) of the active point, or nothing.
    std::function<std::optional<MeasureTable>()> measures;
    // Whether the table is in metres rather than pixels.
    std::function<bool()> calibrated;
    // Where the table's x and y point on the picture.
    std::function<PictureAxes()> axes;
    // Draws the calibration's scale and axes when they are shown.
    std::function<void(QPainter &)> drawCalibration;
};

// The "Mesures" menu's commands over the picture: velocity vectors and
// their changes with their scale and legend, and the chronophotograph
// (the current frame with every recorded position) saved or copied.
class PictureCommands : public QObject {
    Q_OBJECT

public:
    explicit PictureCommands(PictureHost host, QObject *parent = nullptr);

    // Picture pixels per m/s, or per px/s without a calibration. Changes
    // of velocity are much shorter than velocities, so each has its own.
    double vectorScale(ArrowKind kind) const;
    // Takes a typed scale for the unit in force; false, with a message, for one that is none.
    bool setVectorScale(ArrowKind kind, const QString &text);

    // The chosen vectors of one track with its table and colour.
    void drawVectors(QPainter &painter, const PointTrack &track, const MeasureTable &table, const QColor &colour,
                     std::int32_t currentFrame) const;
    // The active point's vectors and the legend, over the video.
    void drawOverlay(QPainter &painter) const;

    // The current frame at the video's size with the positions of every
    // point, in its colour when there are several, and the vectors and
    // calibration when shown; null without a picture.
    QImage chronophotograph();

    using PathChooser = std::function<QString()>;
    void setExportPathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }

public slots:
    void chooseVectorScale();
    void exportChronophotograph();
    void copyImage();

private:
    void createActions();
    QAction *addAction(const QString &text, const char *name);
    bool showsVectors() const;
    QString velocityUnit() const;
    void drawLegend(QPainter &painter) const;
    std::optional<QImage> imageOrMessage();

    PictureHost m_host;
    struct Scales {
        double velocity = 0;
        double change = 0;
    };
    double &scaleOf(ArrowKind kind);

    Scales m_perMetrePerSecond{50, 500};
    Scales m_perPixelPerSecond{0.2, 2};
    QAction *m_velocities = nullptr;
    QAction *m_changes = nullptr;
    PathChooser m_choosePath;
};

} // namespace zorvane
