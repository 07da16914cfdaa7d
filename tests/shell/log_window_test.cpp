#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/port_list.h"
#include "shell/log_window.h"
#include "window/kelvo_bridge.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>

using namespace kelvo;

namespace {

// A fixed clock text and pointer; clipboard and tooltips recorded; no dialog ever blocks.
class LogServices : public platform::Clock,
                    public platform::Dialogs,
                    public platform::Desktop,
                    public platform::PortList {
public:
    QString dateTimeText() const override { return QStringLiteral("10/12/2026 09:50"); }
    void setClipboardText(const QString &text) override { clipboard = text; }
    void showTooltip(const QPoint &position, const QString &text) override
    {
        tooltipAt = position;
        tooltip = text;
    }
    QPoint pointerPosition() const override { return {300, 200}; }
    QStringList serialPortNames() const override { return {}; }
    void msgBox(const QString &) override {}
    platform::MsgBoxAnswer msgBox(const QString &, platform::MsgBoxCode, const QString &) override
    {
        return platform::MsgBoxAnswer::Cancel;
    }

    QString clipboard = QStringLiteral("untouched");
    QString tooltip;
    QPoint tooltipAt;
};

void deleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class LogWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&services);
        platform::setDialogs(&services);
        platform::setDesktop(&services);
        platform::setPortList(&services);
    }
    void TearDown() override
    {
        if (logwindow *open = logwindow::openInstance())
            open->close();
        if (KelvoBridge *bridge = KelvoBridge::openInstance())
            bridge->close();
        deleteClosedWindows();
        platform::setClock(nullptr);
        platform::setDialogs(nullptr);
        platform::setDesktop(nullptr);
        platform::setPortList(nullptr);
    }
    // The text as the user sees it once control is back in the event loop.
    static QString text()
    {
        logwindow &log = *logwindow::instance();
        log.appendPendingLines();
        return log.activityLog()->toPlainText();
    }
    LogServices services;
};

struct LineCase {
    const char *tag;
    const char *message;
    const char *expected;
};

void PrintTo(const LineCase &line, std::ostream *out)
{
    *out << QByteArray(line.message).toPercentEncoding().constData();
}

