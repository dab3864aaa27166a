#include "measure/ui/calibrationdialog.h"

#include "common/log.h"
#include "measure/measureerror.h"
#include "track/pointset.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace zorvane {
namespace {

QString numberText(double value, const NumberFormat &format)
{
    return QString::fromStdString(formatNumber(value, format.decimalSeparator, 10));
}

constexpr int kGap = 8;
// Until the window is shown its frame is unknown: room for a title bar.
constexpr int kTitleBarGuess = 32;

int clampInto(int start, int length, int low, int high) { return std::max(low, std::min(start, high + 1 - length)); }

qint64 area(const QRect &rect) { return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height(); }

} // namespace

QPoint placeClearOf(const QRect &screen, const QRect &keepClear, const QSize &size)
{
    const QPoint candidates[] = {
        {keepClear.right() + 1 + kGap, keepClear.top()},
        {keepClear.left() - kGap - size.width(), keepClear.top()},
        {keepClear.left(), keepClear.bottom() + 1 + kGap},
        {keepClear.left(), keepClear.top() - kGap - size.height()},
    };
    QPoint best;
    qint64 leastHidden = -1;
    for (const QPoint candidate : candidates) {
        const QPoint place(clampInto(candidate.x(), size.width(), screen.left(), screen.right()),
                           clampInto(candidate.y(), size.height(), screen.top(), screen.bottom()));
        const qint64 hidden = area(QRect(place, size).intersected(keepClear));
        if (leastHidden < 0 || hidden < leastHidden) {
            best = place;
            leastHidden = hidden;
        }
    }
    return best;
}

CalibrationDialog::CalibrationDialog(NumberFormat format, QWidget *parent)
        : QDialog(parent), m_format(std::move(format))
{
    setObjectName(QStringLiteral("calibrationDialog"));
    setWindowTitle(QStringLiteral("Étalonnage"));
    setModal(false);
    createControls();
    showStep();
}

void CalibrationDialog::createControls()
{
    m_instruction = new QLabel(this);
    m_instruction->setObjectName(QStringLiteral("instruction"));
    m_instruction->setWordWrap(true);
    m_instruction->setMinimumWidth(320);

    m_distance = new QLineEdit(this);
    m_distance->setObjectName(QStringLiteral("distance"));
    m_yAxis = new QComboBox(this);
    m_yAxis->setObjectName(QStringLiteral("yAxis"));
    m_yAxis->addItem(QStringLiteral("vers le haut"));
    m_yAxis->addItem(QStringLiteral("vers le bas"));
    m_originChoice = new QComboBox(this);
    m_originChoice->setObjectName(QStringLiteral("originChoice"));
    m_xAxis = new QComboBox(this);
    m_xAxis->setObjectName(QStringLiteral("xAxis"));
    m_xAxis->addItem(tr("vers la droite"));
    m_xAxis->addItem(tr("le long de deux points (une pente)"));
    auto *scale = new QFormLayout;
    scale->addRow(QStringLiteral("Distance réelle (m) :"), m_distance);
    scale->addRow(tr("Origine :"), m_originChoice);
    scale->addRow(tr("Axe x :"), m_xAxis);
    scale->addRow(QStringLiteral("Axe y :"), m_yAxis);
    m_mass = new QLineEdit(this);
    m_mass->setObjectName(QStringLiteral("mass"));
    m_mass->setPlaceholderText(tr("pour les énergies"));
    m_gravity = new QLineEdit(this);
    m_gravity->setObjectName(QStringLiteral("gravity"));
    scale->addRow(tr("Masse (kg) :"), m_mass);
    scale->addRow(tr("g (m/s²) :"), m_gravity);

    auto *time = new QGroupBox(QStringLiteral("Temps"), this);
    m_videoTimes = new QRadioButton(QStringLiteral("Temps des images de la vidéo"), time);
    m_videoTimes->setObjectName(QStringLiteral("videoTimes"));
    m_slowMotion = new QLineEdit(time);
    m_slowMotion->setObjectName(QStringLiteral("slowMotion"));
    m_typedStep = new QRadioButton(QStringLiteral("Pas saisi (ms) :"), time);
    m_typedStep->setObjectName(QStringLiteral("typedStep"));
    m_stepField = new QLineEdit(time);
    m_stepField->setObjectName(QStringLiteral("step"));
    auto *timeRows = new QFormLayout(time);
    timeRows->addRow(m_videoTimes);
    timeRows->addRow(QStringLiteral("    Facteur de ralenti :"), m_slowMotion);
    timeRows->addRow(m_typedStep, m_stepField);

    m_restart = new QPushButton(QStringLiteral("Recommencer les clics"), this);
    m_restart->setObjectName(QStringLiteral("restart"));
    m_ok = new QPushButton(QStringLiteral("Valider"), this);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Annuler"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_restart);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_instruction);
    layout->addLayout(scale);
    layout->addWidget(time);
    layout->addLayout(buttons);

    connect(m_restart, &QPushButton::clicked, this, &CalibrationDialog::restartPicking);
    connect(m_ok, &QPushButton::clicked, this, &CalibrationDialog::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_distance, &QLineEdit::textChanged, this, &CalibrationDialog::sketchChanged);
    connect(m_yAxis, &QComboBox::currentIndexChanged, this, &CalibrationDialog::sketchChanged);
    connect(m_originChoice, &QComboBox::currentIndexChanged, this, &CalibrationDialog::axisChoiceChanged);
    connect(m_xAxis, &QComboBox::currentIndexChanged, this, &CalibrationDialog::axisChoiceChanged);
    connect(m_videoTimes, &QRadioButton::toggled, this, &CalibrationDialog::showTimeChoice);
}

