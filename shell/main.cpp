// The program entry: the application, then the main window, then the event loop.

#include "window/kelvo_bridge.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    KelvoBridge::instance();
    return QApplication::exec();
}
