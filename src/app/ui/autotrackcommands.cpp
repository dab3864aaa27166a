#include "app/ui/autotrackcommands.h"

#include "player/ui/videodisplay.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace zorvane {
namespace {

QString startErrorText(RunStartError error)
{
    switch (error) {
    case RunStartError::NoVideo: return QStringLiteral("Ouvrez d'abord une vidéo.");
    case RunStartError::NoPoint: return QStringLiteral("Cliquez d'abord sur l'objet à suivre dans cette image.");
    case RunStartError::PointOutside: return QStringLiteral("Le point de cette image est hors de la vidéo.");
    case RunStartError::Unreadable: break;
    }
    return QStringLiteral("Cette image de la vidéo ne peut pas être lue.");
}

// What the title says when a run stopped by itself; nothing at the end of
// the video, which the frame count already shows.
QString endNote(const RunStep &step)
{
    const QString frame = QString::number(step.frame);
    switch (step.kind) {
    case RunStep::Kind::Lost: return QStringLiteral("Suivi perdu à l'image %1").arg(frame);
    case RunStep::Kind::UserPoint: return QStringLiteral("Suivi arrêté à l'image %1 : point déjà placé").arg(frame);
    case RunStep::Kind::Unreadable: return QStringLiteral("Suivi arrêté à l'image %1 : image illisible").arg(frame);
    case RunStep::Kind::Stored:
    case RunStep::Kind::Hidden:
    case RunStep::Kind::End: break;
    }
    return {};
}

bool isUserInput(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::KeyPress
           || type == QEvent::Drop;
}

} // namespace

AutoTrackCommands::AutoTrackCommands(Form1 &form, Form1::MessageDisplay showMessage)
        : QObject(&form), m_form(form), m_showMessage(std::move(showMessage)),
          m_runs([&form](std::int32_t frame) { return form.player().pictureOf(frame); },
                 [&form](const FramePoints &points) { form.storeTrackedPoints(points); },
                 [&form](const FramePoints &previous) { form.undoTrackedPoints(previous); })
{
    m_start = form.measuresMenu()->addAction(QStringLiteral("Suivi automatique"));
    m_start->setObjectName(QStringLiteral("suiviAuto"));
    m_undo = form.measuresMenu()->addAction(QStringLiteral("Annuler le suivi"));
    m_undo->setObjectName(QStringLiteral("annulerSuivi"));
    connect(m_start, &QAction::triggered, this, &AutoTrackCommands::startRun);
    connect(m_undo, &QAction::triggered, this, &AutoTrackCommands::undoRun);
    // Zero: one frame per turn of the event loop, after the paint of the last.
    m_nextFrame.setInterval(0);
    connect(&m_nextFrame, &QTimer::timeout, this, &AutoTrackCommands::runNextFrame);
    updateActions();
}

AutoTrackCommands::~AutoTrackCommands()
{
    if (m_watching)
        qApp->removeEventFilter(this);
}

void AutoTrackCommands::startRun()
{
    clearNote();
    Player &player = m_form.player();
    const std::optional<RunStartError> error = m_runs.start(m_form.activeTrack(), player.position(), player.length());
    if (error) {
        m_showMessage(startErrorText(*error));
        return;
    }
    m_nextFrame.start();
    updateActions();
    updateWatch();
}

void AutoTrackCommands::undoRun()
{
    clearNote();
    m_nextFrame.stop();
    m_runs.undo(m_form.activeTrack());
    updateActions();
    updateWatch();
}

void AutoTrackCommands::runNextFrame()
{
    const RunStep step = m_runs.advance(m_form.activeTrack());
    if (step.kind != RunStep::Kind::End)
        m_form.player().seek(step.frame);
    m_form.Ref();
    if (!m_runs.isRunning())
        endRun(step);
}

void AutoTrackCommands::endRun(const RunStep &step)
{
    m_nextFrame.stop();
    const QString note = endNote(step);
    if (!note.isEmpty())
        showNote(note);
    updateActions();
    updateWatch();
}

void AutoTrackCommands::stopRun()
{
    m_nextFrame.stop();
    m_runs.stop();
    updateActions();
    updateWatch();
}

void AutoTrackCommands::showNote(const QString &note)
{
    m_noteShown = true;
    m_form.showTitleNote(note);
}

void AutoTrackCommands::clearNote()
{
    if (!m_noteShown)
        return;
    m_noteShown = false;
    m_form.showTitleNote({});
    updateWatch();
}

void AutoTrackCommands::updateActions() { m_undo->setEnabled(m_runs.canUndo() || m_runs.isRunning()); }

// Watches the whole application only while a run, its note or the end of
// the click that stopped it needs it.
void AutoTrackCommands::updateWatch()
{
    const bool watch = m_runs.isRunning() || m_noteShown || m_swallowRelease;
    if (watch == m_watching)
        return;
    m_watching = watch;
    if (watch)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool AutoTrackCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && m_swallowRelease && isOnVideo(watched)) {
        m_swallowRelease = false;
        updateWatch();
        return true;
    }
    if (!isUserInput(event->type()) || !isInWindow(watched))
        return QObject::eventFilter(watched, event);
    clearNote();
    if (m_runs.isRunning())
        return stopsRun(watched, event);
    return QObject::eventFilter(watched, event);
}

// Escape and a click on the video only stop the run; any other click or
// key goes on to do what it does.
bool AutoTrackCommands::stopsRun(QObject *watched, QEvent *event)
{
    stopRun();
    if (event->type() == QEvent::KeyPress)
        return static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
    if (!isOnVideo(watched))
        return false;
    m_swallowRelease = true;
    updateWatch();
    return true;
}

bool AutoTrackCommands::isInWindow(QObject *object) const
{
    const auto *widget = qobject_cast<QWidget *>(object);
    return widget && widget->window() == &m_form;
}

bool AutoTrackCommands::isOnVideo(QObject *object) const
{
    for (auto *widget = qobject_cast<QWidget *>(object); widget && widget != &m_form; widget = widget->parentWidget()) {
        if (qobject_cast<VideoDisplay *>(widget))
            return true;
    }
    return false;
}

} // namespace zorvane
