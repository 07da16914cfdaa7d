#pragma once
// A relay server for tests: a QSslServer on 127.0.0.1 at a free port, presenting a test
// certificate for localhost (trusted through the test CA), or an untrusted or wrong-host one.
// It records every line it gets, sends what a test scripts, can hold the TLS handshake for a
// while (a slow relay or network), and can drop the connection.
// Client and server share the test's thread, so every wait spins the event loop.

#include <QByteArray>
#include <QList>
#include "core/relay_settings.h"

#include <QObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QString>

#include <memory>

class QSslSocket;

class TlsTestRelay : public QObject {
    Q_OBJECT
public:
    enum class Certificate {
        Trusted,   // localhost, signed by the test CA
        Untrusted, // localhost, self-signed
        WrongHost, // signed by the test CA, but for wrong.example
    };

    explicit TlsTestRelay(Certificate certificate = Certificate::Trusted, QObject *parent = nullptr);
    ~TlsTestRelay() override;

    // The test CA that clients add to trust the relay.
    [[nodiscard]] static QList<QSslCertificate> caCertificates();

    // Takes effect at the next listen().
    void setCertificate(Certificate certificate);
    // Each connection accepted from now on waits this long before its handshake starts, so
    // the client's handshake completes that much later (0: at once). Takes effect at once.
    void setHandshakeDelay(int delayMs);
    // Listens on 127.0.0.1 at a free port; false when the certificate or the port fails.
    [[nodiscard]] bool listen();
    [[nodiscard]] quint16 port() const;
    [[nodiscard]] static QString host() { return QStringLiteral("localhost"); }
    // What points the bridge at this relay and makes it trust the test CA.
    [[nodiscard]] kelvo::RelaySettings settings() const;

    // Connections accepted so far (counted at TCP accept, before any handshake or its delay).
    [[nodiscard]] int connectionCount() const { return connections_; }
    // Handshakes that completed and that failed, over all connections.
    [[nodiscard]] int encryptedCount() const { return encrypted_; }
    [[nodiscard]] int handshakeFailures() const { return handshakeFailures_; }
    // The newest connection is still there and its handshake completed.
    [[nodiscard]] bool isConnected() const;
    [[nodiscard]] bool isEncrypted() const;
    // True if any connection delivered application bytes before its handshake completed
    // (there should never be any).
    [[nodiscard]] bool bytesWithoutHandshake() const { return bytesWithoutHandshake_; }

    // Everything received, as it came, and every complete line (the bytes before each CR,
    // other line ends kept), in order over all connections.
    [[nodiscard]] QByteArray received() const { return received_; }
    [[nodiscard]] QList<QByteArray> lines() const { return lines_; }
    void clearRecords();

    // Writes the text exactly as given in one write on the newest connection and flushes it;
    // false when there is no encrypted connection.
    bool send(const QByteArray &text);
    // ";" + the three-digit code + the rest, exactly, e.g. sendCode("203", " key 1234567890ABCDEF").
    bool sendCode(const QByteArray &code, const QByteArray &rest = {});
    // As send(), then waits until the bytes have left and gives the client settleMs to read
    // them, so two sends arrive as two reads.
    bool sendApart(const QByteArray &text, int settleMs = 50);

    // Abort: the connection just goes away, no TLS close.
    void dropConnection();
    // A graceful close: TLS close notice, then the TCP close.
    void closeConnection();

    // Spin the event loop until the condition holds or the timeout passes.
    [[nodiscard]] bool waitForConnections(int count, int timeoutMs = 5000);
    [[nodiscard]] bool waitForEncrypted(int timeoutMs = 5000);
    [[nodiscard]] bool waitForLines(qsizetype count, int timeoutMs = 5000);
    [[nodiscard]] bool waitForLine(const QByteArray &line, int timeoutMs = 5000);
    [[nodiscard]] bool waitForLineMatching(const QRegularExpression &pattern, int timeoutMs = 5000);
    [[nodiscard]] bool waitForDisconnected(int timeoutMs = 5000);

signals:
    void lineReceived(const QByteArray &line);

private:
    class Server;

    void watch(QSslSocket *socket);
    void readFrom(QSslSocket *socket);

    std::unique_ptr<Server> server_;
    Certificate certificate_;
    int handshakeDelayMs_ = 0;
    QPointer<QSslSocket> current_;
    int connections_ = 0;
    int encrypted_ = 0;
    int handshakeFailures_ = 0;
    bool bytesWithoutHandshake_ = false;
    QByteArray received_;
    QByteArray pending_; // bytes after the last CR
    QList<QByteArray> lines_;
};
