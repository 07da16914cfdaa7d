#pragma once
// The TLS client socket of the relay link, over QSslSocket. The relay's certificate and host
// name are verified against the system store (plus any extra CAs it is given); a failed
// verification is an error event, and nothing is ever written to an unverified connection.
// Each connection gets its own QSslSocket, so nothing of an old connection (a late error,
// late data) reaches the program after Close or a new Connect; each is set to low delay
// (TCP_NODELAY), so a line written right behind another is not held back.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>

class QSslSocket;

namespace kelvo::platform {

class TlsSocket : public QObject {
    Q_OBJECT
public:
    explicit TlsSocket(QObject *parent = nullptr);
    ~TlsSocket() override;

    QString Address;
    quint16 Port = 0;

    // Certificate authorities trusted beyond the system store, from the next Connect on.
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);

    // Starts connecting to Address:Port and returns at once; a pending or open connection is
    // closed first.
    void Connect();
    // Only on a verified connection; dropped otherwise.
    void Write(const QByteArray &bytes);
    void Flush();
    [[nodiscard]] QByteArray ReadAll();
    // Harmless when closed; also aborts a pending connection. What a verified connection
    // was given before still goes out to the peer.
    void Close();
    [[nodiscard]] bool IsConnected() const;
    // The last error, as a QAbstractSocket::SocketError value (SslHandshakeFailedError for a
    // certificate that does not verify); kept until the next error.
    [[nodiscard]] int LastErrorCode() const;
    // Qt's description of that error, in words a user can read; kept with the code.
    [[nodiscard]] QString LastErrorText() const;

signals:
    void connected();
    void dataAvailable();
    // Once per connection: the first error ends it.
    void error();

private:
    void handleReadyRead(QSslSocket *socket);
    void handleError(QSslSocket *socket, int socketError);
    void retire();
    void dispose(QSslSocket *socket);

    QList<QSslCertificate> extraCaCertificates_;
    QSslSocket *socket_ = nullptr; // the current connection, child of this; null when closed
    int lastError_ = 0;
    QString lastErrorText_;
    bool errorReported_ = false;
    // Sockets whose readyRead is being handed to the program, innermost last, and retired
    // ones among them, deleted once that hand-over has returned.
    QList<QSslSocket *> dispatching_;
    QList<QSslSocket *> heldForDispatch_;
    // Qt announced more bytes of the current connection while its last ones were being handled.
    bool announcedWhileDispatching_ = false;
};

} // namespace kelvo::platform
