#pragma once
// A bridge window wired to a real Q6 simulator on a pseudo-terminal and a real TLS relay with
// certificate checks on, with the connection log read back as "tag|text" entries.

#include "window/kelvo_bridge.h"

#include "build_settings.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "support/q6_simulator.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "window/status_lamp.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for the texts these tests compare.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}

namespace bridgetest {

// Spins the event loop one pass at a time, so a state that lasts only a few passes is seen.
template <typename Condition>
bool spinUntil(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// Whether the Connect button shows the lamp in that colour.
[[nodiscard]] inline bool lampIs(const KelvoBridge &window, const QString &colour)
{
    const QImage shown = window.connectButton()->icon().pixmap(QSize(40, 40)).toImage();
    return !shown.isNull()
        && shown.convertToFormat(QImage::Format_ARGB32)
        == lampPicture(colour).toImage().convertToFormat(QImage::Format_ARGB32);
}

class BridgeFixture {
public:
    explicit BridgeFixture(TlsTestRelay::Certificate certificate = TlsTestRelay::Certificate::Trusted)
        : relay(certificate)
    {
        if (!relay.listen())
            ADD_FAILURE() << "test relay does not listen";
        services.ports = {unit.listedName()};
        window = std::make_unique<KelvoBridge>();
        window->relaySettings = relay.settings();
        window->portselector()->addItem(unit.listedName());
        window->logging = true;
        logwindow::instance()->clearLog_Action();
    }
    ~BridgeFixture()
    {
        // The log window is shared by every test of the process: leave it empty.
        if (logwindow *log = logwindow::openInstance())
            log->clearLog_Action();
    }

    // Every log line so far as "tag|text", the date taken out.
    [[nodiscard]] QStringList logged() const
    {
        QStringList entries;
        const qsizetype prefix = 7 + 1 + services.dateText.size() + 2;
        logwindow &log = *logwindow::instance();
        log.appendPendingLines();
        const QStringList lines = log.activityLog()->toPlainText().split(u'\n');
        for (const QString &line : lines)
            if (!line.isEmpty())
                entries << line.left(7) + u'|' + line.mid(prefix);
        return entries;
    }
    void clearLog() { logwindow::instance()->clearLog_Action(); }

    // The unit's port opened directly, as Connect leaves it, without Connect's other steps.
    [[nodiscard]] bool openUnitPort()
    {
        window->kelvoserial()->setSerialPort(unit.portPath());
        return window->kelvoserial()->Open();
    }

    // Unit port open and the relay link up through the real handlers, the key request
    // received by the relay; records of both ends and the log emptied afterwards.
    [[nodiscard]] bool bringRelayUp()
    {
        if (!openUnitPort())
            return false;
        window->itsAlive = true;
        window->createServerConnection();
        const QByteArray keyRequest = ";getkey:Kelvo Connect build " + QByteArray::number(buildSettings::buildNumber);
        if (!spinUntil([this] { return window->serverconnected; }) || !relay.waitForLine(keyRequest))
            return false;
        relay.clearRecords();
        unit.clearRecords();
        clearLog();
        return true;
    }

    // Declared first: the window uses the scripted services from the start.
    ScriptedServices services;
    Q6Simulator unit;
    TlsTestRelay relay;
    std::unique_ptr<KelvoBridge> window;
};

} // namespace bridgetest
