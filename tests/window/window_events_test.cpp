// The main window's open, close and menu-enabling events and its Preferences, About and View
// Log commands, reached through the shared menu bar as the user reaches them.

#include "window/kelvo_bridge.h"

#include "core/rules/welcome_text.h"
#include "shell/about_window.h"
#include "shell/log_window.h"
#include "shell/main_menu_bar.h"
#include "shell/preferences_module.h"
#include "support/bridge_readers.h"
#include "support/preferences_test_home.h"
#include "support/scripted_services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using PreferencesModule::Preferences;

class WindowEvents : public PreferencesTestHome {
protected:
    ScriptedServices services;

    void SetUp() override
    {
        PreferencesTestHome::SetUp();
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        ASSERT_FALSE(Preferences()->Load());
    }

    void TearDown() override
    {
        // Windows that deleted themselves on closing are gone before the next test.
        if (logwindow *log = logwindow::openInstance())
            log->close();
        if (KelvoBridge *bridge = KelvoBridge::openInstance())
            bridge->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PreferencesTestHome::TearDown();
    }

    static void storeDefaults(qint64 monitor, const QString &serial)
    {
        PreferencesModule::Prefs &p = *Preferences();
        for (const char *key : {"limitA", "limitB", "power", "program", "slaveTimeout"})
            p.Set(QString::fromLatin1(key), false);
        p.Set(QStringLiteral("maxA"), "100");
        p.Set(QStringLiteral("maxB"), "100");
        p.Set(QStringLiteral("monitor"), monitor);
        p.Set(QStringLiteral("serial"), serial);
        p.Set(QStringLiteral("timeoutMinutes"), "");
    }

    static QAction *item(const char *name)
    {
        return MainMenuBar::instance()->findChild<QAction *>(QString::fromLatin1(name));
    }

    static void showAndActivate(QWidget &window)
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Opens a menu as the user does, which runs the menu enabling, and closes it again.
    static void openMenu(const char *name)
    {
        QMenu *menu = MainMenuBar::instance()->menuNamed(QString::fromLatin1(name));
        menu->popup(QPoint(0, 0));
        menu->hide();
    }

};

TEST_F(WindowEvents, OpenFillsTheWindowFromTheStore)
{
    storeDefaults(2, QStringLiteral("ttyFAKE1"));
    Preferences()->Set(QStringLiteral("power"), true);
    Preferences()->Set(QStringLiteral("maxA"), "");
    Preferences()->Set(QStringLiteral("timeoutMinutes"), "20");
    KelvoBridge window;
    window.portselector()->addItems({QStringLiteral("stale0"), QStringLiteral("stale1")});
    EXPECT_TRUE(window.monitor10(0)->isChecked());
    EXPECT_TRUE(window.connectButton()->icon().isNull());

    window.Event_Open();

    EXPECT_EQ(window.portselector()->findText(QStringLiteral("stale0")), -1);
    EXPECT_EQ(window.portselector()->findText(QStringLiteral("stale1")), -1);
    EXPECT_EQ(window.portselector()->width(), 200);
    EXPECT_EQ(window.prefmonitor, 2);
    EXPECT_TRUE(window.monitor10(2)->isChecked());
    EXPECT_TRUE(window.blockPower()->isChecked());
    EXPECT_FALSE(window.blockProgram()->isChecked());
    EXPECT_TRUE(window.maxA()->text().isEmpty());
    EXPECT_EQ(window.timeoutMinutes()->text(), QStringLiteral("20"));
    EXPECT_EQ(test::lampOf(window), QStringLiteral("red"));
    EXPECT_EQ(window.infoLabel()->text(), welcomeText());
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 0);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(WindowEvents, OpenListsEachPortOnceWithTheStoredOneSelected)
{
    services.ports = {QStringLiteral("ttyFAKE0"), QStringLiteral("ttyFAKE1"), QStringLiteral("ttyFAKE2")};
    for (const auto &[stored, row] : {std::pair{QStringLiteral("ttyFAKE1"), 1},
                                      std::pair{QStringLiteral("ttyGONE"), 0}}) {
        SCOPED_TRACE(stored.toStdString());
        storeDefaults(1, stored);
        KelvoBridge window;
        window.Event_Open();
        window.Event_Open(); // opening again lists each port once, not twice
        ASSERT_EQ(window.portselector()->count(), 3);
        for (int index = 0; index < 3; ++index)
            EXPECT_EQ(window.portselector()->itemText(index), services.ports.at(index));
        EXPECT_EQ(window.portselector()->currentIndex(), row);
    }
}

TEST_F(WindowEvents, OpenWithKeysMissingOrAMonitorOfSevenStillFinishes)
{
    for (const bool blank : {true, false}) {
        SCOPED_TRACE(blank ? "blank store" : "monitor 7");
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        if (!blank)
            Preferences()->Set(QStringLiteral("monitor"), qint64{7});
        KelvoBridge window;
        window.monitor10(2)->setChecked(true);
        EXPECT_NO_THROW(window.Event_Open());
        EXPECT_TRUE(window.monitor10(1)->isChecked());
        EXPECT_EQ(window.prefmonitor, 1);
        EXPECT_EQ(window.maxA()->text(), QStringLiteral("100"));
        EXPECT_EQ(test::lampOf(window), QStringLiteral("red"));
        EXPECT_EQ(window.infoLabel()->text(), welcomeText());
        EXPECT_EQ(window.portselector()->width(), 200);
        EXPECT_EQ(Preferences()->values().size(), blank ? 0 : 1); // nothing is filled in
    }
}

