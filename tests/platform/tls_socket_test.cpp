// The TLS layer on a real QSslSocket against a local QSslServer, certificate checks on; the
// test CA is trusted only as the socket's extra certificate authority.

#include "platform/tls_socket.h"
#include "support/scripted_services.h"
#include "support/wait.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTest>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace kelvo;

namespace {

using test::waitUntil;

// A one-client TLS server on 127.0.0.1 with a test certificate; records what it receives.
class LocalTlsServer {
public:
    explicit LocalTlsServer(const QString &certName)
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(
            QSslCertificate::fromPath(testCertPath(certName + QStringLiteral(".pem"))).value(0));
        QFile keyFile(testCertPath(certName + QStringLiteral(".key")));
        keyFile.open(QIODevice::ReadOnly);
        configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server.setSslConfiguration(configuration);
        // QSslServer hands out a connection once its handshake is done; newConnection comes
        // earlier, at the TCP accept.
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this] {
            while (QTcpSocket *next = server.nextPendingConnection()) {
                client = next;
                received += next->readAll();
                QObject::connect(next, &QTcpSocket::readyRead, next,
                                 [this, next] { received += next->readAll(); });
            }
        });
        server.listen(QHostAddress::LocalHost, 0);
    }

    [[nodiscard]] quint16 port() const { return server.serverPort(); }
    void send(const QByteArray &bytes)
    {
        if (client) {
            client->write(bytes);
            client->flush();
        }
    }

    QSslServer server;
    QPointer<QTcpSocket> client;
    QByteArray received;
};

class TlsSocketTest : public ::testing::Test {
protected:
    void connectTo(const LocalTlsServer &server)
    {
        socket.Address = QStringLiteral("localhost");
        socket.Port = server.port();
        socket.Connect();
    }

    void SetUp() override
    {
        socket.setExtraCaCertificates(QSslCertificate::fromPath(testCertPath(QStringLiteral("ca.pem"))));
    }

    platform::TlsSocket socket;
    QSignalSpy connectedSpy {&socket, &platform::TlsSocket::connected};
    QSignalSpy dataSpy {&socket, &platform::TlsSocket::dataAvailable};
    QSignalSpy errorSpy {&socket, &platform::TlsSocket::error};
};

TEST(TlsSocketDefaults, EmptyAddressPortZeroNotConnected)
{
    platform::TlsSocket socket;
    EXPECT_TRUE(socket.Address.isEmpty());
    EXPECT_EQ(socket.Port, 0);
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_EQ(socket.ReadAll(), QByteArray());
    socket.Close(); // harmless when closed
    socket.Write("x\r");
    socket.Flush();
}

TEST_F(TlsSocketTest, VerifiedConnectionCarriesDataBothWays)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    connectTo(server);
    EXPECT_FALSE(socket.IsConnected()) << "Connect returns at once";
    ASSERT_TRUE(connectedSpy.wait(5000));
    EXPECT_TRUE(socket.IsConnected());

    socket.Write(";getkey:Kelvo Connect build 1\r");
    socket.Flush();
    ASSERT_TRUE(waitUntil([&] { return !server.received.isEmpty(); }));
    EXPECT_EQ(server.received, QByteArray(";getkey:Kelvo Connect build 1\r"));

    ASSERT_TRUE(server.client);
    server.send(";203:abc\n");
    ASSERT_TRUE(dataSpy.wait(2000));
    QTest::qWait(20);
    EXPECT_EQ(socket.ReadAll(), QByteArray(";203:abc\n"));
    EXPECT_EQ(errorSpy.count(), 0);
    EXPECT_EQ(connectedSpy.count(), 1);
}

// A certificate the test CA did not sign, and one it signed for another host name.
class TlsVerificationTest : public TlsSocketTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(TlsVerificationTest, FailedVerificationIsOneErrorAndNothingIsWritten)
{
    LocalTlsServer server(QString::fromLatin1(GetParam()));
    QObject::connect(&socket, &platform::TlsSocket::error, &socket, [&] {
        socket.Write(";quit\r");
        socket.Flush();
    });
    connectTo(server);
    socket.Write(";getkey\r"); // while pending
    socket.Flush();
    ASSERT_TRUE(errorSpy.wait(5000));
    QTest::qWait(300);

