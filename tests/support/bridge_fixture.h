#pragma once
// The bridge window on real links: the Q6 simulator on a pseudo-terminal and the TLS test
// relay with certificate checks on. Three starting points: Idle as a plain object
// (BridgeFixture) and as a test fixture driven through its button (BridgeOnRealLinks), and
// the relay link already up through the socket (LinkedBridge).

#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "support/bridge_readers.h"
#include "support/q6_simulator.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "support/wait.h"
#include "window/kelvo_bridge.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for the texts these tests compare.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray &bytes, std::ostream *out) { *out << '"' << bytes.toStdString() << '"'; }

namespace test {

// What the bridge asks the relay for once the link is up.
[[nodiscard]] QByteArray keyRequest();

inline const QString noResponseText = QStringLiteral(
    "No response from the Q6. Please check the connection then click Retry, or click Cancel to disconnect");

// The window and both links, with the readers every bridge test uses; the starting points
// below set them up.
class RealLinks {
public:
    explicit RealLinks(TlsTestRelay::Certificate certificate = TlsTestRelay::Certificate::Trusted);
    ~RealLinks();
    RealLinks(const RealLinks &) = delete;
    RealLinks &operator=(const RealLinks &) = delete;

    // The relay listening, the window built with the simulator's port listed and chosen, the
    // link down and the log on and empty; false when the relay does not listen.
    [[nodiscard]] bool openIdle();
    // The window gone, the log emptied for the next test (the log window is shared).
    void closeWindow();

    // The unit's port opened directly, as Connect leaves it, without Connect's other steps.
    [[nodiscard]] bool openUnitPort();
    // Unit port open and the relay link up through the real handlers, the key request
    // received by the relay; records of both ends and the log emptied afterwards.
    [[nodiscard]] bool bringRelayUp();

    [[nodiscard]] QStringList log() const { return logEntries(services.dateText); }
    [[nodiscard]] qsizetype logCount(const QString &entry) const { return log().count(entry); }
    [[nodiscard]] QStringList logStartingWith(const QString &prefix) const;
    static void clearLog() { test::clearLog(); }
    [[nodiscard]] QString lamp() const { return lampOf(*window); }
    // Whole seconds on the scripted clock.
    [[nodiscard]] qint64 clockSeconds() const { return qint64(services.clock); }

    // Declared first: the window and its sockets use the scripted services from the start.
    ScriptedServices services;
    TlsTestRelay relay;
    Q6Simulator unit;
    std::unique_ptr<KelvoBridge> window;
};

// Idle as a plain object, for tests that build more than one.
class BridgeFixture : public RealLinks {
public:
    explicit BridgeFixture(TlsTestRelay::Certificate certificate = TlsTestRelay::Certificate::Trusted);
};

// Idle as a test fixture; the tests drive the window through its own button from there.
class BridgeOnRealLinks : public ::testing::Test, public RealLinks {
protected:
    explicit BridgeOnRealLinks(TlsTestRelay::Certificate certificate = TlsTestRelay::Certificate::Trusted)
        : RealLinks(certificate)
    {
    }

    void SetUp() override { ASSERT_TRUE(openIdle()); }
    void TearDown() override { closeWindow(); }

    void press() { window->connectButton()->click(); }

    // Connect pressed from a state with the relay link down, up to the key request on a new
    // connection of the relay.
    void connectToRelay();
    // The relay issues a key and gets the bridge's wait reply.
    void exchangeKey(const QByteArray &key);
    // Relay up with a key, then a remote user linked whose first status line reached the relay.
    void bringUpRemoteControl(const QByteArray &key = "ABCD-EFGH-IJKL-MN");

    // One tick of the ping timer, the clock moved on by its period first.
    void tick();
    [[nodiscard]] qsizetype noResponseBoxes() const;
};

// The unit's port open and the relay link up through the socket's own Connect, the unit
// counted as answering; tests then set the state flags they need by hand.
class LinkedBridge : public ::testing::Test, public RealLinks {
protected:
    void SetUp() override;
    void TearDown() override { closeWindow(); }

    // One read from the relay: sends the text and waits until the handler has run on it.
    void deliver(const QByteArray &text);
    // Levels as a status line reports them, which also resets the filter's memory.
    void reportLevels(qint64 a, qint64 b);
    void startPing();
    // Gives stray bytes time to arrive, for checks that something did not happen.
    static void settle() { QTest::qWait(80); }
};

} // namespace test
