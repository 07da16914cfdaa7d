// The shared menu bar: its menus and items as built, one instance for every caller, and a bar
// that outlives the windows that install it.

#include "shell/main_menu_bar.h"

#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Expected {
    const char *in; // "bar" or the menu's name
    int position;
    const char *name;
    const char *text;     // a separator has none: Qt would draw it as a heading
    const char *shortcut; // portable text; "" none
    bool visible;
    bool separator;
};

// An item of any of the bar's menus, found by its name as the main window binds it.
QAction *itemNamed(const char *name)
{
    return MainMenuBar::instance()->findChild<QAction *>(QString::fromLatin1(name));
}

const Expected menuTable[] = {
    {"bar", 0, "FileMenu", "&File", "", true, false},
    {"FileMenu", 0, "detectSerial", "&Find Q6", "Ctrl+F", true, false},
    {"FileMenu", 1, "showLog", "View &Log", "Ctrl+L", true, false},
    {"FileMenu", 2, "UntitledSeparator", "", "", true, true},
    {"FileMenu", 3, "FileQuit", "&Quit", "Ctrl+Q", true, false},
    {"bar", 1, "EditMenu", "&Edit", "", true, false},
    {"EditMenu", 0, "EditCopy", "&Copy Key", "Ctrl+C", true, false},
    {"EditMenu", 1, "EditSeparator2", "", "", false, true},
    {"EditMenu", 2, "EditPrefs", "Preferences", "Ctrl+,", true, false},
    {"bar", 2, "helpMenu", "&Help", "", true, false},
    {"helpMenu", 0, "FileAbout", "&About", "", true, false},
};

TEST(MainMenuBar, MenusAndItemsAsBuilt)
{
    MainMenuBar *bar = MainMenuBar::instance();
    ASSERT_NE(bar, nullptr);
    for (const Expected &row : menuTable) {
        SCOPED_TRACE(row.name);
        const QString in = QString::fromLatin1(row.in);
        const bool isMenu = in == QLatin1StringView("bar");
        const QList<QAction *> siblings = isMenu ? bar->actions() : bar->menuNamed(in)->actions();
        ASSERT_LT(row.position, siblings.size());
        QAction *item = siblings.at(row.position);
        QObject *named = item;
        if (isMenu) {
            ASSERT_NE(item->menu(), nullptr);
            named = item->menu();
            EXPECT_EQ(item->menu(), bar->menuNamed(QString::fromLatin1(row.name)));
            EXPECT_EQ(item->menu()->title(), QString::fromUtf8(row.text));
        } else {
            EXPECT_EQ(item, itemNamed(row.name));
            EXPECT_EQ(item->text(), QString::fromUtf8(row.text));
        }
        EXPECT_EQ(named->objectName(), QString::fromLatin1(row.name));
        EXPECT_EQ(item->shortcut(), QKeySequence(QString::fromLatin1(row.shortcut)));
        EXPECT_EQ(item->isVisible(), row.visible);
        EXPECT_EQ(item->isSeparator(), row.separator);
    }
    EXPECT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(bar->menuNamed(QStringLiteral("FileMenu"))->actions().size(), 4);
    EXPECT_EQ(bar->menuNamed(QStringLiteral("EditMenu"))->actions().size(), 3);
    EXPECT_EQ(bar->menuNamed(QStringLiteral("helpMenu"))->actions().size(), 1);

    QAction *showLog = itemNamed("showLog");
    ASSERT_TRUE(showLog->property(MainMenuBar::indexProperty).isValid());
    EXPECT_EQ(showLog->property(MainMenuBar::indexProperty).toLongLong(), 0);
    EXPECT_FALSE(itemNamed("detectSerial")->property(MainMenuBar::indexProperty).isValid());

    EXPECT_EQ(itemNamed("FileQuit")->menuRole(), QAction::QuitRole);
    // The ordinary items stay in the menu they are built in on every platform.
    for (const char *name : {"detectSerial", "showLog", "EditCopy", "EditPrefs", "FileAbout"})
        EXPECT_EQ(itemNamed(name)->menuRole(), QAction::NoRole) << name;
}

TEST(MainMenuBar, OneInstanceBuiltOnce)
{
    MainMenuBar *first = MainMenuBar::instance();
    MainMenuBar *second = MainMenuBar::instance();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->findChildren<QMenu *>().size(), 3);
    EXPECT_EQ(first->findChildren<QAction *>(QStringLiteral("showLog")).size(), 1);
}

TEST(MainMenuBar, QuitAsksTheApplicationToQuitAndRunsNoWindowHandler)
{
    ScriptedServices services;
    KelvoBridge window;
    itemNamed("FileQuit")->trigger();
    EXPECT_EQ(services.quitRequests, QList<int>{0});
    EXPECT_FALSE(window.logging);
    EXPECT_EQ(window.bridgeUI()->currentIndex(), 0);
    EXPECT_TRUE(services.boxes.empty());
}

// Each main window installs the one bar and gives it back when it goes, so windows built one
// after another (and the tests that build them) share a bar that is never deleted with them.
TEST(MainMenuBar, OutlivesTheWindowsThatInstallIt)
{
    ScriptedServices services;
    const QPointer<MainMenuBar> bar = MainMenuBar::instance();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        auto window = std::make_unique<KelvoBridge>();
        EXPECT_EQ(window->menuWidget(), bar.data());
        EXPECT_EQ(bar->parent(), window.get());
        // Its items reach this window's handlers.
        itemNamed("EditPrefs")->trigger();
        EXPECT_EQ(window->bridgeUI()->currentIndex(), 1);
        window.reset();
        ASSERT_FALSE(bar.isNull());
        EXPECT_EQ(bar->parent(), nullptr);
        EXPECT_EQ(bar.data(), MainMenuBar::instance());
        EXPECT_EQ(bar->findChildren<QMenu *>().size(), 3);
    }
}

} // namespace