TEST_F(WindowEvents, FindAndPreferencesFollowTheStateByMenuAndByShortcut)
{
    KelvoBridge window;
    showAndActivate(window);
    QAction *find = item("detectSerial");
    QAction *prefs = item("EditPrefs");
    QSignalSpy findChosen(find, &QAction::triggered);

    window.allowScan = false;
    window.allowPrefs = false;
    openMenu("FileMenu");
    EXPECT_FALSE(find->isEnabled());
    EXPECT_FALSE(prefs->isEnabled());
    // Only these two follow the state.
    for (const char *other : {"showLog", "FileQuit", "EditCopy", "FileAbout"})
        EXPECT_TRUE(item(other)->isEnabled()) << other;

    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 0);
    EXPECT_EQ(findChosen.count(), 0);
    prefs->trigger(); // a disabled item chosen from code runs nothing either
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 0);

    // The state changes while no menu shows: the shortcuts follow it at once.
    window.allowScan = true;
    window.allowPrefs = true;
    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 1);
    EXPECT_TRUE(prefs->isEnabled());
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(findChosen.count(), 1);

    window.allowPrefs = false;
    openMenu("EditMenu");
    EXPECT_FALSE(prefs->isEnabled());
    EXPECT_TRUE(find->isEnabled());
    window.allowPrefs = true;
    openMenu("helpMenu");
    EXPECT_TRUE(prefs->isEnabled());
}

TEST_F(WindowEvents, PreferencesOpensThePageOnlyFromTheMainPage)
{
    KelvoBridge window;
    EXPECT_TRUE(window._EditPrefs_Action());
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 1);
    window.maxA()->setText(QStringLiteral("33"));
    EXPECT_TRUE(window._EditPrefs_Action());
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 1);
    EXPECT_EQ(window.maxA()->text(), QStringLiteral("33"));
    item("EditPrefs")->trigger();
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 1);
    EXPECT_FALSE(window._FileAbout_Action()); // not handled: nothing further acts on it
}

TEST_F(WindowEvents, ViewLogTwiceStartsAndStopsLoggingAndTheLogStaysOpen)
{
    KelvoBridge window;
    window.log(logwindow::statusTag, QStringLiteral("before"));
    EXPECT_EQ(logwindow::openInstance(), nullptr);

    item("showLog")->trigger();
    ASSERT_TRUE(window.logging);
    logwindow *log = logwindow::openInstance();
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isVisible());
    window.log(logwindow::serialTag, QStringLiteral("between"));

    item("showLog")->trigger();
    EXPECT_FALSE(window.logging);
    window.log(logwindow::serialTag, QStringLiteral("after"));
    EXPECT_EQ(logwindow::openInstance(), log);
    EXPECT_TRUE(log->isVisible());
    log->appendPendingLines();
    EXPECT_EQ(log->activityLog()->toPlainText(),
              QStringLiteral(" STATUS 2023-11-14 22:13:20: Logging started\n"
                             " SERIAL 2023-11-14 22:13:20: between\n"
                             " STATUS 2023-11-14 22:13:20: Logging stopped\n"));

    // Stopping with the log window closed writes nothing and opens no window.
    item("showLog")->trigger();
    log->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window.logging = true;
    EXPECT_TRUE(window._showLog_Action(0));
    EXPECT_EQ(logwindow::openInstance(), nullptr);
}

// Through the real accessor, as at start: the log window's closing reaches the open main window.
TEST_F(WindowEvents, ClosingTheLogThenViewLogStartsANewEmptyLog)
{
    storeDefaults(1, QString());
    KelvoBridge *window = KelvoBridge::instance();
    item("showLog")->trigger();
    const QPointer<logwindow> first = logwindow::openInstance();
    ASSERT_FALSE(first.isNull());
    window->log(logwindow::serialTag, QStringLiteral("old line"));

    first->close();
    EXPECT_FALSE(window->logging);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());

    item("showLog")->trigger();
    EXPECT_TRUE(window->logging);
    logwindow *second = logwindow::openInstance();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    second->appendPendingLines();
    EXPECT_EQ(second->activityLog()->toPlainText(),
              QStringLiteral(" STATUS 2023-11-14 22:13:20: Logging started\n"));
}

TEST_F(WindowEvents, ClosingTheMainWindowClosesTheLogAndAboutWindowsOnly)
{
    storeDefaults(1, QString());
    const auto visibleWindows = [] {
        int count = 0;
        for (const QWidget *widget : QApplication::topLevelWidgets())
            count += widget->isVisible() ? 1 : 0;
        return count;
    };

    // With neither open, closing opens nothing.
    QPointer<KelvoBridge> window = KelvoBridge::instance();
    const int alone = visibleWindows();
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(logwindow::openInstance(), nullptr);
    EXPECT_EQ(visibleWindows(), alone - 1);

    window = KelvoBridge::instance();
    item("showLog")->trigger();
    const QPointer<logwindow> log = logwindow::openInstance();
    const QPointer<about> aboutWindow = about::instance();
    ASSERT_TRUE(log && log->isVisible());
    ASSERT_TRUE(aboutWindow && aboutWindow->isVisible());
    const auto boxesBefore = services.boxes.size();

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(log.isNull());
    EXPECT_TRUE(aboutWindow.isNull() || !aboutWindow->isVisible());
    EXPECT_EQ(services.boxes.size(), boxesBefore);
    EXPECT_TRUE(readFile() == QByteArray("<unreadable>")); // nothing saved at close
}

} // namespace