void CalibrationDialog::start(const std::optional<Calibration> &calibration, const TimeChoice &time, int movingOrigin,
                              int otherPoints)
{
    const QSignalBlocker quietOrigin(m_originChoice);
    const QSignalBlocker quietAxis(m_xAxis);
    m_originChoice->clear();
    m_originChoice->addItem(tr("origine fixe"));
    // A point the file names but this sequence lacks stays shown, so that it is not lost unseen.
    for (int index = 1; index <= std::max(movingOrigin, otherPoints); ++index)
        m_originChoice->addItem(tr("sur le point %1").arg(QChar(pointLetter(index))));
    m_originChoice->setCurrentIndex(std::max(movingOrigin, 0));
    m_xAxisFrom.reset();
    m_xAxisTo.reset();
    if (calibration) {
        m_scaleStart = calibration->scaleStart();
        m_scaleEnd = calibration->scaleEnd();
        m_origin = calibration->origin();
        if (calibration->xAxis()) {
            m_xAxisFrom = calibration->xAxis()->from;
            m_xAxisTo = calibration->xAxis()->to;
        }
        m_distance->setText(numberText(calibration->distanceMetres(), m_format));
        m_yAxis->setCurrentIndex(calibration->yAxis() == YAxis::Up ? 0 : 1);
    } else {
        m_scaleStart.reset();
        m_scaleEnd.reset();
        m_origin.reset();
        m_distance->clear();
        m_yAxis->setCurrentIndex(0);
    }
    m_xAxis->setCurrentIndex(m_xAxisFrom ? 1 : 0);
    (time.source == TimeSource::VideoFrameTimes ? m_videoTimes : m_typedStep)->setChecked(true);
    m_slowMotion->setText(numberText(time.slowMotionFactor, m_format));
    m_stepField->setText(numberText(time.stepMs, m_format));
    showTimeChoice();
    showStep();
}

void CalibrationDialog::setDynamics(const MassAndGravity &dynamics)
{
    m_dynamics = dynamics;
    m_mass->setText(dynamics.massKg ? numberText(*dynamics.massKg, m_format) : QString());
    m_gravity->setText(numberText(dynamics.gravity, m_format));
}

std::optional<MassAndGravity> CalibrationDialog::dynamicsTyped() const
{
    MassAndGravity dynamics;
    if (!m_mass->text().trimmed().isEmpty()) {
        dynamics.massKg = parseMass(m_mass->text().toStdString(), m_format);
        if (!dynamics.massKg)
            return std::nullopt;
    }
    const std::optional<double> gravity = parseGravity(m_gravity->text().toStdString(), m_format);
    if (!gravity)
        return std::nullopt;
    dynamics.gravity = *gravity;
    return dynamics;
}

// Placed at every opening, since the picture may have moved or zoomed since.
void CalibrationDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    const QWidget *owner = parentWidget() ? parentWidget()->window() : this;
    const QRect keepClear = m_keepClear ? m_keepClear() : owner->frameGeometry();
    if (keepClear.isEmpty() || !owner->screen())
        return;
    QSize size = frameGeometry().size();
    if (size == this->size())
        size.rheight() += kTitleBarGuess;
    move(placeClearOf(owner->screen()->availableGeometry(), keepClear, size));
}

int CalibrationDialog::movingOrigin() const { return std::max(m_originChoice->currentIndex(), 0); }

bool CalibrationDialog::xAlongPoints() const { return m_xAxis->currentIndex() == 1; }

// The first point not clicked yet among those the choices need; the
// origin is the followed point's when it moves with one.
CalibrationDialog::Step CalibrationDialog::awaited() const
{
    if (!m_scaleStart)
        return Step::ScaleStart;
    if (!m_scaleEnd)
        return Step::ScaleEnd;
    if (movingOrigin() == 0 && !m_origin)
        return Step::Origin;
    if (xAlongPoints() && !m_xAxisFrom)
        return Step::XAxisFrom;
    if (xAlongPoints() && !m_xAxisTo)
        return Step::XAxisTo;
    return Step::Done;
}

bool CalibrationDialog::isPicking() const { return awaited() != Step::Done; }

bool CalibrationDialog::pick(PicturePoint point)
{
    switch (awaited()) {
    case Step::ScaleStart: m_scaleStart = point; break;
    case Step::ScaleEnd: m_scaleEnd = point; break;
    case Step::Origin: m_origin = point; break;
    case Step::XAxisFrom: m_xAxisFrom = point; break;
    case Step::XAxisTo: m_xAxisTo = point; break;
    case Step::Done: return false;
    }
    showStep();
    emit sketchChanged();
    return true;
}

