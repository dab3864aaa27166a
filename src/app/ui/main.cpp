#include "app/ui/form1.h"
#include "player/framesource.h"
#include "dialogs/ui/programicon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Set on the application so that every window carries it.
    app.setWindowIcon(zorvane::programIcon());
    zorvane::Form1 form(&zorvane::openFrameSource);
    form.show();
    return app.exec();
}
