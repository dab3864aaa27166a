#include "app/commandline.h"
#include "app/ui/corelog.h"
#include "app/ui/form1.h"
#include "app/ui/quitsignals.h"
#include "app/ui/toolkittranslation.h"
#include "common/systemfile.h"
#include "dialogs/ui/programicon.h"
#include "journal/journalfolder.h"
#include "player/framesource.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <iostream>

namespace {

// Help and version are answered before the toolkit starts, so they work
// without a display.
int answerWithoutWindow(const zorvane::CommandLine &commandLine)
{
    switch (commandLine.action) {
    case zorvane::CommandLine::Action::Help: std::cout << zorvane::helpText(); return 0;
    case zorvane::CommandLine::Action::Version: std::cout << zorvane::versionText("zorvane"); return 0;
    case zorvane::CommandLine::Action::Error:
        std::cerr << "zorvane: " << commandLine.error << "\n" << zorvane::helpText();
        return 2;
    case zorvane::CommandLine::Action::Run: break;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    const zorvane::CommandLine early = zorvane::parseCommandLine(zorvane::systemfile::utf8Arguments(argc, argv));
    if (early.action == zorvane::CommandLine::Action::Help || early.action == zorvane::CommandLine::Action::Version)
        return answerWithoutWindow(early);

    QApplication app(argc, argv); // takes the toolkit's options out of argv
    zorvane::routeCoreLogIntoQt();
    const zorvane::CommandLine commandLine = zorvane::parseCommandLine(zorvane::systemfile::utf8Arguments(argc, argv));
    if (commandLine.action != zorvane::CommandLine::Action::Run)
        return answerWithoutWindow(commandLine);

    // Standard dialogs and buttons speak the user's language.
    QTranslator toolkitTranslation;
    if (zorvane::loadToolkitTranslation(toolkitTranslation, QLocale()))
        app.installTranslator(&toolkitTranslation);

    // Set on the application so that every window carries it.
    app.setWindowIcon(zorvane::programIcon());
    zorvane::Form1 form(&zorvane::openFrameSource);
    // Without a home there is no folder: the first video then brings the
    // warning that points cannot be kept.
    form.setJournalFolder(zorvane::defaultJournalFolder().value_or(std::filesystem::path()));
    // In the user's configuration folder: ~/.config/zorvane/zorvane.ini; on
    // Windows where its programs keep theirs, the registry key
    // HKEY_CURRENT_USER\Software\zorvane\zorvane.
    const QSettings::Format settingsFormat =
        zorvane::systemfile::isWindows() ? QSettings::NativeFormat : QSettings::IniFormat;
    form.keepWindowPlacesIn(
        QSettings(settingsFormat, QSettings::UserScope, QStringLiteral("zorvane"), QStringLiteral("zorvane"))
            .fileName(),
        settingsFormat);
    form.show();
    // Closing the window alone would wait for an open question to be answered.
    const zorvane::QuitSignals quitSignals([&form] {
        form.close();
        QApplication::quit();
    });
    if (!commandLine.file.empty()) {
        const QString path = QFileInfo(QFile::decodeName(commandLine.file.c_str())).absoluteFilePath();
        QTimer::singleShot(0, &form, [&form, path] { form.openVideo(path); });
    }
    return app.exec();
}
