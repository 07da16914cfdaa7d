// Texts from outside in the one-line labels (status text, key, firmware version): a text too long
// for its label, or of several lines, shows on one line cut with an ellipsis, and whole, as plain
// text, in the label's tooltip; a text that fits shows as it is, with no tooltip.

#include "support/scripted_services.h"
#include "window/eliding_label.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QTextDocument>
#include <QToolTip>

#include <gtest/gtest.h>


namespace {

// The tooltip's text as the user reads it, or empty when none shows.
[[nodiscard]] std::string tooltipOver(QLabel &label)
{
    QToolTip::hideText();
    const QPoint at = label.rect().center();
    QHelpEvent help(QEvent::ToolTip, at, label.mapToGlobal(at));
    QApplication::sendEvent(&label, &help);
    if (!help.isAccepted()) // nothing to show
        return {};
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    return shown.toPlainText().toStdString();
}

struct OutsideText {
    const char *text;
    const char *shownStart; // how the one line shown begins
    bool whole;             // shown whole, with no tooltip
    const char *tooltip;    // the tooltip's text when not whole
};

const OutsideText outsideTexts[] = {
    {"Server connection ok at 10 Dec 2026 13:45:09", "Server connection ok at 10 Dec 2026 13:45:09",
     true, ""},
    {"<b>Maintenance</b>\r\ntonight", "<b>Maintenance</b> tonight", false,
     "<b>Maintenance</b>\ntonight"},
    {"Server message: the relay restarts at midnight, please reconnect afterwards",
     "Server message: the relay", false,
     "Server message: the relay restarts at midnight, please reconnect afterwards"},
};

TEST(ElidingLabel, StatusTextFromTheRelay)
{
    ScriptedServices services;
    KelvoBridge window;
    window.show();
    auto *label = qobject_cast<ElidingLabel *>(window.serverinfo());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    const QFontMetrics metrics(label->font());
    for (const OutsideText &outside : outsideTexts) {
        SCOPED_TRACE(outside.text);
        label->setText(QString::fromUtf8(outside.text));
        const QString shown = label->shownText();
        EXPECT_EQ(label->text(), QString::fromUtf8(outside.text)); // the whole text is kept
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8(outside.shownStart))) << shown.toStdString();
        EXPECT_FALSE(shown.contains(u'\n'));
        EXPECT_LE(metrics.horizontalAdvance(shown), label->contentsRect().width());
        EXPECT_EQ(shown == label->text(), outside.whole);
        EXPECT_EQ(tooltipOver(*label), outside.tooltip);
    }
    QToolTip::hideText();
}

// The key and the firmware version are texts from outside too, in labels of their own.
TEST(ElidingLabel, KeyAndVersionAreCutRatherThanClipped)
{
    ScriptedServices services;
    KelvoBridge window;
    for (QLabel *label : {window.connectionKey(), window.version()}) {
        SCOPED_TRACE(label->objectName().toStdString());
        auto *eliding = qobject_cast<ElidingLabel *>(label);
        ASSERT_NE(eliding, nullptr);
        const QString tooLong(40, u'W');
        label->setText(tooLong);
        EXPECT_TRUE(eliding->shownText().endsWith(QChar(0x2026)));
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(eliding->shownText()),
                  label->contentsRect().width());
        EXPECT_EQ(tooltipOver(*label), tooLong.toStdString());
    }
    QToolTip::hideText();
}

} // namespace
