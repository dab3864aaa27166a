#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"
#include "measure/measuretable.h"
#include "measure/ui/measurehost.h"
#include "measure/ui/measureoverlay.h"
#include "measure/vectorgeometry.h"
#include "player/player.h"
#include "player/ui/videodisplay.h"
#include "track/numbertext.h"
#include "track/pointset.h"
#include "track/pointtrack.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace zorvane {

class CalibrationDialog;
class MeasureWindow;
class PictureCommands;

// The "Mesures" menu's commands: calibration, trajectory, table and plots,
// export, and the calibration file beside each saved sequence.
class MeasureController : public QObject {
    Q_OBJECT

public:
    explicit MeasureController(MeasureHost host, QObject *parent = nullptr);

    const std::optional<Calibration> &calibration() const { return m_calibration; }
    const TimeChoice &timeChoice() const { return m_time; }
    const MassAndGravity &dynamics() const { return m_dynamics; }
    // The followed point the origin moves with (1 for B), 0 for the fixed one.
    int movingOrigin() const { return m_movingOrigin; }
    void setSettings(const Calibration &calibration, const TimeChoice &time, const MassAndGravity &dynamics = {},
                     int movingOrigin = 0);

    // The measures of the active point in the frame of reference of the
    // calibration, or why there are none, in French.
    std::optional<MeasureTable> measures(QString *problem) const;
    // What the window shows: the measures, or without a calibration the
    // same in pixels; header says which.
    std::optional<MeasureTable> shownMeasures(QString *header) const;
    // Which time the measures use, in French.
    QString timeDescription() const;

    // Chooses where to export; an empty path cancels. A save dialog unless replaced.
    using PathChooser = std::function<QString()>;
    void setExportPathChooser(PathChooser chooser) { m_chooseExportPath = std::move(chooser); }

    CalibrationDialog *calibrationDialog() const { return m_dialog; }
    MeasureWindow *measureWindow() const { return m_window; }
    PictureCommands *pictureCommands() const { return m_pictures; }

public slots:
    // After "Enregistrer Sequence" wrote the sequence: its calibration file beside it.
    void sequenceSaved(const std::filesystem::path &sequence);
    // After "Ouvrir sequence" read it: the calibration saved with it, if any.
    void sequenceLoaded(const std::filesystem::path &sequence);
    // The main window's track changed.
    void trackChanged();

    void openCalibration();
    void showMeasures();
    void exportMeasures();
    void copyTable();

private:
    void createActions();
    QAction *addAction(const QString &text, const char *name);
    bool interceptClick(float x, float y);
    void drawOverlay(QPainter &painter) const;
    void drawCalibrationIfShown(QPainter &painter) const;
    void refreshMeasures();
    void seekFrame(int frame);
    QString chooseExportPath() const;
    std::optional<MeasureTable> measuresOrMessage();
    const PointTrack &activeTrack() const;
    CalibrationSketch originOnFrame(CalibrationSketch sketch, int movingOrigin) const;
    PictureAxes axes() const;

    MeasureHost m_host;
    std::optional<Calibration> m_calibration;
    TimeChoice m_time;
    MassAndGravity m_dynamics;
    int m_movingOrigin = 0;
    CalibrationDialog *m_dialog = nullptr;
    MeasureWindow *m_window = nullptr;
    PictureCommands *m_pictures = nullptr;
    QAction *m_showCalibration = nullptr;
    QAction *m_showTrajectory = nullptr;
    PathChooser m_chooseExportPath;
};

} // namespace zorvane
