#include "shell/app.h"

#include "build_settings.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "shell/main_menu_bar.h"
#include "shell/preference_keys.h"
#include "shell/preferences_module.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

using namespace kelvo;

namespace {

QPointer<App> theApp;

void savePreferences()
{
    const PreferencesModule::Prefs *prefs = PreferencesModule::Preferences();
    if (!prefs || !prefs->Save())
        platform::dialogs().msgBox(couldNotSaveMessage(), platform::MsgBoxCode::CautionOk, QString());
}

} // namespace

QString noSerialPortMessage()
{
    return QStringLiteral(
        "No serial ports found. Have you plugged in the Brevant cable, and installed any drivers? "
        "Check your connections and restart Kelvo Connect");
}

QString couldNotSaveMessage()
{
    return QStringLiteral("Could not save preferences");
}

QString unusablePreferencesMessage(const QString &preferencesFile, const QString &keptFile)
{
    const QString notRead = QStringLiteral(
        "The saved preferences could not be read, so the default settings are in force, "
        "with no restrictions for a remote user. ");
    if (keptFile.isEmpty())
        return notRead + QStringLiteral("The file could not be kept aside, so it is left as it is and "
                                        "preferences cannot be saved until it is moved: ")
            + preferencesFile;
    return notRead + QStringLiteral("The file has been kept as ") + keptFile;
}

App *App::instance()
{
    return theApp;
}

App::App()
{
    Q_ASSERT(!theApp);
    theApp = this;
    // Titles left empty (the message boxes') show the program's name, not the executable's.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kelvo Connect"));
    // The shared menu bar is built now, before any window installs it.
    MainMenuBar::instance();
    // Closing the last window quits through the road below, never around it.
    quitOnLastWindowClosed_ = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::lastWindowClosed, this, &App::quitRoad);
    // A quit asked of the application itself (QCoreApplication::quit, the session) as well.
    qApp->installEventFilter(this);
}

App::~App()
{
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed_);
    if (theApp == this)
        theApp = nullptr;
}

void App::startUp()
{
    Event_Open();
    KelvoBridge::instance();
}

int App::runEventLoop()
{
    const int status = QApplication::exec();
    loopEnded_ = true;
    quitRoad();
    Event_Close();
    // The closed windows go before the application object and QApplication do.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}

bool App::Event_CancelClose()
{
    savePreferences();
    terminate();
    return false;
}

void App::Event_Close()
{
    if (closed_)
        return;
    closed_ = true;
    savePreferences();
}

void App::Event_Open()
{
    if (platform::SerialPortCount() == 0) {
        platform::dialogs().msgBox(noSerialPortMessage(), platform::MsgBoxCode::CautionOk, QString());
        // Queued by the platform: it takes effect once this handler has made the store.
        platform::desktop().quit(0);
    }
    PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
    PreferencesModule::Prefs &prefs = *PreferencesModule::Preferences();
    if (!prefs.Load()) {
        // A first run, or a file that does not parse.
        preferenceKeys::storeFirstRunValues(prefs);
        // A file that was there and did not load held the user's blocks and limits: say so.
        if (prefs.foundUnusableFile())
            platform::dialogs().msgBox(unusablePreferencesMessage(prefs.preferencesFile(), prefs.keptFile()),
                                       platform::MsgBoxCode::CautionOk, QString());
    }
}

void App::quitRoad()
{
    if (quitting_)
        return;
    quitting_ = true;
    Event_CancelClose();
}

void App::terminate()
{
    // The main window first: its own close takes the log and about windows with it.
    if (KelvoBridge *window = KelvoBridge::openInstance())
        window->close();
    QApplication::closeAllWindows();
    if (!loopEnded_)
        platform::desktop().quit(0);
}

bool App::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        quitRoad();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

qint64 App::MajorVersion() const { return buildSettings::majorVersion; }
qint64 App::MinorVersion() const { return buildSettings::minorVersion; }
qint64 App::BugVersion() const { return buildSettings::bugVersion; }
qint64 App::NonReleaseVersion() const { return buildSettings::buildNumber; }
