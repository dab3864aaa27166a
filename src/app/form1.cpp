#include "form1.h"

#include "commondialog.h"
#include "frmabout.h"
#include "helpwindow.h"
#include "mediaplayercontrol.h"
#include "probeerror.h"
#include "progressbar.h"
#include "progresspasses.h"
#include "sequencefile.h"
#include "videoarea.h"
#include "videodisplay.h"
#include "videoinfoprobe.h"

#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

namespace zorvane {
namespace {

constexpr int clientWidth = 349;
constexpr int clientHeight = 311;

const QString videoFilter = QStringLiteral(
    "Video (*.avi)|*.avi|"
    "Toutes les vidéos (*.avi *.mp4 *.mkv *.mov *.mpg *.mpeg *.wmv *.asf *.webm *.ts *.m4v)"
    "|*.avi;*.mp4;*.mkv;*.mov;*.mpg;*.mpeg;*.wmv;*.asf;*.webm;*.ts;*.m4v");
const QString sequenceFilter = QStringLiteral("Sequence (*.txt)|*.txt");

constexpr int markerArm = 5;

std::filesystem::path localPath(const QString &name)
{
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

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

constexpr std::uint32_t colour(int red, int green, int blue)
{
    return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8
           | static_cast<std::uint32_t>(blue) << 16;
}

} // namespace

Form1::Form1(MediaPlayer::Opener opener, QWidget *parent)
    : QMainWindow(parent)
{
    m_showMessage = [this](const QString &text) {
        QMessageBox::warning(this, QStringLiteral("Zorvane"), text);
    };
    setWindowTitle(QStringLiteral("Zorvane"));
    m_client = new QWidget(this);
    QFont small = m_client->font();
    small.setPixelSize(11);
    m_client->setFont(small);
    setCentralWidget(m_client);
    m_mmControl1 = new MediaPlayerControl(std::move(opener), m_client);
    createControls();
    createMenus();
    m_client->installEventFilter(this);
    resize(clientWidth, clientHeight + menuBar()->sizeHint().height());
    Form_Load();
}

Form1::~Form1() = default;

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

    m_picProgress = new ProgressBar(m_client);
    m_picProgress->setObjectName(QStringLiteral("PicProgress"));
    m_picProgress->setGeometry(8, 40, 337, 9);
    m_picProgress->setCursor(Qt::SizeHorCursor);

    m_picture1 = new VideoDisplay(m_client);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(8, 56, 337, 248);
    connect(m_picture1, &VideoDisplay::mouseReleased, this, &Form1::Picture2_MouseUp);
    m_picture1->setFocusPolicy(Qt::ClickFocus);
    m_picture1->installEventFilter(this);
    m_picture1->setOverlay([this](QPainter &painter) { drawMarker(painter); });

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

    connect(m_mmControl1, &MediaPlayerControl::framePlayed, this, &Form1::Ref);
    connect(m_mmControl1, &MediaPlayerControl::transportMoved, this, &Form1::Ref);
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

