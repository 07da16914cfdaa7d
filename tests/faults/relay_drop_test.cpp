// The relay connection lost in each link state, its host not found, refused, or refused for its
// certificate: one network error in the log, ping stopped, the unit's outputs switched off only
// if a remote user was linked, nothing sent on an unverified connection, the reason shown in the
// status text, a link that was up back to the disconnected state, and one press of the button
// brings the bridge back to a working relay link with a new key.

#include "support/bridge_fixture.h"

#include "core/rules/link_failure_text.h"

#include <QAbstractSocket>
#include <QTcpServer>
#include <QRadioButton>
#include <QTcpSocket>

namespace {

using test::BridgeOnRealLinks;

const QString networkErrorPrefix = QStringLiteral(" ERROR |Network error ");

enum class DropIn { HostNotFound, Refused, RelayPending, RelayUp, RemoteControl };

struct DropCase {
    const char *name;
    DropIn state;
    bool linked;        // a remote user was linked when the link broke
    bool wasUp;         // the link had been up (lost) rather than never reached
    const char *reason; // Qt's words, shown whole in the instruction text
};

const char *const remoteClosed = "The remote host closed the connection";

// What the window says after the relay link failed: a short status text, the reason above it.
void expectFailureShown(const KelvoBridge &window, bool wasUp, const QString &reason)
{
    const kelvo::LinkFailureText expected = wasUp ? kelvo::relayLostText(reason) : kelvo::relayNotReachedText(reason);
    EXPECT_EQ(window.serverinfo()->text(), expected.status);
    EXPECT_EQ(window.infoLabel()->text(), expected.explanation);
    EXPECT_TRUE(expected.explanation.contains(reason));
}

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

class RelayDrop : public BridgeOnRealLinks, public ::testing::WithParamInterface<DropCase> {
protected:
    // The one network error line so far; its code is a number.
    void expectOneNetworkError()
    {
        ASSERT_TRUE(test::waitUntil([this] { return !logStartingWith(networkErrorPrefix).isEmpty(); }))
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
    case DropIn::HostNotFound:
        // A name that never resolves (".invalid" is reserved for that).
        window->relaySettings.host = QStringLiteral("kelvo-relay.invalid");
        test::clearLog();
        unit.clearRecords();
        press();
        ASSERT_TRUE(unit.waitForCommand("S"));
        break;
    case DropIn::Refused: {
        // A port where nothing listens any more.
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        window->relaySettings.port = closed.serverPort();
        closed.close();
        test::clearLog();
        unit.clearRecords();
        press();
        ASSERT_TRUE(unit.waitForCommand("S"));
        break;
    }
    case DropIn::RelayPending:
        ASSERT_TRUE(dropper.server.listen(QHostAddress::LocalHost, 0));
        window->relaySettings.port = dropper.server.serverPort();
        // The drop can come at once: records are cleared before it, not after.
        test::clearLog();
        unit.clearRecords();
        press();
        ASSERT_TRUE(unit.waitForCommand("S"));
        ASSERT_TRUE(test::waitUntil([&] { return dropper.accepted == 1; }));
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
    if (relayWasUp) {
        test::clearLog();
        unit.clearRecords();
        relay.clearRecords();
        relay.dropConnection();
    }
    expectOneNetworkError();
    ASSERT_FALSE(HasFatalFailure());

    // Outputs off when, and only when, a remote user had them.
    QTest::qWait(50);
    EXPECT_EQ(unit.commands().count("K"), c.linked ? 1 : 0) << unit.received().toStdString();
    // The user sees why; no box.
    expectFailureShown(*window, c.wasUp, QString::fromLatin1(c.reason));
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->linked);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(dropper.received.isEmpty());
    if (relayWasUp) {
        // Back to the disconnected state, with nothing towards the closed relay.
        EXPECT_FALSE(window->kelvoserial()->isOpen());
        EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
        EXPECT_EQ(lamp(), QStringLiteral("red"));
        EXPECT_TRUE(window->connectionKey()->text().isEmpty());
        EXPECT_FALSE(window->stopButton()->isVisibleTo(window.get()));
        EXPECT_TRUE(window->portselector()->isEnabled());
        EXPECT_EQ(logStartingWith(QStringLiteral(">SERVER|")), QStringList{});
    } else {
        // Never reached: the unit's port stays open for the next press.
        EXPECT_TRUE(window->kelvoserial()->isOpen());
        EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
    }

