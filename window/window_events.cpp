// The main window's own events (open, close, menu enabling), the binding of the shared menu
// bar's items to the window's handlers, and the Preferences, About and View Log commands.

#include "core/rules/welcome_text.h"
#include "shell/about_window.h"
#include "shell/log_window.h"
#include "shell/main_menu_bar.h"
#include "window/kelvo_bridge.h"
#include "window/preferences_page.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>

using namespace kelvo;

namespace {

constexpr int portListWidth = 200;

// Positions within their menus, where the enabling finds the two items it sets.
constexpr qsizetype findItemPosition = 0;
constexpr qsizetype prefsItemPosition = 2; // the hidden separator holds position 1

[[nodiscard]] QMenuBar *menuBarOf(const KelvoBridge &window)
{
    // menuWidget(), unlike menuBar(), never makes a bar of its own.
    return qobject_cast<QMenuBar *>(window.menuWidget());
}

[[nodiscard]] QAction *itemAt(const QMenuBar &bar, const char *menuName, qsizetype position)
{
    const auto *menu = bar.findChild<QMenu *>(QString::fromLatin1(menuName), Qt::FindDirectChildrenOnly);
    if (!menu)
        return nullptr;
    const QList<QAction *> items = menu->actions();
    return position < items.size() ? items.at(position) : nullptr;
}

// A shortcut is matched only against enabled items, so the two items that follow the bridge
// state are brought up to date just before a key press of this window is tried as one, as
// they are before a menu shows.
class MenuStateBeforeShortcuts : public QObject {
public:
    explicit MenuStateBeforeShortcuts(KelvoBridge &window) : QObject(&window), window_(window)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride)
            if (const auto *widget = qobject_cast<QWidget *>(watched);
                widget && widget->window() == &window_)
                window_.Event_EnableMenuItems();
        return false;
    }

private:
    KelvoBridge &window_;
};

} // namespace

void KelvoBridge::AddMenuHandlers()
{
    QMenuBar *bar = menuBarOf(*this);
    if (!bar)
        return;
    // A command reaches the window that holds the shared bar at that moment.
    const auto bind = [this, bar](const char *name, auto handler) {
        QAction *item = bar->findChild<QAction *>(QString::fromLatin1(name));
        if (!item)
            return;
        connect(item, &QAction::triggered, this, [this, bar, item, handler] {
            if (menuBarOf(*this) == bar)
                handler(item);
        });
    };
    // Find and Preferences also run only while the state allows them, however they are chosen.
    bind("detectSerial", [this](QAction *) {
        if (allowScan)
            _detectSerial_Action();
    });
    bind("EditCopy", [this](QAction *) { _EditCopy_Action(); });
    bind("EditPrefs", [this](QAction *) {
        if (allowPrefs)
            _EditPrefs_Action();
    });
    bind("FileAbout", [this](QAction *) { _FileAbout_Action(); });
    bind("showLog", [this](QAction *item) {
        _showLog_Action(item->property(MainMenuBar::indexProperty).toLongLong());
    });

    for (QMenu *menu : bar->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly))
        connect(menu, &QMenu::aboutToShow, this, [this, bar] {
            if (menuBarOf(*this) == bar)
                Event_EnableMenuItems();
        });
    new MenuStateBeforeShortcuts(*this); // owned by this window
}

void KelvoBridge::Event_Open()
{
    portselector()->clear();
    enumeratePorts();
    preferencesPage::loadControls(*this);
    setButtonIcon(QStringLiteral("red"));
    QComboBox *ports = portselector();
    ports->setGeometry(ports->x(), ports->y(), portListWidth, ports->height());
    infoLabel()->setText(welcomeText());
}

void KelvoBridge::Event_Close()
{
    // Closing the log window turns logging off (logWindowClosed). Nothing is sent and nothing
    // is saved here.
    if (logwindow *log = logwindow::openInstance())
        log->close();
    if (about *window = about::openInstance())
        window->close();
}

void KelvoBridge::Event_EnableMenuItems()
{
    const QMenuBar *bar = menuBarOf(*this);
    if (!bar)
        return;
    if (QAction *find = itemAt(*bar, "FileMenu", findItemPosition))
        find->setEnabled(allowScan);
    if (QAction *prefs = itemAt(*bar, "EditMenu", prefsItemPosition))
        prefs->setEnabled(allowPrefs);
}

bool KelvoBridge::_EditPrefs_Action()
{
    if (bridgeUI()->currentIndex() == mainPage)
        bridgeUI()->setCurrentIndex(prefsPage);
    return true;
}

bool KelvoBridge::_FileAbout_Action()
{
    about::instance()->show();
    return false;
}

bool KelvoBridge::_showLog_Action(qint64)
{
    logging = !logging;
    if (logging) {
        logwindow *log = logwindow::instance();
        log->show();
        log->logdata(logwindow::statusTag, QStringLiteral("Logging started"));
    } else if (logwindow *log = logwindow::openInstance(); log && log->isVisible()) {
        log->logdata(logwindow::statusTag, QStringLiteral("Logging stopped"));
    }
    return true;
}

void KelvoBridge::logWindowClosed()
{
    logging = false;
}
