#pragma once

#include "measure/calibration.h"
#include "measure/frameclock.h"
#include "measure/measuretable.h"
#include "measure/ui/measureoverlay.h"
#include "track/numbertext.h"

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zorvane {

// Where a window of `size` goes on `screen` to hide as little of
// `keepClear` as it can: beside it on the right, on the left, below or
// above, the first of these that hides the least.
QPoint placeClearOf(const QRect &screen, const QRect &keepClear, const QSize &size);

// Scale, origin (fixed, or moving with a followed point), axes and time, in one window that stays open beside
// the video: while it waits for a point, clicks on the picture come here
// (pick) instead of recording the followed object.
class CalibrationDialog : public QDialog {
    Q_OBJECT

public:
    explicit CalibrationDialog(NumberFormat format, QWidget *parent = nullptr);

    // Starts from what is in force: its points, distance and time, and the
    // origin, fixed or on one of the followed points B to `otherPoints`;
    // without a calibration, waits for the first end of the scale.
    void start(const std::optional<Calibration> &calibration, const TimeChoice &time, int movingOrigin = 0,
               int otherPoints = 0);

    // True while the next click on the picture is one of the three points.
    bool isPicking() const;
    // Takes the click as the point awaited; false when none is.
    bool pick(PicturePoint point);
    CalibrationSketch sketch() const;
    // The mass (empty field: none) and g, for the energies.
    void setDynamics(const MassAndGravity &dynamics);
    MassAndGravity dynamics() const { return m_dynamics; }
    // The followed point the origin moves with (1 for B), 0 for the fixed one.
    int movingOrigin() const;

    // The part of the screen the dialog should not hide when it opens, in
    // global coordinates: the picture to click. Its parent window unless set.
    using AreaToKeepClear = std::function<QRect()>;
    void keepClearOf(AreaToKeepClear area) { m_keepClear = std::move(area); }

signals:
    // The user confirmed valid settings; the dialog has closed.
    void chosen(const zorvane::Calibration &calibration, const zorvane::TimeChoice &time);
    // Bad input, in French: nothing was chosen and the dialog stays open.
    void refused(const QString &message);
    // The drawing over the video must follow.
    void sketchChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Step { ScaleStart, ScaleEnd, Origin, XAxisFrom, XAxisTo, Done };

    void createControls();
    void restartPicking();
    Step awaited() const;
    bool xAlongPoints() const;
    void axisChoiceChanged();
    void confirm();
    Calibration calibrationTyped() const;
    TimeChoice timeTyped() const;
    std::optional<MassAndGravity> dynamicsTyped() const;
    void showStep();
    void showTimeChoice();

    NumberFormat m_format;
    std::optional<PicturePoint> m_scaleStart;
    std::optional<PicturePoint> m_scaleEnd;
    std::optional<PicturePoint> m_origin;
    std::optional<PicturePoint> m_xAxisFrom;
    std::optional<PicturePoint> m_xAxisTo;

    QLabel *m_instruction = nullptr;
    QLineEdit *m_distance = nullptr;
    QComboBox *m_yAxis = nullptr;
    QComboBox *m_originChoice = nullptr;
    QComboBox *m_xAxis = nullptr;
    QRadioButton *m_videoTimes = nullptr;
    QRadioButton *m_typedStep = nullptr;
    QLineEdit *m_slowMotion = nullptr;
    QLineEdit *m_stepField = nullptr;
    QLineEdit *m_mass = nullptr;
    QLineEdit *m_gravity = nullptr;
    MassAndGravity m_dynamics;
    QPushButton *m_restart = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    AreaToKeepClear m_keepClear;
};

} // namespace zorvane
