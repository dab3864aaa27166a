#include "dialogs/ui/desktopservices.h"

#include <QMessageBox>
#include <QProcess>

namespace zorvane {

bool DesktopLauncher::startProgram(const std::string &commandLine)
{
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words.front().empty())
        return false;
    QStringList arguments;
    for (auto word = words.begin() + 1; word != words.end(); ++word)
        arguments << QString::fromLocal8Bit(word->c_str());
    return QProcess::startDetached(QString::fromLocal8Bit(words.front().c_str()), arguments);
}

void DesktopMessageDisplay::showMessage(const std::string &text, const std::string &caption)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace zorvane
