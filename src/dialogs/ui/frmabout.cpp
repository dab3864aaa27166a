#include "dialogs/ui/frmabout.h"

#include "dialogs/desktopregistry.h"
#include "dialogs/ui/desktopservices.h"
#include "dialogs/ui/dialogfont.h"
#include "dialogs/ui/programicon.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace zorvane {

AboutServices desktopAboutServices()
{
    return {std::make_shared<DesktopRegistry>(), std::make_shared<DesktopLauncher>(),
            std::make_shared<DesktopMessageDisplay>(), [](const QUrl &url) { return QDesktopServices::openUrl(url); }};
}

frmAbout::frmAbout(AboutServices services, QWidget *parent)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                              | Qt::MSWindowsFixedSizeDialogHint),
          m_services(std::move(services)), m_sysInfo(*m_services.registry, *m_services.launcher, *m_services.messages)
{
    setObjectName("frmAbout");
    setWindowTitle("About Zorvane");
    setWindowIcon(programIcon());
    setFont(dialogFont());
    setGeometry(156, 129, 382, 112);
    setFixedSize(382, 112);
    createControls();
}

void frmAbout::createControls()
{
    m_cmdOK = new QPushButton("OK", this);
    m_cmdOK->setObjectName("cmdOK");
    m_cmdOK->setGeometry(208, 80, 84, 23);
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    m_picIcon = new QLabel(this);
    m_picIcon->setObjectName("picIcon");
    m_picIcon->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_picIcon->setLineWidth(1);
    m_picIcon->setBackgroundRole(QPalette::Base);
    m_picIcon->setAutoFillBackground(true);
    m_picIcon->setPixmap(QPixmap::fromImage(programPicture(64)));
    m_picIcon->setGeometry(16, 16, 66, 66);
    m_picIcon->setFocusPolicy(Qt::StrongFocus);

    m_cmdSysInfo = new QPushButton("&System Info...", this);
    m_cmdSysInfo->setObjectName("cmdSysInfo");
    m_cmdSysInfo->setGeometry(96, 80, 83, 23);
    connect(m_cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    m_lblDescription = new QLabel(QString::fromUtf8("Créé par Vesmarin (Brindel)"), this);
    m_lblDescription->setObjectName("lblDescription");
    m_lblDescription->setGeometry(104, 24, 259, 22);
    m_lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette black = m_lblDescription->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    m_lblDescription->setPalette(black);

    m_label1 = new QLabel("Site Web", this);
    m_label1->setObjectName("Label1");
    m_label1->setGeometry(184, 48, 51, 22);
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont linkFont("MS Sans Serif");
    linkFont.setPointSizeF(8.25);
    linkFont.setUnderline(true);
    m_label1->setFont(linkFont);
    QPalette blue = m_label1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 192));
    m_label1->setPalette(blue);
    m_label1->installEventFilter(this);

    setTabOrder(m_cmdOK, m_picIcon);
    setTabOrder(m_picIcon, m_cmdSysInfo);
    m_cmdOK->setFocus();
}

void frmAbout::showModal()
{
    frmAbout window;
    window.exec();
}

QUrl frmAbout::webAddress() { return QUrl("https://zorvane.example.org"); }

bool frmAbout::GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                           std::string &KeyVal) const
{
    return m_sysInfo.GetKeyValue(KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::StartSysInfo() { m_sysInfo.StartSysInfo(); }

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::Label1_Click()
{
    // A browser that does not start leaves the window as it is.
    m_services.openUrl(webAddress());
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_label1->rect().contains(mouse->position().toPoint()))
            Label1_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zorvane