    connect(m_ov, &QAction::triggered, this, &Form1::ov_Click);
    connect(m_os, &QAction::triggered, this, &Form1::os_Click);
    connect(m_es, &QAction::triggered, this, &Form1::es_Click);
    connect(m_quit, &QAction::triggered, this, &QWidget::close);
    connect(m_aide, &QAction::triggered, this, &Form1::Aide_Click);
    connect(m_apropo, &QAction::triggered, this, &Form1::apropo_Click);
}

void Form1::Form_Load()
{
    m_progressColorA = colour(0, 128, 0);
    m_progressColorB = colour(128, 255, 255);
    m_picProgress->setColors(m_progressColorA, m_progressColorB);
    m_mmControl1->setOption(24, false);
    m_mmControl1->setOption(25, false);
    m_mmControl1->setOption(26, false);
    m_mmControl1->setDeviceType(QStringLiteral("AVIVideo"));
    m_mmControl1->setDisplayWindow(m_picture1);
    m_progressColorA = colour(0, 128, 0);
    m_progressColorB = colour(128, 255, 255);
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
    if (watched == m_picture1 && handleVideoKey(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// The arrow keys stand for the buttons that move through the video.
bool Form1::handleVideoKey(QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Right) {
        Picture2_MouseUp(2, 0, 0.0f, 0.0f);
        return true;
    }
    if (key == Qt::Key_Left) {
        Picture2_MouseUp(4, 0, 0.0f, 0.0f);
        return true;
    }
    return false;
}

// The cross belongs to the painting of the frame, so a repaint or a new
// frame can never leave it where it no longer applies.
void Form1::Ref() { m_picture1->update(); }

void Form1::drawMarker(QPainter &painter) const
{
    const std::optional<TrackPoint> point = m_pointTrack.find(m_mmControl1->position());
    if (!point || point->isEmpty())
        return;
    const std::int64_t x = point->X;
    const std::int64_t y = point->Y;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    // Lines stop one pixel short of their end point, as the window system
    // that first drew this marker did: the cross is 10 pixels each way.
    painter.drawLine(QPointF(x - markerArm, y), QPointF(x + markerArm - 1, y));
    painter.drawLine(QPointF(x, y - markerArm), QPointF(x, y + markerArm - 1));
}

void Form1::Picture2_MouseUp(int button, int, float x, float y)
{
    if (button == 1) {
        try {
            recordClick(m_pointTrack, m_mmControl1->position(), x, y);
        } catch (const TrackError &) {
            // No video yet, or a position the track does not hold: nothing to record.
        }
    }
    if (button == 4)
        m_mmControl1->setCommand(QStringLiteral("back"));
    if (button == 2)
        m_mmControl1->setCommand(QStringLiteral("step"));
    Ref();
}

void Form1::Timer1_Timer()
{
    const int position = m_mmControl1->position();
    const int length = m_mmControl1->length();
    setWindowTitle(QString::fromStdString(progressTitle(position, length)));
    m_picProgress->refresh(position, length);
}

// Every step goes on whatever the previous one did; a video the player
// cannot open leaves it closed and the track sized to length 0.
void Form1::ov_Click()
{
    m_commonDialog1->setFilter(videoFilter);
    if (!m_commonDialog1->showOpen(this))
        return;
    openVideo(m_commonDialog1->fileName());
}

void Form1::openVideo(const QString &path)
{
    m_mmControl1->setCommand(QStringLiteral("Close"));
    m_mmControl1->setFileName(path);
    m_mmControl1->setCommand(QStringLiteral("Open"));
    m_mmControl1->setOption(24, false);
    m_mmControl1->setOption(25, false);
    m_mmControl1->setCommand(QStringLiteral("Play"));
    try {
        m_videoInfo = ProbeVideoInfo(path.toStdString(), [this] { return m_mmControl1->whereDestination(); });
    } catch (const ProbeError &) {
        // The previous video's information stays current.
    }
    try {
        m_pointTrack.resize(m_mmControl1->length());
    } catch (const TrackError &) {
        // A length the track refuses leaves it as it was.
    }
}

void Form1::es_Click()
{
    if (!hasSequenceToSave(m_pointTrack))
        return;
    m_commonDialog1->setFilter(sequenceFilter);
    m_commonDialog1->setFileName(QString::fromUtf8(proposedSequenceName.data(),
                                                   static_cast<qsizetype>(proposedSequenceName.size())));
    if (!m_commonDialog1->showSave(this))
        return;
    try {
        saveSequence(localPath(m_commonDialog1->fileName()), m_pointTrack, m_text1->text().toStdString(),
                     userNumberFormat());
    } catch (const SequenceError &error) {
        if (isReported(error.kind()))
            m_showMessage(QString::fromStdString(error.what()));
    }
}

// Nothing is redrawn: the marker follows at the next click or frame.
void Form1::os_Click()
{
    m_commonDialog1->setFilter(sequenceFilter);
    if (!m_commonDialog1->showOpen(this))
        return;
    try {
        loadSequence(localPath(m_commonDialog1->fileName()), m_pointTrack);
    } catch (const SequenceError &error) {
        if (isReported(error.kind()))
            m_showMessage(QString::fromStdString(error.what()));
        else if (error.kind() == SequenceErrorKind::CannotOpen && !m_pointTrack.hasStorage())
            m_pointTrack.resize(0);
    }
}

void Form1::Aide_Click()
{
    if (!m_helpWindow)
        m_helpWindow = std::make_unique<HelpWindow>();
    m_helpWindow->showModal();
}

void Form1::apropo_Click() { frmAbout::showModal(); }

} // namespace zorvane
