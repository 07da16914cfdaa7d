// Every text the windows show fits its control at the windows' fixed geometry, in the font the
// control draws it with: the fixed texts, and the longest forms of the texts that change.

#include "core/rules/link_failure_text.h"
#include "core/rules/welcome_text.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "shell/about_window.h"
#include "shell/log_window.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace kelvo;

namespace {

// Port names as long as a listed serial port's gets.
const QString longPortName = QStringLiteral("tty.Bluetooth-Incoming-Port");
// Qt's longest text for a socket error the relay link can end with (a certificate for another host).
const QString longestRelayError =
    QStringLiteral("The host name did not match any of the valid hosts for this certificate");

// The room a control gives its text, in the control's own coordinates, and whether the text
// wraps there.
struct TextRoom {
    QRect rect;
    bool wraps = false;
};

[[nodiscard]] QStyleOptionButton buttonOption(const QAbstractButton &button, const QString &text)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = text;
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    return option;
}

// The area inside the first child's top edge (the box's title must stay above its controls).
[[nodiscard]] TextRoom groupBoxTitleRoom(const QGroupBox &box, const QString &text)
{
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = text;
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = box.alignment();
    const QRect title =
        box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    int top = box.height();
    for (const QWidget *child : box.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        top = std::min(top, child->y());
    return {QRect(QPoint(title.left(), title.top()), QPoint(box.width() - 1, top - 1))};
}

[[nodiscard]] TextRoom roomOf(const QWidget &control, const QString &text)
{
    const QStyle *style = control.style();
    if (const auto *label = qobject_cast<const QLabel *>(&control)) {
        const int margin = label->margin();
        return {label->contentsRect().adjusted(margin, margin, -margin, -margin), label->wordWrap()};
    }
    if (const auto *check = qobject_cast<const QCheckBox *>(&control)) {
        const QStyleOptionButton option = buttonOption(*check, text);
        return {style->subElementRect(QStyle::SE_CheckBoxContents, &option, check)};
    }
    if (const auto *radio = qobject_cast<const QRadioButton *>(&control)) {
        const QStyleOptionButton option = buttonOption(*radio, text);
        return {style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio)};
    }
    if (const auto *button = qobject_cast<const QPushButton *>(&control)) {
        const QStyleOptionButton option = buttonOption(*button, text);
        QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        // The icon and its gap sit beside the caption.
        if (!button->icon().isNull())
            room.setLeft(room.left() + button->iconSize().width() + 4);
        return {room};
    }
    if (const auto *list = qobject_cast<const QComboBox *>(&control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.currentText = text;
        option.editable = list->isEditable();
        option.frame = list->hasFrame();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, list);
        return {field.adjusted(1, 0, -1, 0)}; // where the style draws the current row
    }
    if (const auto *field = qobject_cast<const QLineEdit *>(&control)) {
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
        const QRect contents = style->subElementRect(QStyle::SE_LineEditContents, &option, field)
                                   .marginsRemoved(field->textMargins());
        return {contents.adjusted(2, 1, -2, -1)}; // the field's own inner margins
    }
    if (const auto *box = qobject_cast<const QGroupBox *>(&control))
        return groupBoxTitleRoom(*box, text);
    ADD_FAILURE() << "no rule for " << control.metaObject()->className();
    return {};
}

// How the text overflows its control, or empty when it fits.
[[nodiscard]] std::string overflow(const QWidget &control, const QString &text)
{
    const TextRoom room = roomOf(control, text);
    const QFontMetrics metrics(control.font());
    const int flags = Qt::AlignLeft | Qt::AlignTop | (room.wraps ? Qt::TextWordWrap : 0);
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, room.rect.width(), 100'000), flags, text);
    if (needed.width() <= room.rect.width() && needed.height() <= room.rect.height())
        return {};
    return QStringLiteral("\"%1\" needs %2 x %3 px, %4 has %5 x %6 (font %7 px)")
        .arg(text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(control.objectName())
        .arg(room.rect.width())
        .arg(room.rect.height())
        .arg(QFontInfo(control.font()).pixelSize())
        .toStdString();
}

// The widest of the characters, in the control's font, repeated.
[[nodiscard]] QString widest(const QWidget &control, QStringView characters, int count)
{
    const QFontMetrics metrics(control.font());
    QChar wide = characters.front();
    for (const QChar c : characters)
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(wide))
            wide = c;
    return QString(count, wide);
}

// A firmware version of ten characters, of the widest digits: "88.888.888".
[[nodiscard]] QString tenCharacterVersion(const QWidget &control)
{
    const QString digit = widest(control, u"0123456789", 1);
    return digit.repeated(2) + u'.' + digit.repeated(3) + u'.' + digit.repeated(3);
}

// The platform's date-and-time text at its widest over a year, in the control's font.
[[nodiscard]] QString widestDateTimeText(const QWidget &control)
{
    const QFontMetrics metrics(control.font());
    QString widestText;
    for (QDate day(2026, 1, 1); day.year() == 2026; day = day.addDays(1))
        for (const QTime time : {QTime(9, 9, 9), QTime(12, 59, 59), QTime(23, 59, 59)}) {
            const QString text = platform::dateTimeText(QDateTime(day, time));
            if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(widestText))
                widestText = text;
        }
    return widestText;
}

