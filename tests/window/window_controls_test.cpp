// Every control of the main window as built: kind, page, place, content, look and tab order.

#include "window/kelvo_bridge.h"

#include "window/control_fonts.h"

#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace kelvo;

namespace {

constexpr int noPage = -1;
constexpr int noTab = -1;
const char *const welcomeText =
    "Welcome to Kelvo Connect. Select the serial port your Q6 is connected to, or choose Find "
    "from the File menu, then click Connect to link your Q6 to the server.";

struct ExpectedControl {
    const char *name;
    std::function<QObject *(const KelvoBridge &)> accessor;
    const char *className;
    int page = noPage;
    QRect geometry = {};
    int tab = noTab;
    const char *text = "";
    bool shown = true;
    bool enabled = true;
    bool bold = false;
    bool italic = false;
    int pixelSize = controlFonts::standardPixelSize;
    const char *family = nullptr;
    Qt::Alignment labelAlignment = Qt::AlignLeft;
};

const std::vector<ExpectedControl> &visualControls()
{
    static const std::vector<ExpectedControl> table = {
        {"connectButton", &KelvoBridge::connectButton, "QPushButton", 0, {264, 67, 157, 50}, 1, "Connect"},
        {"portselector", &KelvoBridge::portselector, "QComboBox", 0, {29, 75, 98, 22}, 2},
        {"serverinfo", &KelvoBridge::serverinfo, "ElidingLabel", 0, {9, 225, 292, 20}, 3, "Not connected",
         true, true, false, false, 11, "Courier New"},
        {"infoLabel", &KelvoBridge::infoLabel, "QLabel", 0, {29, 9, 401, 54}, 0, welcomeText, true, true, true},
        {"savePrefs", &KelvoBridge::savePrefs, "QPushButton", 1, {350, 208, 80, 22}, 0, "Save"},
        {"prefsIntro", &KelvoBridge::prefsIntro, "QLabel", 1, {20, 11, 410, 37}, 1,
         "You can use the options on this screen to limit what a remote user can do with your "
         "Q6. Select your options, then click Save.",
         true, true, true},
        {"blockPower", &KelvoBridge::blockPower, "QCheckBox", 1, {20, 87, 198, 20}, 2, "Prevent power level change"},
        {"blockProgram", &KelvoBridge::blockProgram, "QCheckBox", 1, {219, 87, 211, 20}, 3, "Prevent program mode change"},
        {"limitA", &KelvoBridge::limitA, "QCheckBox", 1, {20, 119, 232, 20}, 4, "Set maximum level for channel A"},
        {"maxA", &KelvoBridge::maxA, "QLineEdit", 1, {251, 118, 41, 22}, 5},
        {"limitB", &KelvoBridge::limitB, "QCheckBox", 1, {20, 151, 219, 20}, 6, "Set maximum level for channel B"},
        {"maxB", &KelvoBridge::maxB, "QLineEdit", 1, {251, 150, 41, 22}, 7},
        {"prefsNotes", &KelvoBridge::prefsNotes, "QLabel", 1, {20, 39, 410, 20}, 8,
         "To set a maximum level, your Q6 must have firmware 2.107 or later", false, true, false, true},
        {"GroupBox1", &KelvoBridge::GroupBox1, "QGroupBox", 1, {20, 180, 298, 51}, 9, "Monitor Q6 controls"},
        {"monitor10", [](const KelvoBridge &w) { return w.monitor10(0); }, "QRadioButton", 1, {28, 202, 53, 20}, noTab, "Off"},
        {"monitor10", [](const KelvoBridge &w) { return w.monitor10(1); }, "QRadioButton", 1, {93, 202, 100, 20}, noTab, "every 5 secs"},
        {"monitor10", [](const KelvoBridge &w) { return w.monitor10(2); }, "QRadioButton", 1, {198, 202, 120, 20}, noTab, "every 10 secs"},
        {"batteryIcon", &KelvoBridge::batteryIcon, "QLabel", 0, {326, 228, 35, 20}, 6},
        {"version", &KelvoBridge::version, "ElidingLabel", 0, {368, 224, 59, 20}, 7, "", true, true, false,
         false, 10, nullptr, Qt::AlignRight},
        {"exitPrefs", &KelvoBridge::exitPrefs, "QPushButton", 1, {350, 174, 80, 22}, 10, "Cancel"},
        {"stopButton", &KelvoBridge::stopButton, "QPushButton", 0, {178, 179, 95, 32}, 8, "OFF", false, false},
        {"connectionKey", &KelvoBridge::connectionKey, "ElidingLabel", 0, {29, 127, 392, 40}, 4, "", true, true,
         true, false, 22, nullptr, Qt::AlignHCenter},
        {"Line1", &KelvoBridge::Line1, "QFrame", 0, {-2, 222, 457, 1}},
        {"slaveTimeout", &KelvoBridge::slaveTimeout, "QCheckBox", 1, {20, 56, 232, 20}, 11, "Switch off after timeout (minutes)"},
        {"timeoutMinutes", &KelvoBridge::timeoutMinutes, "QLineEdit", 1, {251, 55, 41, 22}, 12},
    };
    return table;
}

[[nodiscard]] int pageOf(const KelvoBridge &window, const QWidget *widget)
{
    QStackedWidget *panel = window.bridgeUI();
    for (const QWidget *w = widget; w; w = w->parentWidget())
        if (w->parentWidget() == panel)
            return panel->indexOf(const_cast<QWidget *>(w));
    return noPage;
}

[[nodiscard]] QString shownText(QObject *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *field = qobject_cast<QLineEdit *>(control))
        return field->text();
    if (auto *group = qobject_cast<QGroupBox *>(control))
        return group->title();
    return {};
}

