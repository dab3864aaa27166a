#include "app/ui/form1.h"

#include "app/frameinterval.h"
#include "app/ui/autotrackcommands.h"
#include "app/ui/commondialog.h"
#include "app/ui/videokeys.h"
#include "app/ui/windowplaces.h"
#include "app/videoarea.h"
#include "common/log.h"
#include "common/rounding.h"
#include "common/utf8path.h"
#include "dialogs/ui/frmabout.h"
#include "dialogs/ui/helpwindow.h"
#include "journal/trackjournal.h"
#include "journal/ui/journaltexts.h"
#include "measure/ui/calibrationdialog.h"
#include "measure/ui/measurecontroller.h"
#include "measure/ui/vectoroverlay.h"
#include "player/ui/transportbar.h"
#include "probe/probeerror.h"
#include "probe/videoinfoprobe.h"
#include "progress/blendcolor.h"
#include "progress/progresspasses.h"
#include "progress/ui/progressbar.h"
#include "track/companionfile.h"
#include "track/sequencefile.h"

#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace zorvane {
namespace {

constexpr int kClientWidth = 349;
constexpr int kClientHeight = 311;

const QString kVideoFilter =
    QStringLiteral("Video (*.avi)|*.avi|"
                   "Toutes les vidéos (*.avi *.mp4 *.mkv *.mov *.mpg *.mpeg *.wmv *.asf *.webm *.ts *.m4v)"
                   "|*.avi;*.mp4;*.mkv;*.mov;*.mpg;*.mpeg;*.wmv;*.asf;*.webm;*.ts;*.m4v");
const QString kSequenceFilter = QStringLiteral("Sequence (*.txt)|*.txt");

constexpr int kMarkerArm = 5;
// How long the title says why a click recorded nothing.
constexpr int kClickNoteMs = 2500;
const QString kClickOffPictureNote = QStringLiteral("Zorvane - clic hors de l'image : aucun point enregistré");

// Every library takes file names as UTF-8, whatever the locale.
std::string utf8(const QString &text) { return text.toStdString(); }

NumberFormat userNumberFormat()
{
    const QLocale locale;
    NumberFormat format;
    format.decimalSeparator = locale.decimalPoint().toStdString();
    return format;
}

// Failures the user must hear of: each would otherwise look like a success
// or cost the machine's memory.
bool isReported(SequenceErrorKind kind)
{
    return kind == SequenceErrorKind::StepNotNumber || kind == SequenceErrorKind::WriteFailed
           || kind == SequenceErrorKind::TooManyFrames;
}

// The controls were designed for a small 8-point face; ours is wider, so a
// caption that would not fit its box gets a smaller size instead of clipping.
void fitCaption(QLabel *label)
{
    QFont font = label->font();
    while (font.pixelSize() > 7 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width()) {
        font.setPixelSize(font.pixelSize() - 1);
        label->setFont(font);
    }
}

// "Oui" and "Non" whatever the toolkit's language; closing the box is "Non".
bool askYesNo(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Zorvane"), text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

Form1::Form1(Player::Opener opener, QWidget *parent) : QMainWindow(parent), m_player(std::move(opener))
{
    m_showMessage = [this](const QString &text) { QMessageBox::warning(this, QStringLiteral("Zorvane"), text); };
    m_askRestore = [this](const QString &text) { return askYesNo(this, text); };
    m_trackJournal = std::make_unique<TrackJournal>(
        [this](std::int32_t unsavedPoints) { return m_askRestore(restoreQuestionText(unsavedPoints)); },
        [this](const JournalFailure &failure) { m_showMessage(journalWarningText(failure)); });
    setWindowTitle(QStringLiteral("Zorvane"));
    m_client = new QWidget(this);
    QFont small = m_client->font();
    small.setPixelSize(11);
    m_client->setFont(small);
    setCentralWidget(m_client);
    m_mmControl1 = new TransportBar(m_player, m_client);
    createControls();
    createMenus();
    m_measures = new MeasureController({m_player, m_pointTrack, m_otherPoints, [this] { return m_activePoint; },
                                        m_mesures, this, userNumberFormat(),
                                        [this](VideoDisplay::Overlay overlay) { addOverlay(std::move(overlay)); },
                                        [this](ClickInterceptor taker) { setClickInterceptor(std::move(taker)); },
                                        [this] { Ref(); }, [this](const QString &text) { m_showMessage(text); }},
                                       this);
    connect(this, &Form1::trackChanged, m_measures, &MeasureController::trackChanged);
    createPointMenu();
    if (auto *calibration = findChild<CalibrationDialog *>())
        calibration->keepClearOf([this] { return pictureOnScreen(); });
    new VideoKeys(*this, *m_picture1,
                  {[this] { return m_player.isOpen(); },
                   [this] {
                       stepForward();
                       Ref();
                   },
                   [this] {
                       stepBack();
                       Ref();
                   }},
                  this);
    new AutoTrackCommands(*this, [this](const QString &text) { m_showMessage(text); });
    m_client->installEventFilter(this);
    setAcceptDrops(true);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    Form_Load();
}

Form1::~Form1()
{
    // Saves the places of the windows still open, while they all exist.
    delete m_windowPlaces;
    // The buttons use the player, which goes with this window's members.
    delete m_mmControl1;
}

void Form1::setJournalFolder(const std::filesystem::path &folder) { m_trackJournal->keepIn(folder); }

void Form1::keepWindowPlacesIn(const QString &settingsFile, QSettings::Format format)
{
    delete m_windowPlaces;
    m_windowPlaces = new WindowPlaces(settingsFile, format, this);
    m_windowPlaces->watch(this, QStringLiteral("main"));
    if (auto *table = findChild<QWidget *>(QStringLiteral("measureWindow")))
        m_windowPlaces->watch(table, QStringLiteral("table"));
}

void Form1::setCommonDialog(CommonDialog *dialog)
{
    dialog->setParent(this);
    dialog->setObjectName(QStringLiteral("CommonDialog1"));
    delete m_commonDialog1;
    m_commonDialog1 = dialog;
}

void Form1::createControls()
{
    m_mmControl1->setObjectName(QStringLiteral("MMControl1"));
    m_mmControl1->setGeometry(8, 8, 184, 22);

    m_label3 = new QLabel(QStringLiteral("Pas (ms):"), m_client);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setGeometry(248, 8, 49, 17);
    fitCaption(m_label3);

    m_text1 = new QLineEdit(QStringLiteral("33"), m_client);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(296, 8, 49, 19);
    connect(m_text1, &QLineEdit::textEdited, this, [this] { m_stepTyped = true; });

    m_picProgress = new ProgressBar(m_client);
    m_picProgress->setGeometry(8, 40, 337, 9);

    m_picture1 = new VideoDisplay(m_client);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(8, 56, 337, 248);
    connect(m_picture1, &VideoDisplay::mouseReleased, this, &Form1::Picture2_MouseUp);
    m_picture1->setFocusPolicy(Qt::ClickFocus);
    m_picture1->setOverlay([this](QPainter &painter) { drawOverlays(painter); });

    m_picture2 = new VideoDisplay(m_client);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFrameStyle(QFrame::NoFrame);
    m_picture2->setGeometry(352, 56, 337, 249);
    m_picture2->hide();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(200);
    connect(m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    m_timer1->start();

    m_commonDialog1 = new CommonDialog(this);
    m_commonDialog1->setObjectName(QStringLiteral("CommonDialog1"));

    connect(m_mmControl1, &TransportBar::framePlayed, this, &Form1::Ref);
    connect(m_mmControl1, &TransportBar::transportMoved, this, &Form1::Ref);
}

void Form1::createMenus()
{
    QMenuBar *bar = menuBar();
    m_f = bar->addMenu(QStringLiteral("Fichier"));
    m_f->setObjectName(QStringLiteral("f"));
    m_ov = m_f->addAction(QStringLiteral("Ouvir Video"));
    m_ov->setObjectName(QStringLiteral("ov"));
    m_os = m_f->addAction(QStringLiteral("Ouvrir sequence"));
    m_os->setObjectName(QStringLiteral("os"));
    m_es = m_f->addAction(QStringLiteral("Enregistrer Sequence"));
    m_es->setObjectName(QStringLiteral("es"));
    m_quit = m_f->addAction(QStringLiteral("Quitter"));
    m_quit->setObjectName(QStringLiteral("quit"));
    m_aide = bar->addAction(QStringLiteral("Aide"));
    m_aide->setObjectName(QStringLiteral("Aide"));
    m_apropo = bar->addAction(QStringLiteral("A Propos"));
    m_apropo->setObjectName(QStringLiteral("apropo"));
    // Commands beyond the first three menus live here, so those stay as users know them.
    m_mesures = bar->addMenu(QStringLiteral("Mesures"));
    m_mesures->setObjectName(QStringLiteral("mesures"));

    connect(m_ov, &QAction::triggered, this, &Form1::ov_Click);
    connect(m_os, &QAction::triggered, this, &Form1::os_Click);
    connect(m_es, &QAction::triggered, this, &Form1::es_Click);
    connect(m_quit, &QAction::triggered, this, &QWidget::close);
    connect(m_aide, &QAction::triggered, this, &Form1::Aide_Click);
    connect(m_apropo, &QAction::triggered, this, &Form1::apropo_Click);
}

// Our player opens every kind of video it reads and has no options to
// clear, so configuring it comes down to its display window.
void Form1::Form_Load()
{
    setProgressColors();
    m_mmControl1->setDisplayWindow(m_picture1);
    setProgressColors();
}

void Form1::setProgressColors()
{
    m_progressColorA = kProgressColorA;
    m_progressColorB = kProgressColorB;
    m_picProgress->setColors(m_progressColorA, m_progressColorB);
}

void Form1::Form_Resize()
{
    const VideoAreaSize size = videoAreaSize(m_client->width(), m_client->height(), m_picture1->y());
    if (size.width)
        m_picture1->resize(*size.width, m_picture1->height());
    if (size.height)
        m_picture1->resize(m_picture1->width(), *size.height);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

// The cross belongs to the painting of the frame, so a repaint or a new
// frame can never leave it where it no longer applies.
void Form1::Ref() { m_picture1->update(); }

void Form1::addOverlay(VideoDisplay::Overlay overlay) { m_overlays.push_back(std::move(overlay)); }

// The current frame's cross goes last, so nothing hides it.
void Form1::drawOverlays(QPainter &painter) const
{
    for (const VideoDisplay::Overlay &overlay : m_overlays) {
        painter.save();
        overlay(painter);
        painter.restore();
    }
    drawMarker(painter);
}

void Form1::drawMarker(QPainter &painter) const
{
    const int frame = shownFrame();
    const auto pointOn = [&](int index) {
        const PointTrack &track = index == 0 ? m_pointTrack : m_otherPoints.track(index);
        return track.find(frame).value_or(TrackPoint{});
    };
    for (int index = 0; index <= m_otherPoints.count(); ++index) {
        if (index != m_activePoint)
            drawCross(painter, pointOn(index), pointColour(index));
    }
    drawCross(painter, pointOn(m_activePoint), QColor(255, 0, 0));
}

void Form1::drawCross(QPainter &painter, TrackPoint point, const QColor &colour) const
{
    if (point.isEmpty())
        return;
    painter.save();
    // The cross keeps its screen size at every zoom: it is drawn in screen
    // pixels around the one showing the middle of the point's pixel.
    const QPointF middle = painter.transform().map(QPointF(point.X + 0.5, point.Y + 0.5));
    const double x = std::floor(middle.x());
    const double y = std::floor(middle.y());
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // A one-pixel white rim round both arms keeps the colour seen on dark
    // or like-coloured footage; the colour itself is drawn exactly as
    // without it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRect(QRectF(x - kMarkerArm - 1, y - 1, 2 * kMarkerArm + 2, 3));
    painter.drawRect(QRectF(x - 1, y - kMarkerArm - 1, 3, 2 * kMarkerArm + 2));
    painter.setPen(QPen(colour, 0));
    // Lines stop one pixel short of their end point, so the cross is 10
    // pixels wide and high, centred on the point.
    painter.drawLine(QPointF(x - kMarkerArm, y), QPointF(x + kMarkerArm - 1, y));
    painter.drawLine(QPointF(x, y - kMarkerArm), QPointF(x, y + kMarkerArm - 1));
    painter.restore();
}

// Exactly one button acts; any click then redraws the marker of the frame
// now current.
void Form1::Picture2_MouseUp(MouseButton button, int, float x, float y)
{
    switch (button) {
    case MouseButton::Left:
        if (!isOnPicture(x, y))
            noteClickOffPicture();
        else if (!m_clickInterceptor || !m_clickInterceptor(x, y))
            recordPoint(x, y);
        break;
    case MouseButton::Middle: stepBack(); break;
    case MouseButton::Right: stepForward(); break;
    case MouseButton::Other: break;
    }
    Ref();
}

// A move the player cannot make (no video, either end) changes nothing.
void Form1::stepForward() { m_player.step(); }

void Form1::stepBack() { m_player.back(); }

void Form1::recordPoint(float x, float y)
{
    try {
        m_trackJournal->click(trackForChange(m_activePoint), m_player.position(), x, y, m_activePoint);
        emit trackChanged();
    } catch (const TrackError &error) {
        // No video yet, or a position the track does not hold: nothing to record.
        logDebug("app", std::string("click not recorded: ") + error.what());
    }
}

// Without a picture there is nothing to be beside, and a click goes on as
// it always did.
bool Form1::isOnPicture(float x, float y) const
{
    const QImage &frame = m_picture1->frame();
    if (frame.isNull())
        return true;
    const std::optional<std::int32_t> column = roundHalfEvenToInt32(x);
    const std::optional<std::int32_t> row = roundHalfEvenToInt32(y);
    return column && row && frame.rect().contains(*column, *row);
}

void Form1::noteClickOffPicture()
{
    showTitleNote(kClickOffPictureNote);
    QTimer::singleShot(kClickNoteMs, this, [this] {
        if (m_titleNote == kClickOffPictureNote)
            showTitleNote({});
    });
}

// The part of the video area showing the picture, on the screen, with the
// scroll bars and border on a side the picture fills.
QRect Form1::pictureOnScreen() const
{
    const ViewTransform &view = m_picture1->view();
    const QRect area = m_picture1->rect();
    QRect shown = m_picture1->viewRect();
    if (view.contentWidth() < shown.width())
        shown.setWidth(view.contentWidth());
    else
        shown.setRight(area.right());
    if (view.contentHeight() < shown.height())
        shown.setHeight(view.contentHeight());
    else
        shown.setBottom(area.bottom());
    if (shown.isEmpty())
        shown = area;
    return QRect(m_picture1->mapToGlobal(shown.topLeft()), shown.size());
}

bool Form1::storeTrackedPoints(const std::vector<FramePoint> &points, int pointIndex)
{
    return showTrackChange([&] { m_trackJournal->storeTracked(trackForChange(pointIndex), points, pointIndex); });
}

bool Form1::undoTrackedPoints(const std::vector<FramePoint> &previous, int pointIndex)
{
    return showTrackChange([&] { m_trackJournal->storeUndone(trackForChange(pointIndex), previous, pointIndex); });
}

bool Form1::showTrackChange(const std::function<void()> &change)
{
    try {
        change();
    } catch (const TrackError &error) {
        logDebug("app", std::string("track not changed: ") + error.what());
        return false;
    }
    Ref();
    emit trackChanged();
    return true;
}

void Form1::showTitleNote(const QString &note)
{
    m_titleNote = note;
    Timer1_Timer();
}

void Form1::showFramePicture(int frame, const QImage &picture)
{
    m_pictureFrame = frame;
    m_picture1->setFrame(picture);
    Timer1_Timer();
}

void Form1::showPlayerFrame()
{
    m_pictureFrame.reset();
    Ref();
    Timer1_Timer();
}

int Form1::shownFrame() const { return m_pictureFrame.value_or(m_player.position()); }

void Form1::Timer1_Timer()
{
    const int position = shownFrame();
    const int length = m_player.length();
    QString title = QString::fromStdString(progressTitle(position, length));
    // Said only once there are several points, so that one point looks as before.
    if (m_otherPoints.count() > 0)
        title += tr(" - point %1").arg(QChar(pointLetter(m_activePoint)));
    setWindowTitle(m_titleNote.isEmpty() ? title : m_titleNote);
    m_picProgress->refresh(position, length);
}

// Every step goes on whatever the previous one did; a video the player
// cannot open leaves it closed and the track sized to length 0.
void Form1::ov_Click()
{
    m_commonDialog1->setFilter(kVideoFilter);
    if (!m_commonDialog1->showOpen(this))
        return;
    openVideo(m_commonDialog1->fileName());
}

// The restore question comes before playback, so that a restored track is
// seen paused, where its work stopped, instead of playing behind the box.
void Form1::openVideo(const QString &fileName)
{
    const std::string path = utf8(fileName);
    m_player.close();
    m_player.open(path);
    try {
        m_videoInfo = ProbeVideoInfo(path, [this] { return displayedSize(); });
    } catch (const ProbeError &error) {
        // The previous video's information stays current.
        logDebug("app", std::string("probe: ") + error.what());
    }
    try {
        m_pointTrack.resize(m_player.length());
        m_otherPoints.resizeAll(m_player.length());
    } catch (const TrackError &error) {
        // A length the track refuses leaves it as it was.
        logDebug("app", std::string("track not resized: ") + error.what());
    }
    updateStepField();
    const bool restored = m_trackJournal->videoOpened(pathFromUtf8(path), m_pointTrack, &m_otherPoints);
    if (m_activePoint > m_otherPoints.count())
        m_activePoint = 0;
    updatePointMenu();
    if (restored)
        showLastRestoredPoint();
    else
        m_player.play();
    emit trackChanged();
}

void Form1::showLastRestoredPoint()
{
    for (int frame = m_player.length() - 1; frame > 0; --frame) {
        const std::optional<TrackPoint> point = m_pointTrack.find(frame);
        if (point && !point->isEmpty()) {
            m_player.seek(frame);
            break;
        }
    }
    Ref();
}

// The step field tells what the video's own frame interval is, and holds
// it while the user has typed no step of their own.
void Form1::updateStepField()
{
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(m_player.length()));
    for (int frame = 0; frame < m_player.length(); ++frame)
        times.push_back(m_player.frameTimeMs(frame));
    const std::string separator = QLocale().decimalPoint().toStdString();
    m_text1->setToolTip(QString::fromStdString(frameIntervalTip(times, separator)));
    if (m_stepTyped)
        return;
    if (const std::optional<double> interval = constantFrameIntervalMs(times))
        m_text1->setText(QString::fromStdString(stepFieldText(*interval, separator)));
}

std::optional<DisplayedSize> Form1::displayedSize() const
{
    const std::optional<PictureSize> size = m_player.pictureSize();
    if (!size)
        return std::nullopt;
    return DisplayedSize{size->width, size->height};
}

void Form1::es_Click()
{
    if (!hasSequenceToSave(m_pointTrack))
        return;
    m_commonDialog1->setFilter(kSequenceFilter);
    m_commonDialog1->setFileName(
        QString::fromUtf8(kProposedSequenceName.data(), static_cast<qsizetype>(kProposedSequenceName.size())));
    if (!m_commonDialog1->showSave(this))
        return;
    try {
        const std::filesystem::path sequence = pathFromUtf8(utf8(m_commonDialog1->fileName()));
        if (!saveCompanionOf(sequence))
            return;
        saveSequence(sequence, m_pointTrack, m_text1->text().toStdString(), userNumberFormat());
        m_trackJournal->sequenceSaved();
        m_measures->sequenceSaved(sequence);
    } catch (const SequenceError &error) {
        if (!isReported(error.kind()))
            logDebug("app", std::string("sequence: ") + error.what());
        if (isReported(error.kind()))
            m_showMessage(QString::fromStdString(error.what()));
    }
}

// The current frame's cross shows at once, so that the load is seen to work.
void Form1::os_Click()
{
    m_commonDialog1->setFilter(kSequenceFilter);
    if (!m_commonDialog1->showOpen(this))
        return;
    loadSequenceFile(m_commonDialog1->fileName());
}

void Form1::loadSequenceFile(const QString &fileName)
{
    const std::filesystem::path sequence = pathFromUtf8(utf8(fileName));
    std::optional<PointSet> others;
    if (!loadCompanionOf(sequence, others))
        return;
    try {
        const SequenceLoad load = loadSequence(sequence, m_pointTrack);
        if (m_pointTrack.hasStorage()) {
            if (others) {
                m_otherPoints = std::move(*others);
            } else {
                // A sequence of A alone: the other points are emptied for
                // the journal, which has no record of their removal, then
                // removed.
                for (int index = 1; index <= m_otherPoints.count(); ++index)
                    m_otherPoints.track(index) = PointTrack{};
            }
            m_otherPoints.resizeAll(m_pointTrack.upperBound());
        }
        m_trackJournal->sequenceLoaded(m_pointTrack, load.framesRead, &m_otherPoints);
        if (m_pointTrack.hasStorage() && !others)
            m_otherPoints.clear();
        if (m_activePoint > m_otherPoints.count())
            m_activePoint = 0;
        updatePointMenu();
        Timer1_Timer();
        m_measures->sequenceLoaded(sequence);
        Ref();
    } catch (const SequenceError &error) {
        if (!isReported(error.kind()))
            logDebug("app", std::string("sequence: ") + error.what());
        if (isReported(error.kind()))
            m_showMessage(QString::fromStdString(error.what()));
        else if (error.kind() == SequenceErrorKind::CannotOpen && !m_pointTrack.hasStorage())
            m_pointTrack.resize(0);
    }
    emit trackChanged();
}

namespace {

// The first local file among the dropped ones.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// A sequence file is known by its extension, as in the dialog's filter;
// anything else is tried as a video.
void Form1::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
        loadSequenceFile(path);
    else
        openVideo(path);
}

// Read whole before the sequence, so that a damaged one changes nothing.
bool Form1::loadCompanionOf(const std::filesystem::path &sequence, std::optional<PointSet> &others)
{
    const std::filesystem::path companion = companionPath(sequence);
    std::error_code ignored;
    if (!std::filesystem::exists(companion, ignored))
        return true;
    try {
        others = std::move(loadCompanion(companion).others);
        return true;
    } catch (const CompanionError &error) {
        const QString name = QString::fromStdString(companion.string());
        if (error.kind() == CompanionErrorKind::CannotOpen)
            m_showMessage(
                tr("Impossible de lire le fichier des autres points « %1 » : rien n'a été chargé.").arg(name));
        else
            m_showMessage(tr("Le fichier des autres points « %1 » est endommagé (ligne %2) : rien n'a été chargé.")
                              .arg(name)
                              .arg(error.line()));
        return false;
    }
}

// Before the sequence, so that a sequence is never saved without its
// points; a companion left from an earlier save with other points goes.
bool Form1::saveCompanionOf(const std::filesystem::path &sequence)
{
    const std::filesystem::path companion = companionPath(sequence);
    const std::optional<double> step = parseStep(m_text1->text().toStdString(), userNumberFormat());
    if (!step)
        return true; // the sequence's save says what is wrong with the step
    if (!m_otherPoints.holdsAnyPoint()) {
        std::error_code ignored;
        std::filesystem::remove(companion, ignored);
        return true;
    }
    try {
        saveCompanion(companion, m_pointTrack, m_otherPoints, *step, userNumberFormat());
        return true;
    } catch (const CompanionError &) {
        m_showMessage(tr("Impossible d'enregistrer les autres points dans « %1 » : la séquence n'a pas été "
                         "enregistrée.")
                          .arg(QString::fromStdString(companion.string())));
        return false;
    }
}

const PointTrack &Form1::activeTrack() const { return trackOf(m_activePoint); }

const PointTrack &Form1::trackOf(int index) const { return index == 0 ? m_pointTrack : m_otherPoints.track(index); }

PointTrack &Form1::trackForChange(int index) { return index == 0 ? m_pointTrack : m_otherPoints.track(index); }

bool Form1::chooseActivePoint(int index)
{
    if (index < 0 || index > m_otherPoints.count())
        return false;
    m_activePoint = index;
    updatePointMenu();
    Timer1_Timer();
    Ref();
    emit trackChanged();
    return true;
}

bool Form1::addPoint()
{
    if (!m_otherPoints.canAdd() || !m_pointTrack.hasStorage())
        return false;
    m_otherPoints.resizeAll(m_pointTrack.upperBound());
    return chooseActivePoint(m_otherPoints.add(m_pointTrack.upperBound()));
}

void Form1::createPointMenu()
{
    m_pointMenu = m_mesures->addMenu(tr("Point actif"));
    m_pointMenu->setObjectName(QStringLiteral("pointActif"));
    updatePointMenu();
}

// One entry per point, on keys 1 to 8, then the one that adds a point.
void Form1::updatePointMenu()
{
    // Later, as this may run from one of these actions.
    for (QAction *action : m_pointMenu->actions()) {
        removeAction(action);
        m_pointMenu->removeAction(action);
        action->deleteLater();
    }
    for (QActionGroup *old : m_pointMenu->findChildren<QActionGroup *>(Qt::FindDirectChildrenOnly))
        old->deleteLater();
    auto *group = new QActionGroup(m_pointMenu);
    for (int index = 0; index <= m_otherPoints.count(); ++index) {
        auto *action = new QAction(QString(QChar(pointLetter(index))), m_pointMenu);
        m_pointMenu->addAction(action);
        action->setCheckable(true);
        action->setChecked(index == m_activePoint);
        action->setShortcut(QKeySequence(Qt::Key_1 + index));
        action->setActionGroup(group);
        connect(action, &QAction::triggered, this, [this, index] { chooseActivePoint(index); });
        addAction(action);
    }
    m_pointMenu->addSeparator();
    auto *add = new QAction(tr("Ajouter un point"), m_pointMenu);
    m_pointMenu->addAction(add);
    add->setObjectName(QStringLiteral("ajouterPoint"));
    add->setEnabled(m_otherPoints.canAdd());
    connect(add, &QAction::triggered, this, [this] { addPoint(); });
}

void Form1::Aide_Click()
{
    if (!m_helpWindow)
        m_helpWindow = std::make_unique<HelpWindow>();
    m_helpWindow->showModal();
}

void Form1::apropo_Click() { frmAbout::showModal(); }

} // namespace zorvane