struct Shown {
    QWidget *control;
    std::vector<QString> texts;
};

void expectAllFit(const std::vector<Shown> &table)
{
    for (const Shown &shown : table) {
        ASSERT_NE(shown.control, nullptr);
        // Sized in pixels, so the fit holds whatever the screen's dots per inch.
        EXPECT_GT(shown.control->font().pixelSize(), 0) << shown.control->objectName().toStdString();
        for (const QString &text : shown.texts)
            EXPECT_EQ(overflow(*shown.control, text), "");
    }
}

class TextFit : public ::testing::Test {
protected:
    void SetUp() override
    {
        services.ports = {QStringLiteral("ttyUSB0"), longPortName};
        window = std::make_unique<KelvoBridge>();
        window->Event_Open(); // the lamp on Connect, the wide port list, the welcome text
    }
    void TearDown() override
    {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ScriptedServices services;
    std::unique_ptr<KelvoBridge> window;
};

TEST_F(TextFit, MainPage)
{
    KelvoBridge &w = *window;
    QLabel *key = w.connectionKey();
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    expectAllFit({
        {w.connectButton(), {QStringLiteral("Connect"), QStringLiteral("Disconnect")}},
        {w.portselector(), {QStringLiteral("ttyUSB0"), longPortName}},
        {w.serverinfo(),
         {QStringLiteral("Not connected"), QStringLiteral("Connected to server"),
          QStringLiteral("Server connection ok at ") + widestDateTimeText(*w.serverinfo()),
          QStringLiteral("Remote control established"),
          QStringLiteral("Waiting for a new connection"), QStringLiteral("Waiting for a connection"),
          QStringLiteral("Getting a new key"), kelvo::relayLostText({}).status,
          kelvo::relayNotReachedText({}).status, kelvo::relayErrorText().status,
          QStringLiteral("Checking port ") + longPortName,
          QStringLiteral("Found a Q6 on ") + longPortName, QStringLiteral("Scan completed")}},
        {w.infoLabel(),
         {welcomeText(),
          QStringLiteral("Share the connection key below to allow someone to control your Q6. "
                         "Click on the key to copy it to the clipboard."),
          // The longest of Qt's reasons for a relay link that failed.
          kelvo::relayNotReachedText(longestRelayError).explanation,
          kelvo::relayLostText(longestRelayError).explanation, kelvo::relayErrorText().explanation}},
        {w.stopButton(), {QStringLiteral("OFF")}},
        {key,
         {QStringLiteral("ABCDEFGHIJKLMNOP"), widest(*key, letters, 16),
          widest(*key, u"0123456789", 16)}},
        {w.version(), {QStringLiteral("2.107"), tenCharacterVersion(*w.version())}},
    });
}

TEST_F(TextFit, PreferencesPage)
{
    KelvoBridge &w = *window;
    const QString threeDigits = QStringLiteral("100");
    expectAllFit({
        {w.savePrefs(), {QStringLiteral("Save")}},
        {w.prefsIntro(),
         {QStringLiteral("You can use the options on this screen to limit what a remote user can "
                         "do with your Q6. Select your options, then click Save.")}},
        {w.blockPower(), {QStringLiteral("Prevent power level change")}},
        {w.blockProgram(), {QStringLiteral("Prevent program mode change")}},
        {w.limitA(), {QStringLiteral("Set maximum level for channel A")}},
        {w.maxA(), {threeDigits}},
        {w.limitB(), {QStringLiteral("Set maximum level for channel B")}},
        {w.maxB(), {threeDigits}},
        {w.prefsNotes(),
         {QStringLiteral("To set a maximum level, your Q6 must have firmware 2.107 or later")}},
        {w.GroupBox1(), {QStringLiteral("Monitor Q6 controls")}},
        {w.monitor10(0), {QStringLiteral("Off")}},
        {w.monitor10(1), {QStringLiteral("every 5 secs")}},
        {w.monitor10(2), {QStringLiteral("every 10 secs")}},
        {w.exitPrefs(), {QStringLiteral("Cancel")}},
        {w.slaveTimeout(), {QStringLiteral("Switch off after timeout (minutes)")}},
        {w.timeoutMinutes(), {threeDigits}},
    });
}

TEST_F(TextFit, LogWindow)
{
    logwindow &log = *logwindow::instance();
    expectAllFit({
        {log.Label1(), {log.Label1()->text()}},
        {log.copyLog(), {QStringLiteral("Copy complete log to clipboard")}},
        {log.clearLog(), {QStringLiteral("Clear log")}},
    });
}

TEST_F(TextFit, AboutWindow)
{
    about &window = *about::instance();
    expectAllFit({
        {window.Label1(), {window.Label1()->text()}},
        {window.version(), {window.version()->text(), versionLine(10, 10, 10, 10000)}},
        {window.url(), {window.url()->text()}},
    });
}

// The message that names a found port is a real box; its text is all in view.
TEST_F(TextFit, ScanMessageWithALongPortName)
{
    const QString text = QStringLiteral("Scan completed. Your Q6 is connected to ") + longPortName;
    std::string seen = "no box";
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            seen = label->text() == text ? overflow(*label, text) : "another text";
        box->accept();
    });
    platform::Dialogs().msgBox(text);
    EXPECT_EQ(seen, "");
}

} // namespace