void CalibrationDialog::axisChoiceChanged()
{
    showStep();
    emit sketchChanged();
}

CalibrationSketch CalibrationDialog::sketch() const
{
    CalibrationSketch sketch;
    sketch.scaleStart = m_scaleStart;
    sketch.scaleEnd = m_scaleEnd;
    if (movingOrigin() == 0)
        sketch.origin = m_origin;
    if (xAlongPoints()) {
        sketch.xAxisFrom = m_xAxisFrom;
        sketch.xAxisTo = m_xAxisTo;
    }
    sketch.yAxis = m_yAxis->currentIndex() == 0 ? YAxis::Up : YAxis::Down;
    try {
        sketch.distanceLabel =
            numberText(parseDistance(m_distance->text().toStdString(), m_format), m_format) + QStringLiteral(" m");
    } catch (const MeasureError &error) {
        // Nothing to write beside the bar until the distance is a number.
        logDebug("measure", std::string("distance: ") + error.what());
    }
    return sketch;
}

void CalibrationDialog::restartPicking()
{
    m_scaleStart.reset();
    m_scaleEnd.reset();
    m_origin.reset();
    m_xAxisFrom.reset();
    m_xAxisTo.reset();
    showStep();
    emit sketchChanged();
}

void CalibrationDialog::showStep()
{
    switch (awaited()) {
    case Step::ScaleStart:
        m_instruction->setText(QStringLiteral("Cliquez sur la vidéo la première extrémité d'une longueur connue."));
        break;
    case Step::ScaleEnd:
        m_instruction->setText(QStringLiteral("Cliquez la seconde extrémité de cette longueur."));
        break;
    case Step::Origin: m_instruction->setText(QStringLiteral("Cliquez l'origine des axes.")); break;
    case Step::XAxisFrom:
        m_instruction->setText(tr("Cliquez un premier point de l'axe x, par exemple en haut de la pente."));
        break;
    case Step::XAxisTo:
        m_instruction->setText(tr("Cliquez un second point de l'axe x : l'axe x va du premier point vers celui-ci."));
        break;
    case Step::Done:
        m_instruction->setText(QStringLiteral("Tapez la distance réelle entre les deux extrémités, puis validez. "
                                              "Les clics sur la vidéo enregistrent de nouveau les points."));
        break;
    }
}

void CalibrationDialog::showTimeChoice()
{
    m_slowMotion->setEnabled(m_videoTimes->isChecked());
    m_stepField->setEnabled(!m_videoTimes->isChecked());
}

// Checks everything before anything changes, so bad input leaves the
// settings in force as they were.
void CalibrationDialog::confirm()
{
    const Step step = awaited();
    if (step == Step::XAxisFrom || step == Step::XAxisTo) {
        emit refused(tr("Cliquez d'abord sur la vidéo les deux points de l'axe x."));
        return;
    }
    if (isPicking()) {
        emit refused(QStringLiteral("Cliquez d'abord sur la vidéo les deux extrémités de la longueur connue, "
                                    "puis l'origine."));
        return;
    }
    try {
        const Calibration calibration = calibrationTyped();
        const TimeChoice time = timeTyped();
        const std::optional<MassAndGravity> dynamics = dynamicsTyped();
        if (!dynamics) {
            emit refused(tr("La masse (en kg, vide s'il n'en faut pas) et g (en m/s², %1 sur Terre) doivent être "
                            "des nombres plus grands que zéro.")
                             .arg(numberText(9.81, m_format)));
            return;
        }
        m_dynamics = *dynamics;
        accept();
        emit chosen(calibration, time);
    } catch (const MeasureError &error) {
        emit refused(QString::fromStdString(error.what()));
    }
}

Calibration CalibrationDialog::calibrationTyped() const
{
    const double metres = parseDistance(m_distance->text().toStdString(), m_format);
    std::optional<AxisPoints> xAxis;
    if (xAlongPoints())
        xAxis = AxisPoints{*m_xAxisFrom, *m_xAxisTo};
    // An origin on a followed point needs no click; the scale's start stands in.
    return Calibration(*m_scaleStart, *m_scaleEnd, metres, m_origin.value_or(*m_scaleStart),
                       m_yAxis->currentIndex() == 0 ? YAxis::Up : YAxis::Down, xAxis);
}

// Both numbers are checked whichever is chosen, as the calibration file
// keeps both.
TimeChoice CalibrationDialog::timeTyped() const
{
    TimeChoice time;
    time.source = m_videoTimes->isChecked() ? TimeSource::VideoFrameTimes : TimeSource::TypedStep;
    time.slowMotionFactor = parseSlowMotionFactor(m_slowMotion->text().toStdString(), m_format);
    time.stepMs = parseStepMs(m_stepField->text().toStdString(), m_format);
    return time;
}

} // namespace zorvane
