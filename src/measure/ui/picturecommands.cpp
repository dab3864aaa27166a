#include "measure/ui/picturecommands.h"

#include "common/utf8path.h"
#include "measure/measureerror.h"
#include "measure/wholefile.h"
#include "player/player.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

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
        return QFileDialog::getSaveFileName(m_host.lent.window, tr("Exporter la chronophotographie"),
                                            tr("Chronophotographie.png"), tr("Image PNG (*.png)"));
    };
    createActions();
}

QAction *PictureCommands::addAction(const QString &text, const char *name)
{
    QAction *action = m_host.lent.menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void PictureCommands::createActions()
{
    m_host.lent.menu->addSeparator();
    m_velocities = addAction(tr("Vecteurs vitesse"), "vecteursVitesse");
    m_changes = addAction(tr("Vecteurs variation de vitesse"), "vecteursVariation");
    for (QAction *toggle : {m_velocities, m_changes}) {
        toggle->setCheckable(true);
        connect(toggle, &QAction::toggled, this, [this] { m_host.lent.refresh(); });
    }
    connect(addAction(tr("Échelle des vecteurs..."), "echelleVecteurs"), &QAction::triggered, this,
            &PictureCommands::chooseVectorScale);
    m_host.lent.menu->addSeparator();
    connect(addAction(tr("Exporter la chronophotographie..."), "exporterChronophotographie"), &QAction::triggered, this,
            &PictureCommands::exportChronophotograph);
    connect(addAction(tr("Copier l'image"), "copierImage"), &QAction::triggered, this, &PictureCommands::copyImage);
}

double PictureCommands::vectorScale(ArrowKind kind) const
{
    const Scales &scales = m_host.calibrated() ? m_perMetrePerSecond : m_perPixelPerSecond;
    return kind == ArrowKind::Velocity ? scales.velocity : scales.change;
}

double &PictureCommands::scaleOf(ArrowKind kind)
{
    Scales &scales = m_host.calibrated() ? m_perMetrePerSecond : m_perPixelPerSecond;
    return kind == ArrowKind::Velocity ? scales.velocity : scales.change;
}

QString PictureCommands::velocityUnit() const
{
    return m_host.calibrated() ? QStringLiteral("m/s") : QStringLiteral("px/s");
}

bool PictureCommands::setVectorScale(ArrowKind kind, const QString &text)
{
    const std::optional<double> scale = parseVectorScale(text.toStdString(), m_host.lent.numberFormat);
    if (!scale) {
        m_host.lent.showMessage(tr("« %1 » n'est pas une échelle : tapez le nombre de pixels de l'image pour 1 %2, un "
                                   "nombre plus grand que zéro (par exemple 50).")
                                    .arg(text, velocityUnit()));
        return false;
    }
    scaleOf(kind) = *scale;
    m_host.lent.refresh();
    return true;
}

void PictureCommands::chooseVectorScale()
{
    QDialog dialog(m_host.lent.window);
    dialog.setWindowTitle(tr("Échelle des vecteurs"));
    auto *form = new QFormLayout(&dialog);
    const auto field = [&](ArrowKind kind, const QString &label) {
        auto *edit = new QLineEdit(
            QString::fromStdString(formatNumber(vectorScale(kind), m_host.lent.numberFormat.decimalSeparator, 6)));
        form->addRow(label.arg(velocityUnit()), edit);
        return edit;
    };
    QLineEdit *velocity = field(ArrowKind::Velocity, tr("Vitesse, pixels pour 1 %1 :"));
    QLineEdit *change = field(ArrowKind::VelocityChange, tr("Variation de vitesse, pixels pour 1 %1 :"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Annuler"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() == QDialog::Accepted && setVectorScale(ArrowKind::Velocity, velocity->text()))
        setVectorScale(ArrowKind::VelocityChange, change->text());
}

bool PictureCommands::showsVectors() const { return m_velocities->isChecked() || m_changes->isChecked(); }

void PictureCommands::drawVectors(QPainter &painter, const PointTrack &track, const MeasureTable &table,
                                  const QColor &colour, std::int32_t currentFrame) const
{
    const PictureAxes axes = m_host.axes();
    if (m_changes->isChecked())
        drawArrows(painter, velocityChangeArrows(track, table, axes, vectorScale(ArrowKind::VelocityChange)), colour,
                   ArrowKind::VelocityChange, currentFrame);
    if (m_velocities->isChecked())
        drawArrows(painter, velocityArrows(track, table, axes, vectorScale(ArrowKind::Velocity)), colour,
                   ArrowKind::Velocity, currentFrame);
}

void PictureCommands::drawLegend(QPainter &painter) const
{
    std::vector<LegendLine> lines;
    const auto addLine = [&](ArrowKind kind, const QString &name) {
        const double scale = vectorScale(kind);
        const double speed = legendSpeed(scale, kLegendMinimumPixels);
        const QString value = QString::fromStdString(formatNumber(speed, m_host.lent.numberFormat.decimalSeparator, 6));
        lines.push_back(
            {kind, kVelocityColour, speed * scale, QStringLiteral("%1 : %2 %3").arg(name, value, velocityUnit())});
    };
    if (m_velocities->isChecked())
        addLine(ArrowKind::Velocity, tr("v"));
    if (m_changes->isChecked())
        addLine(ArrowKind::VelocityChange, tr("Δv"));
    drawVectorLegend(painter, lines);
}

void PictureCommands::drawOverlay(QPainter &painter) const
{
    if (!showsVectors())
        return;
    const int active = m_host.lent.activePoint();
    const PointTrack &track =
        active > 0 && active <= m_host.lent.others.count() ? m_host.lent.others.track(active) : m_host.lent.track;
    if (const std::optional<MeasureTable> table = m_host.measures())
        drawVectors(painter, track, *table, kVelocityColour, m_host.lent.player.position());
    drawLegend(painter);
}

QImage PictureCommands::chronophotograph()
{
    QImage image = copyOf(m_host.lent.player.pictureOf(m_host.lent.player.position()));
    if (image.isNull())
        return image;
    QPainter painter(&image);
    m_host.drawCalibration(painter);
    drawOverlay(painter);
    // Last, so that no arrow hides a position; A alone keeps the colour it always had.
    const int others = m_host.lent.others.count();
    drawPositions(painter, m_host.lent.track, others > 0 ? pointColour(0) : kPositionColour);
    for (int index = 1; index <= others; ++index)
        drawPositions(painter, m_host.lent.others.track(index), pointColour(index));
    return image;
}

std::optional<QImage> PictureCommands::imageOrMessage()
{
    QImage image = chronophotograph();
    if (image.isNull()) {
        m_host.lent.showMessage(tr("Pas d'image à exporter : ouvrez d'abord une vidéo."));
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
        m_host.lent.showMessage(QString::fromStdString(error.what()));
    }
}

void PictureCommands::copyImage()
{
    if (const std::optional<QImage> image = imageOrMessage())
        QGuiApplication::clipboard()->setImage(*image);
}

} // namespace zorvane
