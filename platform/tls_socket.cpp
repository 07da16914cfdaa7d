#include "platform/tls_socket.h"

#include "platform/services.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace platform {

TlsSocket::TlsSocket(QObject *parent) : QObject(parent), socket_(new QSslSocket(this))
{
    socket_->setPeerVerifyMode(QSslSocket::VerifyPeer);
    connect(socket_, &QSslSocket::encrypted, this, &TlsSocket::connected);
    connect(socket_, &QSslSocket::readyRead, this, [this] {
        emit dataAvailable();
        // Qt raises readyRead only for new bytes; bytes that came while the handler waited
        // in a modal box would otherwise sit until more traffic arrives.
        if (socket_->bytesAvailable() > 0)
            QTimer::singleShot(0, this, [this] {
                if (socket_->bytesAvailable() > 0)
                    emit dataAvailable();
            });
    });
    connect(socket_, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        lastError_ = e;
        emit error();
    });
}

TlsSocket::~TlsSocket() = default;

void TlsSocket::Connect()
{
    socket_->abort();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = configuration.caCertificates();
    authorities += services().extraCaCertificates();
    configuration.setCaCertificates(authorities);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_->setSslConfiguration(configuration);
    socket_->connectToHostEncrypted(Address, Port);
}

void TlsSocket::Write(const QByteArray &bytes)
{
    // Never to a connection whose certificate has not been verified.
    if (socket_->isEncrypted())
        socket_->write(bytes);
}

void TlsSocket::Flush()
{
    if (socket_->isEncrypted())
        socket_->flush();
}

QByteArray TlsSocket::ReadAll()
{
    return socket_->readAll();
}

void TlsSocket::Close()
{
    // A verified connection is closed after what is queued has gone out; anything else,
    // a pending connection included, is dropped at once.
    if (socket_->isEncrypted())
        socket_->disconnectFromHost();
    else
        socket_->abort();
}

bool TlsSocket::IsConnected() const
{
    return socket_->isEncrypted();
}

int TlsSocket::LastErrorCode() const
{
    return lastError_;
}

} // namespace platform
