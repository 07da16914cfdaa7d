// The program entry: the application, its object with the shared menu bar, its open event,
// the main window, then the event loop.

#include "shell/app.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    App app;
    app.startUp();
    return app.runEventLoop();
}
