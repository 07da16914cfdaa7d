// The two fixtures every later test stands on: the Q6 simulator, seen through the real serial
// port object, and the TLS test relay, seen through a real QSslSocket that checks certificates.

#include "platform/serial_port.h"
#include "support/q6_simulator.h"
#include "support/tls_test_relay.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvo;

namespace {

// A serial port on the simulator that keeps every read apart.
class SimulatorLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isOpen());
        port.setSerialPort(sim.portPath());
        ASSERT_TRUE(port.Open());
        QObject::connect(&port, &platform::SerialPort::dataAvailable, [this] { reads << port.ReadAll(); });
    }

    [[nodiscard]] QByteArray allRead() const { return reads.join(); }
    bool waitForRead(const QByteArray &bytes, int timeoutMs = 3000)
    {
        return QTest::qWaitFor([&] { return allRead() == bytes; }, timeoutMs);
    }
    void sendToUnit(const QByteArray &bytes)
    {
        port.Write(bytes);
        port.Flush();
    }

    Q6Simulator sim;
    platform::SerialPort port;
    QList<QByteArray> reads;
};

QByteArray everyByte()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(static_cast<char>(b));
    return bytes;
}

} // namespace

TEST_F(SimulatorLink, ListsItsSlaveAsAPort)
{
    EXPECT_TRUE(sim.portPath().startsWith("/dev/pts/"));
    EXPECT_EQ(platform::devicePathOf(sim.listedName()), sim.portPath());
}

TEST_F(SimulatorLink, AnswersStatusRequestsWithTheLineSetInEitherEnding)
{
    ASSERT_EQ(sim.statusReply(), QByteArray("600:40:60:0:0:0:0:0:2.107\n"));
    sendToUnit("S\r");
    ASSERT_TRUE(waitForRead("600:40:60:0:0:0:0:0:2.107\n"));

    reads.clear();
    sim.setStatusLine("700:10:20:1:2:3:4:5:2.2");
    sim.setLineEnding(Q6Simulator::LineEnding::CrLf);
    sendToUnit("S\r");
    ASSERT_TRUE(waitForRead("700:10:20:1:2:3:4:5:2.2\r\n"));
    EXPECT_EQ(sim.statusRequests(), 2);
}

TEST_F(SimulatorLink, CarriesEveryByteUnchangedBothWays)
{
    // Raw line: no CR/LF translation, no echo, no flow-control bytes eaten.
    sendToUnit(everyByte());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.received().size() >= 256; }, 3000));
    EXPECT_EQ(sim.received(), everyByte());

    ASSERT_TRUE(sim.send(everyByte()));
    ASSERT_TRUE(waitForRead(everyByte()));
}

TEST_F(SimulatorLink, RecordsCommandsSplitAtCarriageReturn)
{
    sendToUnit("K\rA30\n\rS");
    ASSERT_TRUE(sim.waitForCommands(2));
    QTest::qWait(50);
    EXPECT_EQ(sim.commands(), (QList<QByteArray> { "K", "A30\n" }));
    EXPECT_EQ(sim.statusRequests(), 0); // "S" is not complete without its CR

    sendToUnit("\r\nS\r");
    ASSERT_TRUE(sim.waitForCommands(4));
    EXPECT_EQ(sim.commands(), (QList<QByteArray> { "K", "A30\n", "S", "\nS" }));
    EXPECT_EQ(sim.received(), QByteArray("K\rA30\n\rS\r\nS\r"));
    // A line end passed along in front of the CR still asks for the status.
    EXPECT_EQ(sim.statusRequests(), 2);
    ASSERT_TRUE(waitForRead(sim.statusReply() + sim.statusReply()));

    sim.clearRecords();
    EXPECT_TRUE(sim.commands().isEmpty());
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(SimulatorLink, StaysSilentAndUsesQueuedRepliesInOrder)
{
    sim.setSilent(true);
    sendToUnit("S\r");
    ASSERT_TRUE(sim.waitForCommand("S"));
    QTest::qWait(200);
    EXPECT_TRUE(reads.isEmpty());
    EXPECT_EQ(sim.statusRequests(), 1);

    sim.setSilent(false);
    sim.queueReply("garbage\n");
    sim.queueNoReply();
    sim.queueReply(Q6Simulator::Reply { { "1:2", ":3\n" }, 20 });
    sendToUnit("S\rS\rS\r");
    ASSERT_TRUE(waitForRead("garbage\n1:2:3\n"));
    EXPECT_EQ(sim.queuedReplies(), 0);
    sendToUnit("S\r");
    ASSERT_TRUE(waitForRead("garbage\n1:2:3\n" + sim.statusReply()));
}

TEST_F(SimulatorLink, PiecesArriveAsSeparateReads)
{
    const QList<QByteArray> pieces { "600:4", "0:60:0:0:0", ":0:0:2.107\n" };
    sim.sendInPieces(pieces, 100);
    ASSERT_TRUE(waitForRead(pieces.join()));
    EXPECT_EQ(reads, pieces);
}

TEST_F(SimulatorLink, HangUpGivesTheOpenPortAnError)
{
    QSignalSpy errors(&port, &platform::SerialPort::error);
    sim.hangUp();
    EXPECT_FALSE(sim.isOpen());
    EXPECT_FALSE(sim.send("S\n"));
    EXPECT_TRUE(errors.wait(3000));
}

namespace {

// A client that trusts the test CA through its own configuration and checks the host name.
class RelayClient {
public:
    RelayClient()
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(TlsTestRelay::caCertificates());
        socket.setSslConfiguration(config);
        QObject::connect(&socket, &QIODevice::readyRead, [this] { reads << socket.readAll(); });
    }
    void connectTo(const TlsTestRelay &relay) { socket.connectToHostEncrypted(TlsTestRelay::host(), relay.port()); }
    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }

    QSslSocket socket;
    QList<QByteArray> reads;
};

} // namespace

