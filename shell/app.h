#pragma once
// App, the application object: the start-up road to the main window, the preferences store's
// creation at open, and the one road every way of quitting takes (save, close the windows,
// end the event loop, save again once the loop has ended).
//
// A QObject beside the QApplication rather than a subclass of it: a process holds one
// QApplication, and tests (which already have theirs) must be able to build the application
// object and drive its events.

#include <QObject>
#include <QString>
#include <QtGlobal>

class App : public QObject {
    Q_OBJECT
public:
    // The one application object, or nullptr before it is made and after it is gone.
    [[nodiscard]] static App *instance();

    // Builds the shared menu bar and registers this object as the application object.
    // QApplication must exist.
    App();
    ~App() override;
    App(const App &) = delete;
    App &operator=(const App &) = delete;

    // The program's own start-up: the open event, then the main window, which therefore finds
    // the store ready.
    void startUp();
    // Runs the event loop until the quit road ends it, then the close event; returns the exit
    // status. When the loop ends by other means (a quit request that asked the loop directly),
    // the cancel-close event still runs first.
    int runEventLoop();

    // The events of the application object.
    bool Event_CancelClose();
    void Event_Close();
    void Event_Open();

    // Every request to quit lands here; the road runs once.
    void quitRoad();

    // Version numbers of this build.
    [[nodiscard]] qint64 MajorVersion() const;
    [[nodiscard]] qint64 MinorVersion() const;
    [[nodiscard]] qint64 BugVersion() const;
    [[nodiscard]] qint64 NonReleaseVersion() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The platform's termination: every window closed, then the event loop asked to end.
    void terminate();

    bool quitting_ = false;
    bool closed_ = false;
    bool loopEnded_ = false;
    bool quitOnLastWindowClosed_ = true; // the application's own setting, given back at the end
};

// The message of the no-serial-port case and of a failed save, as shown.
[[nodiscard]] QString noSerialPortMessage();
[[nodiscard]] QString couldNotSaveMessage();
// The start-up message for a preferences file that was there but could not be used: where it
// was kept, or, when it could not be kept, that it is left as it is.
[[nodiscard]] QString unusablePreferencesMessage(const QString &preferencesFile, const QString &keptFile);
