#pragma once

#include "dialogs/sysinfo.h"

#include <QDialog>
#include <QUrl>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace zorvane {

// What the About window reaches outside itself; the desktop's by default.
struct AboutServices {
    std::shared_ptr<const RegistryLayer> registry;
    std::shared_ptr<ProgramLauncher> launcher;
    std::shared_ptr<MessageDisplay> messages;
    std::function<bool(const QUrl &)> openUrl;
};

AboutServices desktopAboutServices();

// The About window: credits, the system-information tool and the web site.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(AboutServices services = desktopAboutServices(), QWidget *parent = nullptr);

    // Makes a new window, shows it modally without owner and destroys it when closed.
    static void showModal();
    static QUrl webAddress();

    bool GetKeyValue(std::uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                     std::string &KeyVal) const;
    void StartSysInfo();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Label1_Click();

    AboutServices m_services;
    SysInfo m_sysInfo;
    QPushButton *m_cmdOK = nullptr;
    QLabel *m_picIcon = nullptr;
    QPushButton *m_cmdSysInfo = nullptr;
    QLabel *m_lblDescription = nullptr;
    QLabel *m_label1 = nullptr;
};

} // namespace zorvane
