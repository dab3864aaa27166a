#include "dialogs/ui/desktopservices.h"

#include <QMessageBox>
#include <QProcess>

namespace zorvane {

bool DesktopLauncher::startProgram(const std::string &path)
{
    if (path.empty())
        return false;
    return QProcess::startDetached(QString::fromLocal8Bit(path.c_str()), {});
}

void DesktopMessageDisplay::showMessage(const std::string &text, const std::string &caption)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace zorvane