class LogLineFormat : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLineFormat, TagDateAndTrimmedMessage)
{
    EXPECT_EQ(logLine(QString::fromLatin1(GetParam().tag), QStringLiteral("DT"),
                      QString::fromLatin1(GetParam().message)),
              QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLineFormat,
    ::testing::Values(LineCase{" STATUS", "  Logging started\r\n", " STATUS DT: Logging started\n"},
                      LineCase{"<SERVER", "one\r\ntwo\rthree\nfour", "<SERVER DT: one\ntwo\nthree\nfour\n"},
                      LineCase{" ERROR ", "", " ERROR  DT: \n"},
                      LineCase{">SERIAL", "\t\r\n \n", ">SERIAL DT: \n"},
                      LineCase{"<SERIAL", "a\r\r\nb", "<SERIAL DT: a\n\nb\n"}));

TEST_F(LogWindow, OpensWithItsSettingsAndAnEmptyLog)
{
    logwindow *window = logwindow::instance();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Connection log"));
    EXPECT_TRUE(window->activityLog()->isReadOnly());
    EXPECT_TRUE(window->activityLog()->toPlainText().isEmpty());
    EXPECT_EQ(window->Label1()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window->Label1()->text(),
              QStringLiteral("The connection log shows communication between Kelvo Connect, your Q6, "
                             "and the Connect server.  You may be asked to send the contents of the "
                             "log to the support team, to help resolve problems."));
    EXPECT_EQ(window->copyLog()->text(), QStringLiteral("Copy complete log to clipboard"));
    EXPECT_EQ(window->clearLog()->text(), QStringLiteral("Clear log"));
    EXPECT_EQ(logwindow::instance(), window);
}

TEST_F(LogWindow, ControlsKeepTheirEdgesWhenResized)
{
    logwindow *window = logwindow::instance();
    EXPECT_EQ(window->activityLog()->geometry(), QRect(33, 81, 547, 277));
    EXPECT_EQ(window->clearLog()->geometry(), QRect(479, 370, 101, 22));
    window->resize(800, 500);
    EXPECT_EQ(window->activityLog()->geometry(), QRect(33, 81, 747, 377));
    EXPECT_EQ(window->Label1()->geometry(), QRect(33, 10, 747, 59));
    EXPECT_EQ(window->copyLog()->geometry(), QRect(33, 470, 219, 22));
    EXPECT_EQ(window->clearLog()->geometry(), QRect(679, 470, 101, 22));
}

// Narrower and lower than its controls' room, the window keeps its own least size and each
// control its edges, the two buttons overlapping.
TEST_F(LogWindow, ShrinksToItsLeastSizeAndControlsKeepTheirEdges)
{
    logwindow *window = logwindow::instance();
    window->resize(300, 150);
    EXPECT_EQ(window->activityLog()->geometry(), QRect(33, 81, 247, 27));
    EXPECT_EQ(window->Label1()->geometry(), QRect(33, 10, 247, 59));
    EXPECT_EQ(window->copyLog()->geometry(), QRect(33, 120, 219, 22));
    EXPECT_EQ(window->clearLog()->geometry(), QRect(179, 120, 101, 22));

    EXPECT_EQ(window->minimumSize(), QSize(64, 64));
    window->resize(64, 64);
    EXPECT_EQ(window->size(), QSize(64, 64));
}

TEST_F(LogWindow, LinesAppendAsPlainTextAndTheNewestIsInView)
{
    logwindow *window = logwindow::instance();
    window->logdata(QStringLiteral(" STATUS"), QStringLiteral("<b>bold?</b>\r\nsecond"));
    EXPECT_EQ(text(), QStringLiteral(" STATUS 10/12/2026 09:50: <b>bold?</b>\nsecond\n"));
    for (int i = 0; i < 200; ++i)
        window->logdata(QStringLiteral(">SERIAL"), QStringLiteral("S"));
    QCoreApplication::processEvents(); // the view follows once control is back in the event loop
    QScrollBar *bar = window->activityLog()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(LogWindow, CopyPutsTheLogWithCarriageReturnsAndShowsTheTooltip)
{
    logwindow *window = logwindow::instance();
    window->logdata(QStringLiteral("<SERVER"), QStringLiteral("a\r\nb"));
    window->logdata(QStringLiteral(" STATUS"), QStringLiteral("c"));
    window->copyLog()->click();
    EXPECT_EQ(services.clipboard,
              QStringLiteral("<SERVER 10/12/2026 09:50: a\rb\r STATUS 10/12/2026 09:50: c\r"));
    EXPECT_EQ(services.tooltip, QStringLiteral("Log data copied to the clipboad"));
    EXPECT_EQ(services.tooltipAt, QPoint(300, 220));

    // Escape and Return press Copy too; an empty log still copies (empty text).
    window->clearLog()->click();
    services.clipboard = QStringLiteral("untouched");
    QTest::keyClick(window->activityLog(), Qt::Key_Escape);
    EXPECT_EQ(services.clipboard, QString());
}

TEST_F(LogWindow, ClearEmptiesTheLogAndTheNextLineStartsAtTheTop)
{
    logwindow *window = logwindow::instance();
    window->logdata(QStringLiteral(" SERIAL"), QStringLiteral("x"));
    window->clearLog()->click();
    EXPECT_TRUE(text().isEmpty());
    window->logdata(QStringLiteral(" SERIAL"), QStringLiteral("y"));
    EXPECT_EQ(text(), QStringLiteral(" SERIAL 10/12/2026 09:50: y\n"));
}

TEST_F(LogWindow, ClosingTurnsLoggingOffAndTheNextUseStartsANewLog)
{
    KelvoBridge *bridge = KelvoBridge::instance();
    bridge->logging = true;
    QPointer<logwindow> first = logwindow::instance();
    first->logdata(QStringLiteral(" STATUS"), QStringLiteral("Logging started"));
    first->close();
    EXPECT_FALSE(bridge->logging);
    EXPECT_EQ(logwindow::openInstance(), nullptr);

    logIfOn(bridge->logging, logwindow::statusTag, QStringLiteral("not written"));
    EXPECT_EQ(logwindow::openInstance(), nullptr);

    logwindow *second = logwindow::instance();
    EXPECT_NE(second, first.data());
    EXPECT_TRUE(second->activityLog()->toPlainText().isEmpty());
    deleteClosedWindows();
    EXPECT_TRUE(first.isNull());

    bridge->logging = true;
    logIfOn(bridge->logging, logwindow::serverOutTag, QStringLiteral(";getkey"));
    EXPECT_EQ(text(), QStringLiteral(">SERVER 10/12/2026 09:50: ;getkey\n"));
}

} // namespace