TEST(TlsTestRelay, TrustedCertificateCarriesLinesBothWays)
{
    TlsTestRelay relay;
    ASSERT_TRUE(relay.listen());
    ASSERT_NE(relay.port(), 0);
    RelayClient client;
    QSignalSpy encrypted(&client.socket, &QSslSocket::encrypted);
    QSignalSpy sslErrors(&client.socket, &QSslSocket::sslErrors);
    client.connectTo(relay);
    // Written before the handshake: the client holds it back until the link is encrypted.
    client.send(";getkey:Kelvo Connect build 1\r");
    ASSERT_TRUE(relay.waitForEncrypted());
    ASSERT_TRUE(encrypted.count() == 1 || encrypted.wait(3000));
    EXPECT_EQ(sslErrors.count(), 0);
    EXPECT_EQ(relay.connectionCount(), 1);
    EXPECT_EQ(relay.encryptedCount(), 1);

    client.send(";wait=1234567890ABCDEF\rS:1\n\r;pi");
    ASSERT_TRUE(relay.waitForLines(3));
    EXPECT_EQ(relay.lines(),
              (QList<QByteArray> { ";getkey:Kelvo Connect build 1", ";wait=1234567890ABCDEF", "S:1\n" }));
    EXPECT_TRUE(relay.waitForLine("S:1\n"));
    EXPECT_TRUE(relay.waitForLineMatching(QRegularExpression("^;wait=[0-9A-F]{16}$")));
    client.send("ng=\r");
    ASSERT_TRUE(relay.waitForLine(";ping="));
    EXPECT_EQ(relay.received(),
              QByteArray(";getkey:Kelvo Connect build 1\r;wait=1234567890ABCDEF\rS:1\n\r;ping=\r"));

    // Two sends kept apart arrive as two reads, each exactly as given.
    ASSERT_TRUE(relay.sendApart(";203 key 1234567890ABCDEF\n"));
    ASSERT_TRUE(relay.sendApart("A30"));
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.reads.size() >= 3; }, 3000));
    EXPECT_EQ(client.reads, (QList<QByteArray> { ";203 key 1234567890ABCDEF\n", "A30", ";201" }));
    EXPECT_FALSE(relay.bytesWithoutHandshake());
}

TEST(TlsTestRelay, DropsOrClosesTheConnectionAndAcceptsTheNext)
{
    TlsTestRelay relay;
    ASSERT_TRUE(relay.listen());
    for (const bool graceful : { false, true }) {
        SCOPED_TRACE(graceful ? "close" : "drop");
        RelayClient client;
        QSignalSpy disconnected(&client.socket, &QAbstractSocket::disconnected);
        client.connectTo(relay);
        ASSERT_TRUE(relay.waitForEncrypted());
        if (graceful)
            relay.closeConnection();
        else
            relay.dropConnection();
        EXPECT_TRUE(relay.waitForDisconnected());
        EXPECT_TRUE(disconnected.wait(3000));
        EXPECT_FALSE(relay.send(";200"));
    }
    EXPECT_EQ(relay.connectionCount(), 2);
    EXPECT_EQ(relay.encryptedCount(), 2);
}