class WindowControls : public ::testing::Test {
protected:
    std::unique_ptr<KelvoBridge> window = std::make_unique<KelvoBridge>();
};

TEST_F(WindowControls, EveryVisualControlAsBuilt)
{
    for (const ExpectedControl &expected : visualControls()) {
        SCOPED_TRACE(expected.name);
        auto *widget = qobject_cast<QWidget *>(expected.accessor(*window));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), QString::fromLatin1(expected.name));
        EXPECT_STREQ(widget->metaObject()->className(), expected.className);
        EXPECT_EQ(pageOf(*window, widget), expected.page);
        const QRect inWindow(widget->mapTo(window->bridgeUI(), QPoint(0, 0)), widget->size());
        EXPECT_EQ(inWindow, expected.geometry);
        EXPECT_EQ(shownText(widget), QString::fromUtf8(expected.text));
        EXPECT_EQ(widget->isHidden(), !expected.shown);
        EXPECT_EQ(widget->isEnabled(), expected.enabled);
        EXPECT_EQ(widget->toolTip(), QString());

        const QFont font = widget->font();
        EXPECT_EQ(font.bold(), expected.bold);
        EXPECT_EQ(font.italic(), expected.italic);
        EXPECT_FALSE(font.underline());
        // Pixel sizes: the geometry is in pixels whatever the screen's dots per inch.
        EXPECT_EQ(font.pixelSize(), expected.pixelSize);
        if (expected.family) {
            EXPECT_EQ(font.family(), QString::fromLatin1(expected.family));
        }

        if (auto *label = qobject_cast<QLabel *>(widget)) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, expected.labelAlignment);
            EXPECT_EQ(label->wordWrap(), expected.name == std::string_view("infoLabel")
                                             || expected.name == std::string_view("prefsIntro"));
        }
        if (auto *check = qobject_cast<QCheckBox *>(widget)) {
            EXPECT_FALSE(check->isChecked());
        }
        if (auto *field = qobject_cast<QLineEdit *>(widget)) {
            EXPECT_TRUE(field->hasFrame());
            EXPECT_FALSE(field->isReadOnly());
            EXPECT_EQ(field->echoMode(), QLineEdit::Normal);
            EXPECT_TRUE(field->placeholderText().isEmpty());
            EXPECT_TRUE(field->inputMask().isEmpty());
            EXPECT_EQ(field->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        }
    }
}

