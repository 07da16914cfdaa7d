// Start-up benchmark child for comparison: a bare Qt Widgets main window with one label, built
// and shown the same way; it reports when idle and quits.

#include "startup_child.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setCentralWidget(new QLabel(QStringLiteral("Hello"), &window));
    window.resize(450, 250);
    window.show();
    benchChild::reportWhenIdle(&window, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
