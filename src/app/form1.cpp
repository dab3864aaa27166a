#include "form1.h"

#include "commondialog.h"
#include "mediaplayercontrol.h"
#include "videoarea.h"
#include "videodisplay.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>

namespace zorvane {
namespace {

constexpr int clientWidth = 349;
constexpr int clientHeight = 311;

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

    m_picProgress = new QFrame(m_client);
    m_picProgress->setObjectName(QStringLiteral("PicProgress"));
    m_picProgress->setGeometry(8, 40, 337, 9);
    m_picProgress->setFrameStyle(QFrame::NoFrame);
    m_picProgress->setAutoFillBackground(true);
    QPalette darkGrey = m_picProgress->palette();
    darkGrey.setColor(QPalette::Window, QColor(64, 64, 64));
    m_picProgress->setPalette(darkGrey);
    m_picProgress->setCursor(Qt::SizeHorCursor);

    m_picture1 = new VideoDisplay(m_client);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(8, 56, 337, 248);
    connect(m_picture1, &VideoDisplay::mouseReleased, this, &Form1::Picture2_MouseUp);

    m_picture2 = new VideoDisplay(m_client);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFrameStyle(QFrame::NoFrame);
    m_picture2->setGeometry(352, 56, 337, 249);
    m_picture2->hide();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(200);
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

    connect(m_quit, &QAction::triggered, this, &QWidget::close);
}

void Form1::Form_Load()
{
    m_progressColorA = colour(0, 128, 0);
    m_progressColorB = colour(128, 255, 255);
    m_mmControl1->setOption(24, false);
    m_mmControl1->setOption(25, false);
    m_mmControl1->setOption(26, false);
    m_mmControl1->setDeviceType(QStringLiteral("AVIVideo"));
    m_mmControl1->setDisplayWindow(m_picture1);
    m_progressColorA = colour(0, 128, 0);
    m_progressColorB = colour(128, 255, 255);
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

void Form1::Ref() { m_picture1->update(); }

void Form1::Picture2_MouseUp(int button, int, float, float)
{
    // Recording the point of the left button needs the point track.
    if (button == 4)
        m_mmControl1->setCommand(QStringLiteral("back"));
    if (button == 2)
        m_mmControl1->setCommand(QStringLiteral("step"));
    Ref();
}

} // namespace zorvane
