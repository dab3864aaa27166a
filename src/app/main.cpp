#include "form1.h"
#include "framesource.h"
#include "programicon.h"

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