// A held handshake: the connection is accepted at once, its handshake completes only once the
// delay has passed, and what the client wrote meanwhile arrives after it.
TEST(TlsTestRelay, HoldsTheHandshakeForItsDelay)
{
    TlsTestRelay relay;
    ASSERT_TRUE(relay.listen());
    constexpr int delayMs = 400;
    relay.setHandshakeDelay(delayMs);
    RelayClient client;
    QSignalSpy encrypted(&client.socket, &QSslSocket::encrypted);
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    client.connectTo(relay);
    client.send(";getkey:Kelvo Connect build 1\r");
    ASSERT_TRUE(relay.waitForConnections(1));
    EXPECT_LT(sinceConnect.elapsed(), delayMs) << "accepted at once";
    EXPECT_FALSE(relay.isEncrypted());

    ASSERT_TRUE(encrypted.wait(5000));
    EXPECT_GE(sinceConnect.elapsed(), delayMs);
    ASSERT_TRUE(relay.waitForLine(";getkey:Kelvo Connect build 1"));
    EXPECT_EQ(relay.connectionCount(), 1);
    EXPECT_EQ(relay.encryptedCount(), 1);
    EXPECT_FALSE(relay.bytesWithoutHandshake());

    // Back to at once for the next connection.
    relay.setHandshakeDelay(0);
    RelayClient next;
    QSignalSpy nextEncrypted(&next.socket, &QSslSocket::encrypted);
    sinceConnect.restart();
    next.connectTo(relay);
    ASSERT_TRUE(nextEncrypted.wait(5000));
    EXPECT_LT(sinceConnect.elapsed(), delayMs);
}

// A relay that goes away while it holds a connection leaves nothing open behind it.
TEST(TlsTestRelay, ClosesAHeldConnectionWhenItGoes)
{
    RelayClient client;
    QSignalSpy disconnected(&client.socket, &QAbstractSocket::disconnected);
    {
        TlsTestRelay relay;
        ASSERT_TRUE(relay.listen());
        relay.setHandshakeDelay(60'000);
        client.connectTo(relay);
        ASSERT_TRUE(relay.waitForConnections(1));
    }
    EXPECT_TRUE(disconnected.wait(3000));
}

TEST(TlsTestRelay, ClientRefusesABadCertificateAndNothingArrives)
{
    struct Case {
        TlsTestRelay::Certificate certificate;
        QSslError::SslError expected;
    };
    for (const Case &c : { Case { TlsTestRelay::Certificate::Untrusted, QSslError::SelfSignedCertificate },
                           Case { TlsTestRelay::Certificate::WrongHost, QSslError::HostNameMismatch } }) {
        SCOPED_TRACE(static_cast<int>(c.certificate));
        TlsTestRelay relay(c.certificate);
        ASSERT_TRUE(relay.listen());
        RelayClient client;
        QSignalSpy encrypted(&client.socket, &QSslSocket::encrypted);
        QSignalSpy sslErrors(&client.socket, &QSslSocket::sslErrors);
        QSignalSpy errors(&client.socket, &QAbstractSocket::errorOccurred);
        client.connectTo(relay);
        client.send(";getkey:Kelvo Connect build 1\r");
        ASSERT_TRUE(sslErrors.wait(3000));
        const auto reported = qvariant_cast<QList<QSslError>>(sslErrors.at(0).at(0));
        EXPECT_TRUE(std::any_of(reported.begin(), reported.end(),
                                [&](const QSslError &e) { return e.error() == c.expected; }));
        ASSERT_TRUE(errors.count() > 0 || errors.wait(3000));
        EXPECT_EQ(errors.at(0).at(0).value<QAbstractSocket::SocketError>(), QAbstractSocket::SslHandshakeFailedError);
        EXPECT_TRUE(QTest::qWaitFor([&] { return relay.handshakeFailures() == 1; }, 3000));
        QTest::qWait(50);
        EXPECT_EQ(encrypted.count(), 0);
        EXPECT_EQ(relay.connectionCount(), 1);
        EXPECT_EQ(relay.encryptedCount(), 0);
        EXPECT_TRUE(relay.lines().isEmpty());
        EXPECT_TRUE(relay.received().isEmpty());
        EXPECT_FALSE(relay.bytesWithoutHandshake());
        EXPECT_FALSE(relay.send(";200"));
    }
}
