#pragma once
// A bridge window on a real unit port (the Q6 simulator on a pseudo-terminal) and a real relay
// link (the TLS test relay, certificate checks on), brought to "relay up" through its own
// Connected handler; tests then set the state flags they need by hand.

#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "support/q6_simulator.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "window/kelvo_bridge.h"

#include <QColor>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QIcon>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray &bytes, std::ostream *out) { *out << '"' << bytes.toStdString() << '"'; }

namespace bridgetest {

// The colour name of the lamp drawn on the Connect button, "none" without one.
inline QString lampOf(const KelvoBridge &window)
{
    const QIcon icon = window.connectButton()->icon();
    if (icon.isNull())
        return QStringLiteral("none");
    const QRgb centre = icon.pixmap(QSize(40, 40)).toImage().pixel(27, 21) & 0xFFFFFF;
    switch (centre) {
    case 0xBC0002: return QStringLiteral("red");
    case 0xDE7D04: return QStringLiteral("amber");
    case 0x48EC2D: return QStringLiteral("green");
    case 0x9E9FA3: return QStringLiteral("grey");
    default: return QStringLiteral("other");
    }
}

// The log's entries as "TAG|text", without the time stamp; a text that holds line ends stays
// one entry.
inline QStringList logEntries(const QString &dateText)
{
    QStringList entries;
    logwindow *log = logwindow::openInstance();
    if (!log)
        return entries;
    log->appendPendingLines();
    const QString stamp = u' ' + dateText + QStringLiteral(": ");
    for (const QString &line : log->activityLog()->toPlainText().split(u'\n', Qt::SkipEmptyParts)) {
        if (line.mid(7, stamp.size()) == stamp || entries.isEmpty())
            entries << line.left(7) + u'|' + line.mid(7 + stamp.size());
        else
            entries.back() += u'\n' + line;
    }
    return entries;
}

inline void clearLog()
{
    if (logwindow *log = logwindow::openInstance())
        log->clearLog_Action();
}

// Spins the event loop until the condition holds; false when the time runs out.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

// The window with the simulator's port listed and chosen and the relay listening, the link
// still down: the tests drive it through its own buttons from Idle.
class BridgeOnRealLinks : public ::testing::Test {
protected:
    explicit BridgeOnRealLinks(TlsTestRelay::Certificate certificate = TlsTestRelay::Certificate::Trusted)
        : relay(certificate)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(relay.listen());
        services.ports = {unit.listedName()};
        window = std::make_unique<KelvoBridge>();
        window->relaySettings = relay.settings();
        window->portselector()->clear();
        window->portselector()->addItem(unit.listedName());
        window->portselector()->setCurrentIndex(0);
        window->logging = true;
        clearLog();
    }

    void TearDown() override
    {
        window.reset();
        clearLog();
    }

    // Services first: the window uses the scripted ones from the start.
    ScriptedServices services;
    TlsTestRelay relay;
    Q6Simulator unit;
    std::unique_ptr<KelvoBridge> window;
};

class LinkedBridge : public ::testing::Test {
protected:
    ScriptedServices services;
    TlsTestRelay relay;
    Q6Simulator unit;
    std::unique_ptr<KelvoBridge> window;

    void SetUp() override
    {
        ASSERT_TRUE(relay.listen());
        window = std::make_unique<KelvoBridge>();
        window->relaySettings = relay.settings();
        window->logging = true;
        platform::SerialPort *port = window->kelvoserial();
        port->setSerialPort(unit.portPath());
        ASSERT_TRUE(port->Open());
        platform::TlsSocket *socket = window->kelvoconnect();
        socket->Address = TlsTestRelay::host();
        socket->Port = relay.port();
        socket->setExtraCaCertificates(TlsTestRelay::caCertificates());
        socket->Connect();
        ASSERT_TRUE(relay.waitForLineMatching(QRegularExpression(QStringLiteral("^;getkey:"))));
        ASSERT_TRUE(window->serverconnected);
        // The unit has answered since Connect, and its last status line is fresh.
        window->itsAlive = true;
        relay.clearRecords();
        unit.clearRecords();
        clearLog();
    }

    void TearDown() override
    {
        window.reset();
        clearLog();
    }

    // One read from the relay: sends the text and waits until the handler has run on it.
    void deliver(const QByteArray &text)
    {
        QSignalSpy handled(window->kelvoconnect(), &platform::TlsSocket::dataAvailable);
        ASSERT_TRUE(relay.send(text));
        ASSERT_TRUE(handled.wait(5000)) << text.constData();
    }

    // Levels as a status line reports them, which also resets the filter's memory.
    void reportLevels(qint64 a, qint64 b)
    {
        window->levelA = a;
        window->levelB = b;
        window->filterMemory.levelsReported = true;
    }

    void startPing()
    {
        window->ping()->setMode(platform::Timer::modeMultiple);
        window->ping()->setEnabled(true);
    }

    // Gives stray bytes time to arrive, for checks that something did not happen.
    static void settle() { QTest::qWait(80); }

    [[nodiscard]] QStringList log() const { return logEntries(services.dateText); }
    [[nodiscard]] QString lamp() const { return lampOf(*window); }
};

} // namespace bridgetest
