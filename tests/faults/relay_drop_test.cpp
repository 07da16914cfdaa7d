// The relay connection lost in each link state, or refused for its certificate: one network
// error in the log, ping stopped, the unit's outputs switched off only if a remote user was
// linked, nothing sent on an unverified connection, and the button brings the bridge back to a
// working relay link with a new key.

#include "fault_bridge.h"

#include <QAbstractSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

using faulttest::FaultBridge;

const QString networkErrorPrefix = QStringLiteral(" ERROR |Network error ");

enum class DropIn { RelayPending, RelayUp, RemoteControl };

struct DropCase {
    const char *name;
    DropIn state;
    bool linked;         // a remote user was linked when the link broke
    int pressesToRelay;  // presses that bring a working relay link back (the last one connects)
};

void PrintTo(const DropCase &c, std::ostream *out) { *out << c.name; }

// A relay end that takes each TCP connection and drops it before any handshake.
class DroppingServer : public QObject {
public:
    DroppingServer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++accepted;
                received += socket->readAll();
                socket->abort();
                socket->deleteLater();
            }
        });
    }
    QTcpServer server;
    int accepted = 0;
    QByteArray received;
};

class RelayDrop : public FaultBridge, public ::testing::WithParamInterface<DropCase> {
protected:
    // The one network error line so far; its code is a number.
    void expectOneNetworkError()
    {
        ASSERT_TRUE(faulttest::waitUntil([this] { return !logStartingWith(networkErrorPrefix).isEmpty(); }))
            << log().join(u'\n').toStdString();
        QTest::qWait(100); // room for a second report, which must not come
        const QStringList errors = logStartingWith(networkErrorPrefix);
        ASSERT_EQ(errors.size(), 1) << errors.join(u'\n').toStdString();
        bool numeric = false;
        errors.front().mid(networkErrorPrefix.size()).toInt(&numeric);
        EXPECT_TRUE(numeric) << errors.front().toStdString();
        EXPECT_FALSE(window->ping()->Enabled());
        EXPECT_FALSE(window->ping()->isArmed());
    }
};

TEST_P(RelayDrop, OneErrorPingStoppedOutputsOffOnlyIfLinkedAndTheButtonRecovers)
{
    const DropCase c = GetParam();
    DroppingServer dropper;
    switch (c.state) {
    case DropIn::RelayPending:
        ASSERT_TRUE(dropper.server.listen(QHostAddress::LocalHost, 0));
        services.port = dropper.server.serverPort();
        // The drop can come at once: records are cleared before it, not after.
        bridgetest::clearLog();
        unit.clearRecords();
        press();
        ASSERT_TRUE(unit.waitForCommand("S"));
        ASSERT_TRUE(faulttest::waitUntil([&] { return dropper.accepted == 1; }));
        break;
    case DropIn::RelayUp:
        connectToRelay();
        ASSERT_FALSE(HasFatalFailure());
        exchangeKey("ABCD-EFGH-IJKL-MN");
        break;
    case DropIn::RemoteControl:
        bringUpRemoteControl();
        break;
    }
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(window->linked, c.linked);
    const bool relayWasUp = window->serverconnected;
    if (c.state != DropIn::RelayPending) {
        bridgetest::clearLog();
        unit.clearRecords();
        relay.clearRecords();
    }

    if (c.state != DropIn::RelayPending)
        relay.dropConnection();
    expectOneNetworkError();
    ASSERT_FALSE(HasFatalFailure());

    // Outputs off when, and only when, a remote user had them.
    QTest::qWait(50);
    EXPECT_EQ(unit.commands().count("K"), c.linked ? 1 : 0) << unit.received().toStdString();
    // Nothing else changes until the user acts.
    EXPECT_EQ(window->serverconnected, relayWasUp);
    EXPECT_TRUE(window->kelvoserial()->isOpen());
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(dropper.received.isEmpty());

    // Presses until the one that connects again; the relay gets its key request on a new
    // connection and the key exchange runs afresh.
    services.port = relay.port();
    for (int i = 1; i < c.pressesToRelay; ++i) {
        press();
        EXPECT_FALSE(window->linked) << "press " << i;
    }
    EXPECT_FALSE(window->serverconnected) << "the presses before the last must leave the relay link down";
    if (c.pressesToRelay > 1) {
        EXPECT_FALSE(window->kelvoserial()->isOpen()) << "reset before the connecting press";
    }
    connectToRelay();
    ASSERT_FALSE(HasFatalFailure());
    exchangeKey("NEWK-EYNE-WKEY-NE");
    EXPECT_TRUE(window->ping()->isArmed());
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Disconnect"));
    EXPECT_FALSE(relay.bytesWithoutHandshake());

    // And the road works: a remote user, a command through to the unit.
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    ASSERT_TRUE(relay.send("B7"));
    EXPECT_TRUE(unit.waitForCommand("B7"));
}

INSTANTIATE_TEST_SUITE_P(EachLinkState, RelayDrop,
                         ::testing::Values(DropCase{"RelayPending", DropIn::RelayPending, false, 1},
                                           DropCase{"RelayUp", DropIn::RelayUp, false, 2},
                                           DropCase{"RemoteControl", DropIn::RemoteControl, true, 3}),
                         [](const auto &info) { return std::string(info.param.name); });

// A relay whose certificate does not verify gets nothing; once it presents a good one, Connect
// gets the bridge through.
class BadCertificate : public FaultBridge, public ::testing::WithParamInterface<TlsTestRelay::Certificate> {
protected:
    BadCertificate() : FaultBridge(GetParam()) {}
};

TEST_P(BadCertificate, NothingIsSentThePingStopsAndConnectRecoversOnceTheCertificateIsGood)
{
    press();
    ASSERT_TRUE(unit.waitForCommand("S"));
    const QString error = networkErrorPrefix + QString::number(QAbstractSocket::SslHandshakeFailedError);
    ASSERT_TRUE(faulttest::waitUntil([&] { return log().contains(error); })) << log().join(u'\n').toStdString();
    QTest::qWait(100);
    EXPECT_EQ(logStartingWith(networkErrorPrefix).size(), 1);
    EXPECT_TRUE(relay.received().isEmpty());
    EXPECT_FALSE(relay.bytesWithoutHandshake());
    EXPECT_EQ(relay.encryptedCount(), 0);
    EXPECT_GE(relay.handshakeFailures(), 1);
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->ping()->Enabled());
    EXPECT_FALSE(unit.commands().contains("K"));
    EXPECT_TRUE(services.boxes.empty());

    // The relay fixed; one press (the relay link is still down) connects again.
    relay.setCertificate(TlsTestRelay::Certificate::Trusted);
    ASSERT_TRUE(relay.listen());
    services.port = relay.port();
    connectToRelay();
    ASSERT_FALSE(HasFatalFailure());
    exchangeKey("GOOD-CERT-KEY1-23");
    EXPECT_TRUE(window->ping()->isArmed());
}

INSTANTIATE_TEST_SUITE_P(Untrusted, BadCertificate,
                         ::testing::Values(TlsTestRelay::Certificate::Untrusted,
                                           TlsTestRelay::Certificate::WrongHost),
                         [](const auto &info) {
                             return info.param == TlsTestRelay::Certificate::Untrusted ? std::string("SelfSigned")
                                                                                       : std::string("WrongHost");
                         });

} // namespace
