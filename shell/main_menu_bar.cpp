#include "shell/main_menu_bar.h"

#include "platform/desktop.h"
#include "shell/app.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

#include <initializer_list>

using namespace kelvo;

namespace {

QPointer<MainMenuBar> theMenuBar;

void deleteTheMenuBar()
{
    // Runs as the application object goes, before the widget system is torn down.
    delete theMenuBar.data();
}

enum class ItemKind { ordinary, separator, quit };

struct ItemSettings {
    const char *name;
    ItemKind kind;
    const char *text;
    // nullptr leaves the shortcut as the item was created (separators); "" is no shortcut.
    const char *shortcut;
    bool visible = true;
    int index = -1; // member index within an item set, -1 for a lone item
};

struct MenuSettings {
    const char *name;
    const char *text;
};

constexpr int noIndex = -1;

} // namespace

MainMenuBar *MainMenuBar::instance()
{
    if (!theMenuBar) {
        [[maybe_unused]] static const bool cleanupRegistered = [] {
            qAddPostRoutine(deleteTheMenuBar);
            return true;
        }();
        theMenuBar = new MainMenuBar; // deleted by deleteTheMenuBar
        theMenuBar->Constructor();
    }
    return theMenuBar;
}

MainMenuBar::MainMenuBar() : QMenuBar(nullptr)
{
    setObjectName(QStringLiteral("MainMenuBar"));
}

QMenu *MainMenuBar::menuNamed(const QString &name) const
{
    return findChild<QMenu *>(name, Qt::FindDirectChildrenOnly);
}

void MainMenuBar::Constructor()
{
    FileMenu();
    EditMenu();
    helpMenu();
}

namespace {

void buildMenu(MainMenuBar &bar, const MenuSettings &menuSettings,
               std::initializer_list<ItemSettings> items)
{
    auto *menu = new QMenu(&bar);
    const QString menuName = QString::fromLatin1(menuSettings.name);
    menu->setObjectName(menuName);
    menu->setTitle(QString::fromUtf8(menuSettings.text));
    menu->menuAction()->setVisible(true);
    menu->menuAction()->setShortcut(QKeySequence());
    bar.addMenu(menu);

    for (const ItemSettings &settings : items) {
        QMenu *parent = bar.menuNamed(menuName);
        auto *item = new QAction(parent);
        item->setObjectName(QString::fromLatin1(settings.name));
        if (settings.index != noIndex)
            item->setProperty(MainMenuBar::indexProperty, qint64{settings.index});
        // "-" only marks a separator: Qt would draw a separator's text as a section heading.
        if (settings.kind != ItemKind::separator)
            item->setText(QString::fromUtf8(settings.text));
        item->setVisible(settings.visible);
        switch (settings.kind) {
        case ItemKind::separator:
            item->setSeparator(true);
            break;
        case ItemKind::quit:
            // The platform's own quit item, wherever the platform puts it.
            item->setMenuRole(QAction::QuitRole);
            QObject::connect(item, &QAction::triggered, item, [] { requestQuit(); });
            break;
        case ItemKind::ordinary:
            // Kept in the menu it is built in, whatever its text suggests to the platform.
            item->setMenuRole(QAction::NoRole);
            break;
        }
        if (settings.shortcut)
            // Qt reads "Ctrl" as the platform's command key.
            item->setShortcut(QKeySequence(QString::fromLatin1(settings.shortcut)));
        parent->addAction(item);
    }
}

} // namespace

void MainMenuBar::FileMenu()
{
    buildMenu(*this, {"FileMenu", "&File"},
              {
                  // Enabled and disabled by the main window, as the bridge state allows a scan.
                  {.name = "detectSerial", .kind = ItemKind::ordinary, .text = "&Find Q6",
                   .shortcut = "Ctrl+F"},
                  {.name = "showLog", .kind = ItemKind::ordinary, .text = "View &Log",
                   .shortcut = "Ctrl+L", .index = 0},
                  {.name = "UntitledSeparator", .kind = ItemKind::separator, .text = "-",
                   .shortcut = nullptr},
                  {.name = "FileQuit", .kind = ItemKind::quit, .text = "&Quit",
                   .shortcut = "Ctrl+Q"},
              });
}

void MainMenuBar::EditMenu()
{
    buildMenu(*this, {"EditMenu", "&Edit"},
              {
                  {.name = "EditCopy", .kind = ItemKind::ordinary, .text = "&Copy Key",
                   .shortcut = "Ctrl+C"},
                  // Hidden, yet it holds position 1: the main window finds Preferences at 2.
                  {.name = "EditSeparator2", .kind = ItemKind::separator, .text = "-",
                   .shortcut = nullptr, .visible = false},
                  // Enabled and disabled by the main window, as the bridge state allows it.
                  {.name = "EditPrefs", .kind = ItemKind::ordinary, .text = "Preferences",
                   .shortcut = "Ctrl+,"},
              });
}

void MainMenuBar::helpMenu()
{
    buildMenu(*this, {"helpMenu", "&Help"},
              {
                  {.name = "FileAbout", .kind = ItemKind::ordinary, .text = "&About",
                   .shortcut = ""},
              });
}

void requestQuit()
{
    // The application object's road saves, closes the windows and ends the loop; without one
    // (a window on its own) the platform is asked directly.
    if (App *app = App::instance())
        app->quitRoad();
    else
        platform::desktop().quit(0);
}
