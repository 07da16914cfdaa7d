#pragma once
// The TLS client socket of the relay link, over QSslSocket. The relay's certificate and host
// name are verified against the system store (plus the seam's extra CAs); a failed
// verification is an error event, and nothing is ever written to an unverified connection.

#include <QByteArray>
#include <QObject>
#include <QString>

class QSslSocket;

namespace platform {

class TlsSocket : public QObject {
    Q_OBJECT
public:
    explicit TlsSocket(QObject *parent = nullptr);
    ~TlsSocket() override;

    QString Address;
    quint16 Port = 0;

    // Starts connecting to Address:Port and returns at once; a pending or open connection is
    // closed first.
    void Connect();
    void Write(const QByteArray &bytes);
    void Flush();
    [[nodiscard]] QByteArray ReadAll();
    // Harmless when closed; also aborts a pending connection.
    void Close();
    [[nodiscard]] bool IsConnected() const;
    [[nodiscard]] int LastErrorCode() const;

signals:
    void connected();
    void dataAvailable();
    void error();

private:
    QSslSocket *socket_;
    int lastError_ = 0;
};

} // namespace platform
