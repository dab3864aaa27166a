#include "measure/ui/measurecontroller.h"

#include "common/log.h"
#include "common/utf8path.h"
#include "measure/measureerror.h"
#include "measure/measureexport.h"
#include "measure/sidecar.h"
#include "measure/ui/calibrationdialog.h"
#include "measure/ui/measureoverlay.h"
#include "measure/ui/measurewindow.h"
#include "measure/ui/picturecommands.h"
#include "measure/ui/sidecarmessages.h"
#include "player/framesource.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>

namespace zorvane {
namespace {

QString fromUtf8(const std::string &text) { return QString::fromStdString(text); }

// The calibration file's problems are worded here; the others come worded.
QString messageOf(const MeasureError &error)
{
    if (const auto *sidecar = dynamic_cast<const SidecarError *>(&error))
        return SidecarMessages::text(sidecar->problem());
    return fromUtf8(error.what());
}

QString distanceLabel(const Calibration &calibration, const NumberFormat &format)
{
    return fromUtf8(formatNumber(calibration.distanceMetres(), format.decimalSeparator, 10)) + QStringLiteral(" m");
}

} // namespace

MeasureController::MeasureController(MeasureHost host, QObject *parent) : QObject(parent), m_host(std::move(host))
{
    setObjectName(QStringLiteral("measureController"));
    m_chooseExportPath = [this] {
        return QFileDialog::getSaveFileName(m_host.window, QStringLiteral("Exporter les mesures"),
                                            QStringLiteral("Mesures.csv"), QStringLiteral("CSV (*.csv)"));
    };
    m_dialog = new CalibrationDialog(m_host.numberFormat, m_host.window);
    connect(m_dialog, &CalibrationDialog::chosen, this, [this](const Calibration &calibration, const TimeChoice &time) {
        setSettings(calibration, time, m_dialog->dynamics(), m_dialog->movingOrigin());
    });
    connect(m_dialog, &CalibrationDialog::refused, this, [this](const QString &text) { m_host.showMessage(text); });
    connect(m_dialog, &CalibrationDialog::sketchChanged, this, [this] { m_host.refresh(); });
    connect(m_dialog, &QDialog::finished, this, [this] { m_host.refresh(); });
    m_window = new MeasureWindow(m_host.numberFormat, m_host.window);
    connect(m_window, &MeasureWindow::frameChosen, this, &MeasureController::seekFrame);
    connect(m_window, &MeasureWindow::problem, this, [this](const QString &text) { m_host.showMessage(text); });
    createActions();
    m_pictures = new PictureCommands({m_host,
                                      [this] {
                                          QString ignored;
                                          return shownMeasures(&ignored);
                                      },
                                      [this] { return m_calibration.has_value(); }, [this] { return axes(); },
                                      [this](QPainter &painter) { drawCalibrationIfShown(painter); }},
                                     this);
    m_host.addOverlay([this](QPainter &painter) { drawOverlay(painter); });
    m_host.setClickInterceptor([this](float x, float y) { return interceptClick(x, y); });
}

QAction *MeasureController::addAction(const QString &text, const char *name)
{
    QAction *action = m_host.menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MeasureController::createActions()
{
    connect(addAction(QStringLiteral("Étalonnage..."), "etalonnage"), &QAction::triggered, this,
            &MeasureController::openCalibration);
    m_showCalibration = addAction(QStringLiteral("Afficher l'étalonnage"), "afficherEtalonnage");
    m_showCalibration->setCheckable(true);
    m_showTrajectory = addAction(QStringLiteral("Trajectoire"), "trajectoire");
    m_showTrajectory->setCheckable(true);
    for (QAction *toggle : {m_showCalibration, m_showTrajectory})
        connect(toggle, &QAction::toggled, this, [this] { m_host.refresh(); });
    m_host.menu->addSeparator();
    connect(addAction(QStringLiteral("Tableau et graphiques..."), "tableau"), &QAction::triggered, this,
            &MeasureController::showMeasures);
    connect(addAction(QStringLiteral("Exporter les mesures..."), "exporterMesures"), &QAction::triggered, this,
            &MeasureController::exportMeasures);
    connect(addAction(QStringLiteral("Copier le tableau"), "copierTableau"), &QAction::triggered, this,
            &MeasureController::copyTable);
}

void MeasureController::setSettings(const Calibration &calibration, const TimeChoice &time,
                                    const MassAndGravity &dynamics, int movingOrigin)
{
    m_calibration = calibration;
    m_time = time;
    m_dynamics = dynamics;
    m_movingOrigin = movingOrigin;
    refreshMeasures();
    m_host.refresh();
}

void MeasureController::openCalibration()
{
    m_dialog->start(m_calibration, m_time, m_movingOrigin, m_host.others.count());
    m_dialog->setDynamics(m_dynamics);
    m_dialog->show();
    m_dialog->raise();
    m_host.refresh();
}

bool MeasureController::interceptClick(float x, float y)
{
    if (!m_dialog->isVisible() || !m_dialog->isPicking())
        return false;
    try {
        const TrackPoint point = clickPoint(x, y);
        m_dialog->pick(PicturePoint{point.X, point.Y});
    } catch (const TrackError &error) {
        // A position no pixel has: the click is spent, the point still awaited.
        logDebug("measure", std::string("calibration click: ") + error.what());
    }
    return true;
}

// While the dialog is open it shows what is being picked; afterwards the
// calibration in force, on demand.
void MeasureController::drawOverlay(QPainter &painter) const
{
    if (m_showTrajectory->isChecked())
        drawTrajectory(painter, activeTrack(), m_host.player.position());
    m_pictures->drawOverlay(painter);
    if (m_dialog->isVisible())
        drawCalibrationSketch(painter, originOnFrame(m_dialog->sketch(), m_dialog->movingOrigin()));
    else
        drawCalibrationIfShown(painter);
}

void MeasureController::drawCalibrationIfShown(QPainter &painter) const
{
    if (m_calibration && m_showCalibration->isChecked())
        drawCalibrationSketch(
            painter, originOnFrame(sketchOf(*m_calibration, distanceLabel(*m_calibration, m_host.numberFormat)),
                                   m_movingOrigin));
}

// The axes start from the followed point on the frame shown, and are not
// drawn where it has no position.
CalibrationSketch MeasureController::originOnFrame(CalibrationSketch sketch, int movingOrigin) const
{
    if (movingOrigin <= 0)
        return sketch;
    sketch.origin.reset();
    if (movingOrigin > m_host.others.count())
        return sketch;
    const std::optional<TrackPoint> point = m_host.others.track(movingOrigin).find(m_host.player.position());
    if (point && !point->isEmpty())
        sketch.origin = PicturePoint{point->X, point->Y};
    return sketch;
}

PictureAxes MeasureController::axes() const
{
    return m_calibration ? pictureAxesOf(*m_calibration) : pictureAxesOf(YAxis::Up);
}

const PointTrack &MeasureController::activeTrack() const
{
    const int index = m_host.activePoint();
    return index > 0 && index <= m_host.others.count() ? m_host.others.track(index) : m_host.track;
}

QString MeasureController::timeDescription() const
{
    try {
        return fromUtf8(clockFor(m_time, m_host.player.source()).description(m_host.numberFormat));
    } catch (const MeasureError &error) {
        return fromUtf8(error.what());
    }
}

std::optional<MeasureTable> MeasureController::measures(QString *problem) const
{
    if (!m_calibration) {
        *problem = QStringLiteral("Pas encore d'étalonnage : choisissez « Étalonnage... » dans le menu Mesures.");
        return std::nullopt;
    }
    try {
        const int index = m_host.activePoint();
        return measurePoint(m_host.track, m_host.others, index <= m_host.others.count() ? index : 0, *m_calibration,
                            m_movingOrigin, clockFor(m_time, m_host.player.source()), m_dynamics);
    } catch (const MeasureError &error) {
        *problem = fromUtf8(error.what());
        return std::nullopt;
    }
}

std::optional<MeasureTable> MeasureController::shownMeasures(QString *header) const
{
    if (m_calibration)
        return measures(header);
    try {
        const FrameSource *video = m_host.player.source();
        const MeasureTable table =
            measureTrackInPixels(activeTrack(), video ? video->height() : 0, clockFor(m_time, video));
        *header = tr("Pas encore d'étalonnage : x et y en pixels depuis le coin en bas à gauche de l'image, y vers "
                     "le haut (« Étalonnage... » dans le menu Mesures pour des mètres).");
        return table;
    } catch (const MeasureError &error) {
        *header = fromUtf8(error.what());
        return std::nullopt;
    }
}

void MeasureController::refreshMeasures()
{
    if (!m_window->isVisible())
        return;
    QString problem;
    const std::optional<MeasureTable> table = shownMeasures(&problem);
    if (!table) {
        m_window->showTable(MeasureTable{}, problem);
        return;
    }
    QString header = timeDescription();
    if (table->inPixels)
        header = problem + QLatin1Char(' ') + header;
    if (m_host.others.count() > 0)
        header = tr("Point %1.").arg(QChar(pointLetter(m_host.activePoint()))) + QLatin1Char(' ') + header;
    if (m_calibration && m_movingOrigin > 0)
        header += tr(" — origine des axes sur le point %1.").arg(QChar(pointLetter(m_movingOrigin)));
    if (table->pointsWithoutTime > 0)
        header += QStringLiteral(" — %1 point(s) après la dernière image de la vidéo laissé(s) de côté.")
                      .arg(table->pointsWithoutTime);
    m_window->showTable(*table, header);
}

void MeasureController::trackChanged() { refreshMeasures(); }

void MeasureController::showMeasures()
{
    m_window->show();
    m_window->raise();
    refreshMeasures();
}

void MeasureController::seekFrame(int frame)
{
    m_host.player.seek(frame);
    m_host.refresh();
}

std::optional<MeasureTable> MeasureController::measuresOrMessage()
{
    QString problem;
    std::optional<MeasureTable> table = measures(&problem);
    if (!table)
        m_host.showMessage(problem);
    return table;
}

void MeasureController::exportMeasures()
{
    const std::optional<MeasureTable> table = measuresOrMessage();
    if (!table)
        return;
    const QString path = m_chooseExportPath();
    if (path.isEmpty())
        return;
    try {
        exportCsv(pathFromUtf8(path.toStdString()), *table, m_host.numberFormat);
    } catch (const MeasureError &error) {
        m_host.showMessage(fromUtf8(error.what()));
    }
}

void MeasureController::copyTable()
{
    if (const std::optional<MeasureTable> table = measuresOrMessage())
        QGuiApplication::clipboard()->setText(fromUtf8(clipboardText(*table, m_host.numberFormat)));
}

// Without a calibration there is nothing to keep beside the sequence.
void MeasureController::sequenceSaved(const std::filesystem::path &sequence)
{
    if (!m_calibration)
        return;
    try {
        const CalibratedVideo video = identifyVideo(pathFromUtf8(m_host.player.fileName()), m_host.player.length());
        saveSidecar(sidecarPath(sequence), MeasureSettings{video, *m_calibration, m_time, m_dynamics, m_movingOrigin});
    } catch (const MeasureError &error) {
        m_host.showMessage(messageOf(error));
    }
}

void MeasureController::sequenceLoaded(const std::filesystem::path &sequence)
{
    try {
        // Without a calibration beside it, a sequence loads as it always did.
        if (!readSidecar(sidecarPath(sequence)))
            return;
        if (!m_host.player.isOpen()) {
            m_host.showMessage(QStringLiteral("Ouvrez d'abord la vidéo de cette séquence pour reprendre son "
                                              "étalonnage."));
            return;
        }
        const CalibratedVideo video = identifyVideo(pathFromUtf8(m_host.player.fileName()), m_host.player.length());
        if (const std::optional<MeasureSettings> settings = loadSidecarFor(sequence, video))
            setSettings(settings->calibration, settings->time, settings->dynamics, settings->movingOrigin);
    } catch (const MeasureError &error) {
        m_host.showMessage(messageOf(error));
    }
}

} // namespace zorvane
