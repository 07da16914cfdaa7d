#pragma once
// The program's one menu bar: File, Edit and Help with their items, built once and shared by the
// application and the main window. It holds no handlers; the main window binds its own to the
// items by name.

#include <QMenuBar>
#include <QString>

class QAction;
class QMenu;

class MainMenuBar : public QMenuBar {
    Q_OBJECT
public:
    // The item property that holds a set member's index.
    static constexpr const char *indexProperty = "index";

    // The shared menu bar, built on the first call. A window that installs it must hand it back
    // (setParent(nullptr)) before its own children go; the bar itself is deleted as the
    // application object goes.
    static MainMenuBar *instance();

    // A menu of the bar by name, else nullptr.
    [[nodiscard]] QMenu *menuNamed(const QString &name) const;

private:
    MainMenuBar();
    void Constructor();
    void FileMenu();
    void EditMenu();
    void helpMenu();
};

// What the quit item does: asks the application to quit. The one place the quit road starts.
void requestQuit();