TEST_F(WindowControls, SpecialSettingsOfSingleControls)
{
    EXPECT_EQ(window->portselector()->count(), 0);
    EXPECT_EQ(window->connectButton()->iconSize(), QSize(40, 40));
    EXPECT_TRUE(window->connectButton()->icon().isNull()); // the lamp is drawn at open
    EXPECT_TRUE(window->stopButton()->icon().isNull());
    EXPECT_TRUE(window->savePrefs()->isDefault());
    EXPECT_FALSE(window->exitPrefs()->isDefault());

    QLabel *battery = window->batteryIcon();
    EXPECT_EQ(battery->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(battery->autoFillBackground());
    EXPECT_TRUE(battery->pixmap().isNull());

    QFrame *line = window->Line1();
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->frameShadow(), QFrame::Plain);
    EXPECT_EQ(line->lineWidth(), 1);
    EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(Qt::black));

    EXPECT_TRUE(window->monitor10(0)->isChecked());
    EXPECT_FALSE(window->monitor10(1)->isChecked());
    EXPECT_FALSE(window->monitor10(2)->isChecked());
    for (qint64 index = 0; index <= 2; ++index)
        EXPECT_EQ(window->monitor10(index)->parentWidget(), window->GroupBox1());
}

TEST_F(WindowControls, LinkControlsBelongToTheWindowInCreationOrder)
{
    struct Link {
        const char *name;
        QObject *control;
        const char *className;
        int periodMs; // timers only
    };
    const Link links[] = {
        {"kelvoserial", window->kelvoserial(), "kelvo::platform::SerialPort", 0},
        {"kelvoconnect", window->kelvoconnect(), "kelvo::platform::TlsSocket", 0},
        {"ping", window->ping(), "kelvo::platform::Timer", 5000},
        {"bridgeUI", window->bridgeUI(), "QStackedWidget", 0},
        {"fadetimer", window->fadetimer(), "kelvo::platform::Timer", 200},
        {"probe", window->probe(), "kelvo::platform::SerialPort", 0},
        {"probeTimer", window->probeTimer(), "kelvo::platform::Timer", 5000},
    };
    const QObjectList children = window->children();
    qsizetype previous = -1;
    for (const Link &link : links) {
        SCOPED_TRACE(link.name);
        ASSERT_NE(link.control, nullptr);
        EXPECT_EQ(link.control->objectName(), QString::fromLatin1(link.name));
        EXPECT_STREQ(link.control->metaObject()->className(), link.className);
        EXPECT_EQ(link.control->parent(), window.get());
        const qsizetype place = children.indexOf(link.control);
        EXPECT_GT(place, previous);
        previous = place;
        if (auto *timer = qobject_cast<platform::Timer *>(link.control)) {
            EXPECT_EQ(timer->Period(), link.periodMs);
            EXPECT_EQ(timer->Mode(), platform::Timer::modeOff);
            EXPECT_FALSE(timer->isArmed());
        }
    }
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_FALSE(window->probe()->isOpen());
    EXPECT_TRUE(window->kelvoconnect()->Address.isEmpty());
    EXPECT_EQ(window->kelvoconnect()->Port, 0);
    EXPECT_FALSE(window->kelvoconnect()->IsConnected());
}

// The focus chain of each page follows the tab positions; the radio buttons follow their box.
// Labels and the group box take no focus, so only the controls that do are in the chain.
TEST_F(WindowControls, TabOrderWithinEachPage)
{
    const std::vector<QString> expectedMain = {"connectButton", "portselector", "stopButton"};
    const std::vector<QString> expectedPrefs = {
        "savePrefs", "blockPower", "blockProgram", "limitA", "maxA", "limitB", "maxB",
        "monitor10", "monitor10", "monitor10", "exitPrefs", "slaveTimeout", "timeoutMinutes"};

    std::vector<QString> chain[2];
    std::vector<QRadioButton *> radios;
    QWidget *start = window->bridgeUI();
    for (QWidget *w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain()) {
        const int page = pageOf(*window, w);
        if (page == noPage || w->objectName().isEmpty() || w->focusPolicy() == Qt::NoFocus)
            continue;
        chain[page].push_back(w->objectName());
        if (auto *radio = qobject_cast<QRadioButton *>(w))
            radios.push_back(radio);
    }
    EXPECT_EQ(chain[0], expectedMain);
    EXPECT_EQ(chain[1], expectedPrefs);
    EXPECT_EQ(radios, (std::vector<QRadioButton *>{window->monitor10(0), window->monitor10(1), window->monitor10(2)}));
}

TEST_F(WindowControls, AccessorsLookTheirControlUpAtEveryCall)
{
    delete window->stopButton();
    EXPECT_EQ(window->stopButton(), nullptr);
    delete window->monitor10(1);
    EXPECT_EQ(window->monitor10(1), nullptr);
    EXPECT_NE(window->monitor10(0), nullptr);
    EXPECT_NE(window->monitor10(2), nullptr);
}

} // namespace