    EXPECT_EQ(connectedSpy.count(), 0);
    EXPECT_EQ(errorSpy.count(), 1);
    EXPECT_EQ(socket.LastErrorCode(), int(QAbstractSocket::SslHandshakeFailedError));
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_TRUE(server.received.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Certificates, TlsVerificationTest, ::testing::Values("untrusted", "wronghost"));

TEST_F(TlsSocketTest, DataThatArrivedWhileTheHandlerRanIsAnnouncedAgain)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    QByteArrayList reads;
    QObject::connect(&socket, &platform::TlsSocket::dataAvailable, &socket, [&] {
        reads << socket.ReadAll();
        if (reads.size() == 1) {
            // Like a modal box: the next message comes in while this handler still runs.
            server.send("second");
            QTest::qWait(300);
        }
    });
    connectTo(server);
    ASSERT_TRUE(connectedSpy.wait(5000));
    ASSERT_TRUE(waitUntil([&] { return server.client != nullptr; }));
    server.send("first");
    ASSERT_TRUE(waitUntil([&] { return reads.size() >= 2; }));
    EXPECT_EQ(reads.at(0), QByteArray("first"));
    EXPECT_EQ(reads.at(1), QByteArray("second"));
    QTest::qWait(100);
    EXPECT_EQ(reads.size(), 2) << "no further events without new bytes";
}

TEST_F(TlsSocketTest, CloseAfterWriteAndFlushDeliversAndSilencesTheOldConnection)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    connectTo(server);
    ASSERT_TRUE(connectedSpy.wait(5000));
    ASSERT_TRUE(waitUntil([&] { return server.client != nullptr; }));

    socket.Write(";quit\r");
    socket.Flush();
    socket.Close();
    EXPECT_FALSE(socket.IsConnected());
    server.send(";500:late\n");
    ASSERT_TRUE(waitUntil([&] { return !server.received.isEmpty(); }));
    EXPECT_EQ(server.received, QByteArray(";quit\r"));
    EXPECT_TRUE(waitUntil([&] { return !server.client || server.client->state() != QAbstractSocket::ConnectedState; }))
        << "the connection is closed after the bytes went out";
    QTest::qWait(100);
    EXPECT_EQ(dataSpy.count(), 0);
    EXPECT_EQ(errorSpy.count(), 0);
    EXPECT_EQ(socket.ReadAll(), QByteArray());
    socket.Close();
}

TEST_F(TlsSocketTest, ConnectAgainReplacesThePendingOrOpenConnection)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    connectTo(server);
    socket.Connect(); // still pending
    ASSERT_TRUE(connectedSpy.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(connectedSpy.count(), 1);

    QPointer<QTcpSocket> first = server.client;
    socket.Connect(); // open
    ASSERT_TRUE(connectedSpy.wait(5000));
    ASSERT_TRUE(waitUntil([&] { return server.client != first; }));
    if (first)
        first->write("stale");
    socket.Write("new\r");
    socket.Flush();
    ASSERT_TRUE(waitUntil([&] { return !server.received.isEmpty(); }));
    EXPECT_EQ(server.received, QByteArray("new\r"));
    QTest::qWait(100);
    EXPECT_EQ(dataSpy.count(), 0);
    EXPECT_EQ(errorSpy.count(), 0);
}

// Low delay (no Nagle) on every connection: a line written right behind another, such as a
// status line after ";701", must not wait for the relay's delayed acknowledgement. Read back
// from the operating system on the connection that is up.
TEST_F(TlsSocketTest, EveryConnectionIsSetToLowDelay)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    const auto noDelayOfOpenConnections = [&] {
        QList<int> values;
        for (const QSslSocket *connection : socket.findChildren<QSslSocket *>()) {
            if (connection->state() != QAbstractSocket::ConnectedState || !connection->isEncrypted())
                continue;
            int value = -1;
            socklen_t length = sizeof value;
            getsockopt(int(connection->socketDescriptor()), IPPROTO_TCP, TCP_NODELAY, &value, &length);
            values << value;
        }
        return values;
    };
    for (int connection = 1; connection <= 2; ++connection) {
        connectTo(server); // the second replaces the first
        ASSERT_TRUE(waitUntil([&] { return connectedSpy.count() == connection; }));
        EXPECT_EQ(noDelayOfOpenConnections(), QList<int> {1}) << "connection " << connection;
    }
}

TEST_F(TlsSocketTest, ServerDropIsOneError)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    connectTo(server);
    ASSERT_TRUE(connectedSpy.wait(5000));
    ASSERT_TRUE(waitUntil([&] { return server.client != nullptr; }));
    server.client->disconnectFromHost();
    ASSERT_TRUE(errorSpy.wait(2000));
    QTest::qWait(100);
    EXPECT_EQ(errorSpy.count(), 1);
    EXPECT_EQ(socket.LastErrorCode(), int(QAbstractSocket::RemoteHostClosedError));
}

TEST_F(TlsSocketTest, CloseAbortsAPendingConnection)
{
    LocalTlsServer server(QStringLiteral("localhost"));
    connectTo(server);
    socket.Close();
    QTest::qWait(300);
    EXPECT_EQ(connectedSpy.count(), 0);
    EXPECT_EQ(errorSpy.count(), 0);
    EXPECT_FALSE(socket.IsConnected());
}

} // namespace