    // One press connects again; the relay gets its key request on a new connection and the
    // key exchange runs afresh.
    window->relaySettings = relay.settings();
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
                         ::testing::Values(DropCase{"HostNotFound", DropIn::HostNotFound, false, false,
                                                    "Host not found"},
                                           DropCase{"Refused", DropIn::Refused, false, false,
                                                    "Connection refused"},
                                           DropCase{"RelayPending", DropIn::RelayPending, false, false,
                                                    remoteClosed},
                                           DropCase{"RelayUp", DropIn::RelayUp, false, true, remoteClosed},
                                           DropCase{"RemoteControl", DropIn::RemoteControl, true, true, remoteClosed}),
                         [](const auto &info) { return std::string(info.param.name); });

// A relay whose certificate does not verify gets nothing; once it presents a good one, Connect
// gets the bridge through.
class BadCertificate : public BridgeOnRealLinks, public ::testing::WithParamInterface<TlsTestRelay::Certificate> {
protected:
    BadCertificate() : BridgeOnRealLinks(GetParam()) {}
};

TEST_P(BadCertificate, NothingIsSentThePingStopsAndConnectRecoversOnceTheCertificateIsGood)
{
    press();
    ASSERT_TRUE(unit.waitForCommand("S"));
    const QString error = networkErrorPrefix + QString::number(QAbstractSocket::SslHandshakeFailedError);
    ASSERT_TRUE(test::waitUntil([&] { return log().contains(error); })) << log().join(u'\n').toStdString();
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
    // Why, in the words of the certificate check.
    const QString reason = GetParam() == TlsTestRelay::Certificate::Untrusted
        ? QStringLiteral("The certificate is self-signed, and untrusted")
        : QStringLiteral("The host name did not match any of the valid hosts for this certificate");
    expectFailureShown(*window, false, reason);

    // The relay fixed; one press (the relay link is still down) connects again.
    relay.setCertificate(TlsTestRelay::Certificate::Trusted);
    ASSERT_TRUE(relay.listen());
    window->relaySettings.port = relay.port();
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

// The relay link lost while a box of the bridge waits for the user: once answered, the box's
// remaining steps must not show the link up again, nor restart the watch over a disconnected
// bridge.
enum class WaitingBox { NoResponse, RemoteUserGone };

class LostWhileABoxWaits : public BridgeOnRealLinks, public ::testing::WithParamInterface<WaitingBox> {};

TEST_P(LostWhileABoxWaits, TheAnswerLeavesTheBridgeDisconnectedWithTheReason)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    services.onBox = [this](const ScriptedServices::ShownBox &) {
        services.onBox = nullptr;
        const bool wasLinked = window->linked;
        relay.dropConnection();
        ASSERT_TRUE(test::waitUntil([this] { return !window->serverconnected; }));
        // The outputs go off with the link of a remote user still linked; that "K" is no answer.
        if (wasLinked) {
            ASSERT_TRUE(unit.waitForCommand("K"));
        }
        unit.clearRecords();
    };
    if (GetParam() == WaitingBox::NoResponse) {
        // The unit falls silent: the check fires once the last command is 20 s past its
        // last status line (Retry, the default answer, is given).
        unit.setSilent(true);
        window->monitor10(1)->setChecked(true);
        while (services.boxes.empty() && clockSeconds() < window->lastRead + 60)
            tick();
        ASSERT_EQ(noResponseBoxes(), 1);
    } else {
        ASSERT_TRUE(relay.sendCode("400"));
        ASSERT_TRUE(test::waitUntil([this] { return !services.boxes.empty(); }));
    }
    QTest::qWait(50);

    EXPECT_EQ(services.boxes.size(), 1u);
    expectFailureShown(*window, true, QString::fromLatin1(remoteClosed));
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_FALSE(window->ping()->Enabled());
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_TRUE(unit.commands().isEmpty()) << "nothing after the reset";
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
}

INSTANTIATE_TEST_SUITE_P(EachBox, LostWhileABoxWaits,
                         ::testing::Values(WaitingBox::NoResponse, WaitingBox::RemoteUserGone),
                         [](const auto &info) {
                             return info.param == WaitingBox::NoResponse ? std::string("NoResponse")
                                                                         : std::string("RemoteUserGone");
                         });

} // namespace
