#include "app/ui/autotrackcommands.h"

#include "app/videoarea.h"
#include "player/ui/videodisplay.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

namespace zorvane {
namespace {

// Often enough to watch the object being followed; each picture costs the
// run a colour conversion.
constexpr int kPictureEveryMs = 100;
// What the run finds is taken in batches: each costs a journal record
// flushed to the disk and a repaint of the video.
constexpr int kTakeEveryMs = 40;

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
// the video, which the frame count already shows, nor when the user
// stopped it.
QString endNote(const RunStep &step)
{
    const QString frame = QString::number(step.frame);
    switch (step.kind) {
    case RunStep::Kind::Lost: return QStringLiteral("Suivi perdu à l'image %1").arg(frame);
    case RunStep::Kind::UserPoint: return QStringLiteral("Suivi arrêté à l'image %1 : point déjà placé").arg(frame);
    case RunStep::Kind::Unreadable: return QStringLiteral("Suivi arrêté à l'image %1 : image illisible").arg(frame);
    case RunStep::Kind::Stored:
    case RunStep::Kind::Hidden:
    case RunStep::Kind::End:
    case RunStep::Kind::Stopped: break;
    }
    return {};
}

bool isUserInput(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::KeyPress
           || type == QEvent::Drop;
}

// Shares the pixels, which the image frees with itself.
QImage toImage(RgbImage &&rgb)
{
    const qsizetype rowBytes = static_cast<qsizetype>(rgb.width) * 3;
    if (rgb.width <= 0 || rgb.height <= 0
        || rgb.pixels.size() < static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(rgb.height))
        return {};
    auto *pixels = new std::vector<std::uint8_t>(std::move(rgb.pixels));
    return QImage(
        pixels->data(), rgb.width, rgb.height, rowBytes, QImage::Format_RGB888,
        [](void *owned) { delete static_cast<std::vector<std::uint8_t> *>(owned); }, pixels);
}

} // namespace

AutoTrackCommands::AutoTrackCommands(Form1 &form, Form1::MessageDisplay showMessage)
        : QObject(&form), m_form(form), m_showMessage(std::move(showMessage)), m_opener(&openSinglePassFrameSource),
          m_runs([this](const FramePoints &points) { m_form.storeTrackedPoints(points, m_runPoint); },
                 [this](const FramePoints &previous) { m_form.undoTrackedPoints(previous, m_runPoint); })
{
    m_start = form.measuresMenu()->addAction(QStringLiteral("Suivi automatique"));
    m_start->setObjectName(QStringLiteral("suiviAuto"));
    m_undo = form.measuresMenu()->addAction(QStringLiteral("Annuler le suivi"));
    m_undo->setObjectName(QStringLiteral("annulerSuivi"));
    connect(m_start, &QAction::triggered, this, &AutoTrackCommands::startRun);
    connect(m_undo, &QAction::triggered, this, &AutoTrackCommands::undoRun);
    m_takeTimer.setSingleShot(true);
    m_takeTimer.setInterval(kTakeEveryMs);
    connect(&m_takeTimer, &QTimer::timeout, this, &AutoTrackCommands::takeFound);
    updateActions();
}

AutoTrackCommands::~AutoTrackCommands()
{
    // The run's thread goes first: it posts to this object.
    m_tracking.reset();
    if (m_watching)
        qApp->removeEventFilter(this);
}

void AutoTrackCommands::startRun()
{
    if (isRunning())
        stopRun();
    clearNote();
    Player &player = m_form.player();
    player.pause();
    // The runs' placed points and their undoing belong to one point.
    if (m_form.activePoint() != m_runPoint || !hasRunPoint())
        m_runs.forget();
    m_runPoint = m_form.activePoint();
    const std::optional<RunStartError> error = m_runs.start(runTrack(), player.position(), player.length());
    if (error) {
        m_showMessage(startErrorText(*error));
        return;
    }
    // A picture asked of the player takes its reader back from the fill of
    // its cache, which then waits for the player's next move instead of
    // decoding beside the run; the current frame is in that cache.
    player.pictureOf(player.position());
    const RunPlan &plan = m_runs.plan();
    m_runVideo = player.fileName();
    m_runLength = player.length();
    m_tracking = std::make_unique<BackgroundTracking>(
        m_opener, m_runVideo, TrackingStart{plan.from, plan.last, double(plan.point.X), double(plan.point.Y)},
        [this] { QMetaObject::invokeMethod(this, &AutoTrackCommands::takeSoon, Qt::QueuedConnection); });
    askPicture();
    updateActions();
    updateWatch();
}

void AutoTrackCommands::undoRun()
{
    if (isRunning())
        stopRun();
    clearNote();
    // On the point the run followed, whichever is active now.
    if (hasRunPoint())
        m_runs.undo(runTrack());
    else
        m_runs.forget();
    updateActions();
    updateWatch();
}

void AutoTrackCommands::takeSoon()
{
    if (!m_takeTimer.isActive())
        m_takeTimer.start();
}

// Takes what the run found since the last time, writes it, and shows the
// newest picture among it.
void AutoTrackCommands::takeFound()
{
    if (!m_tracking)
        return;
    // Another video was opened, or the point removed, during the run: nothing of it applies.
    if (!isSameVideo() || !hasRunPoint())
        return dropRun();
    BackgroundTracking::Mail mail = m_tracking->take();
    const RunStep step = m_runs.apply(runTrack(), mail.frames);
    for (auto frame = mail.frames.rbegin(); frame != mail.frames.rend(); ++frame) {
        if (frame->picture && frame->frame <= step.frame && m_runs.isRunning()) {
            showPicture(*frame);
            break;
        }
    }
    if (!m_runs.isRunning())
        return endRun(step);
    if (mail.end && mail.end->kind == BackgroundEnd::Kind::CannotStart)
        return failStart(RunStartError::Unreadable);
    if (mail.end && mail.end->kind == BackgroundEnd::Kind::PointOutside)
        return failStart(RunStartError::PointOutside);
    if (mail.end)
        return endRun(m_runs.end(runTrack(), mail.end->tracking));
    if (m_sincePictureAsked.elapsed() >= kPictureEveryMs)
        askPicture();
}

void AutoTrackCommands::showPicture(TrackedFrame &frame)
{
    m_form.showFramePicture(frame.frame, toImage(std::move(*frame.picture)));
    keepInView(runTrack().find(frame.frame).value_or(TrackPoint{}));
    askPicture();
}

// The followed object stays in sight when the picture is larger than the
// video area.
void AutoTrackCommands::keepInView(TrackPoint point)
{
    auto *display = m_form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
    if (!display || point.isEmpty())
        return;
    const ViewTransform &view = display->view();
    // The middle of the point's pixel.
    display->scrollTo(
        followingScroll(point.X + 0.5, view.scale(), view.scrollX(), view.viewWidth(), view.maxScrollX()),
        followingScroll(point.Y + 0.5, view.scale(), view.scrollY(), view.viewHeight(), view.maxScrollY()));
}

void AutoTrackCommands::askPicture()
{
    m_sincePictureAsked.start();
    m_tracking->requestPicture();
}

bool AutoTrackCommands::isSameVideo()
{
    const Player &player = m_form.player();
    return player.fileName() == m_runVideo && player.length() == m_runLength;
}

// The player goes to where the run ended, so that a click there picks the
// object up for the next run.
void AutoTrackCommands::endRun(const RunStep &step)
{
    m_tracking.reset();
    m_form.showPlayerFrame();
    Player &player = m_form.player();
    if (!player.seek(step.frame))
        player.seek(player.position());
    m_form.Ref();
    const QString note = endNote(step);
    if (!note.isEmpty())
        showNote(note);
    updateActions();
    updateWatch();
    emit runEnded();
}

void AutoTrackCommands::failStart(RunStartError error)
{
    dropRun();
    m_showMessage(startErrorText(error));
}

void AutoTrackCommands::dropRun()
{
    m_tracking.reset();
    m_runs.stop();
    m_form.showPlayerFrame();
    updateActions();
    updateWatch();
    emit runEnded();
}

void AutoTrackCommands::stopRun()
{
    m_tracking->stop();
    if (!hasRunPoint())
        return dropRun();
    endRun(m_runs.end(runTrack(), {TrackingEnd::Kind::Stopped, 0}));
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

bool AutoTrackCommands::hasRunPoint() const { return m_runPoint <= m_form.otherPoints().count(); }

const PointTrack &AutoTrackCommands::runTrack() const { return m_form.trackOf(m_runPoint); }

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
// key goes on to do what it does, after the player has moved to where the
// run stopped.
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

// The menu bar is left out: its menus open, and their commands act, while
// a run goes on.
bool AutoTrackCommands::isInWindow(QObject *object) const
{
    const auto *widget = qobject_cast<QWidget *>(object);
    return widget && widget->window() == &m_form && !qobject_cast<const QMenuBar *>(widget);
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
