#include "measure/ui/picturecommands.h"

#include "common/utf8path.h"
#include "measure/measureerror.h"
#include "measure/ui/vectoroverlay.h"
#include "measure/wholefile.h"
#include "player/player.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenu>
#include <QPainter>

namespace zorvane {
namespace {

// The legend's sample arrow is a round speed at least this long on the picture.
constexpr double kLegendMinimumPixels = 40;

QImage copyOf(const RgbImage &rgb)
{
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width) * 3;
    if (rgb.width <= 0 || rgb.height <= 0
        || rgb.pixels.size() < static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(rgb.height))
        return {};
    return QImage(rgb.pixels.data(), rgb.width, rgb.height, rowBytes, QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

PictureCommands::PictureCommands(PictureHost host, QObject *parent) : QObject(parent), m_host(std::move(host))
{
    setObjectName(QStringLiteral("pictureCommands"));
    m_choosePath = [this] {
        return QFileDialog::getSaveFileName(m_host.window, tr("Exporter la chronophotographie"),
                                            tr("Chronophotographie.png"), tr("Image PNG (*.png)"));
    };
    createActions();
}

QAction *PictureCommands::addAction(const QString &text, const char *name)
{
    QAction *action = m_host.menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void PictureCommands::createActions()
{
    m_host.menu->addSeparator();
    m_velocities = addAction(tr("Vecteurs vitesse"), "vecteursVitesse");
    m_changes = addAction(tr("Vecteurs variation de vitesse"), "vecteursVariation");
    for (QAction *toggle : {m_velocities, m_changes}) {
        toggle->setCheckable(true);
        connect(toggle, &QAction::toggled, this, [this] { m_host.refresh(); });
    }
    connect(addAction(tr("Échelle des vecteurs..."), "echelleVecteurs"), &QAction::triggered, this,
            &PictureCommands::chooseVectorScale);
    m_host.menu->addSeparator();
    connect(addAction(tr("Exporter la chronophotographie..."), "exporterChronophotographie"), &QAction::triggered, this,
            &PictureCommands::exportChronophotograph);
    connect(addAction(tr("Copier l'image"), "copierImage"), &QAction::triggered, this, &PictureCommands::copyImage);
}

double PictureCommands::vectorScale() const
{
    return m_host.calibrated() ? m_pixelsPerMetrePerSecond : m_pixelsPerPixelPerSecond;
}

QString PictureCommands::velocityUnit() const
{
    return m_host.calibrated() ? QStringLiteral("m/s") : QStringLiteral("px/s");
}

bool PictureCommands::setVectorScale(const QString &text)
{
    const std::optional<double> scale = parseVectorScale(text.toStdString(), m_host.numberFormat);
    if (!scale) {
        m_host.showMessage(tr("« %1 » n'est pas une échelle : tapez le nombre de pixels de l'image pour 1 %2, un "
                              "nombre plus grand que zéro (par exemple 50).")
                               .arg(text, velocityUnit()));
        return false;
    }
    (m_host.calibrated() ? m_pixelsPerMetrePerSecond : m_pixelsPerPixelPerSecond) = *scale;
    m_host.refresh();
    return true;
}

void PictureCommands::chooseVectorScale()
{
    const QString current =
        QString::fromStdString(formatNumber(vectorScale(), m_host.numberFormat.decimalSeparator, 6));
    bool accepted = false;
    const QString text = QInputDialog::getText(m_host.window, tr("Échelle des vecteurs"),
                                               tr("Pixels de l'image pour 1 %1 :").arg(velocityUnit()),
                                               QLineEdit::Normal, current, &accepted);
    if (accepted)
        setVectorScale(text);
}

bool PictureCommands::showsVectors() const { return m_velocities->isChecked() || m_changes->isChecked(); }

void PictureCommands::drawVectors(QPainter &painter, const PointTrack &track, const MeasureTable &table,
                                  const QColor &colour, std::int32_t currentFrame) const
{
    const PictureAxes axes = m_host.axes();
    const double scale = vectorScale();
    if (m_changes->isChecked())
        drawArrows(painter, velocityChangeArrows(track, table, axes, scale), colour, ArrowKind::VelocityChange,
                   currentFrame);
    if (m_velocities->isChecked())
        drawArrows(painter, velocityArrows(track, table, axes, scale), colour, ArrowKind::Velocity, currentFrame);
}

void PictureCommands::drawLegend(QPainter &painter) const
{
    const double scale = vectorScale();
    const double speed = legendSpeed(scale, kLegendMinimumPixels);
    const QString value = QString::fromStdString(formatNumber(speed, m_host.numberFormat.decimalSeparator, 6))
                          + QLatin1Char(' ') + velocityUnit();
    std::vector<LegendLine> lines;
    if (m_velocities->isChecked())
        lines.push_back({ArrowKind::Velocity, kVelocityColour, speed * scale, tr("v : %1").arg(value)});
    if (m_changes->isChecked())
        lines.push_back({ArrowKind::VelocityChange, kVelocityColour, speed * scale, tr("Δv : %1").arg(value)});
    drawVectorLegend(painter, lines);
}

void PictureCommands::drawOverlay(QPainter &painter) const
{
    if (!showsVectors())
        return;
    if (const std::optional<MeasureTable> table = m_host.measures())
        drawVectors(painter, m_host.track, *table, kVelocityColour, m_host.player.position());
    drawLegend(painter);
}

QImage PictureCommands::chronophotograph()
{
    QImage image = copyOf(m_host.player.pictureOf(m_host.player.position()));
    if (image.isNull())
        return image;
    QPainter painter(&image);
    drawPositions(painter, m_host.track, kPositionColour);
    m_host.drawCalibration(painter);
    drawOverlay(painter);
    return image;
}

std::optional<QImage> PictureCommands::imageOrMessage()
{
    QImage image = chronophotograph();
    if (image.isNull()) {
        m_host.showMessage(tr("Pas d'image à exporter : ouvrez d'abord une vidéo."));
        return std::nullopt;
    }
    return image;
}

void PictureCommands::exportChronophotograph()
{
    const std::optional<QImage> image = imageOrMessage();
    if (!image)
        return;
    QString path = m_choosePath();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image->save(&buffer, "PNG");
    try {
        replaceWholeFile(pathFromUtf8(path.toStdString()), std::string_view(bytes.constData(), bytes.size()),
                         "d'enregistrer la chronophotographie");
    } catch (const MeasureError &error) {
        m_host.showMessage(QString::fromStdString(error.what()));
    }
}

void PictureCommands::copyImage()
{
    if (const std::optional<QImage> image = imageOrMessage())
        QGuiApplication::clipboard()->setImage(*image);
}

} // namespace zorvane
