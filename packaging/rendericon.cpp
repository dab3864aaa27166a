// Writes the program's icon, drawn by programPicture(), as PNG files
// OUTDIR/NxN/zorvane.png for each size given.
#include "dialogs/ui/programicon.h"

#include <QDir>
#include <QGuiApplication>

#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::cerr << "usage: zorvane-render-icon OUTDIR SIZE [SIZE ...]\n";
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::stoi(argv[i]);
        const QString folder = QStringLiteral("%1/%2x%2").arg(outDir).arg(size);
        if (!QDir().mkpath(folder) || !zorvane::programPicture(size).save(folder + "/zorvane.png", "PNG")) {
            std::cerr << "zorvane-render-icon: cannot write " << folder.toStdString() << "/zorvane.png\n";
            return 1;
        }
    }
    return 0;
}
