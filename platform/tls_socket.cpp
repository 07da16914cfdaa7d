#include "platform/tls_socket.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace kelvo::platform {

namespace {

// How long a closed connection may take to hand its last bytes to the peer.
constexpr int closeGraceMs = 5000;

QSslConfiguration verifyingConfiguration(const QList<QSslCertificate> &extra)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!extra.isEmpty()) {
        // Setting a CA list ends Qt's on-demand loading of the system store, so the system
        // certificates are named with the extra ones (read once: it takes a tenth of a second).
        static const QList<QSslCertificate> systemStore = QSslConfiguration::systemCaCertificates();
        configuration.setCaCertificates(systemStore + extra);
    }
    return configuration;
}

} // namespace

TlsSocket::TlsSocket(QObject *parent) : QObject(parent) {}

TlsSocket::~TlsSocket()
{
    if (socket_)
        socket_->disconnect(this);
}

void TlsSocket::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    extraCaCertificates_ = certificates;
}

void TlsSocket::Connect()
{
    retire();
    errorReported_ = false;
    auto *socket = new QSslSocket(this);
    socket_ = socket;
    socket->setSslConfiguration(verifyingConfiguration(extraCaCertificates_));
    // Nagle's algorithm would hold a short line written right behind another (";701" and the
    // status line after it) until the relay's delayed acknowledgement, some 40 ms. Every line
    // goes out whole and flushed, so nothing is gained by holding it. Set once the TCP
    // connection exists (Qt drops options set before), ahead of the handshake.
    connect(socket, &QAbstractSocket::connected, socket,
            [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        if (socket == socket_)
            emit connected();
    });
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { handleReadyRead(socket); });
    connect(socket, &QSslSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError e) { handleError(socket, e); });
    socket->connectToHostEncrypted(Address, Port);
}

void TlsSocket::Write(const QByteArray &bytes)
{
    if (IsConnected())
        socket_->write(bytes);
}

void TlsSocket::Flush()
{
    if (IsConnected())
        socket_->flush();
}

QByteArray TlsSocket::ReadAll()
{
    if (!socket_)
        return {};
    return socket_->readAll();
}

void TlsSocket::Close()
{
    retire();
}

bool TlsSocket::IsConnected() const
{
    return socket_ && socket_->isEncrypted() && socket_->state() == QAbstractSocket::ConnectedState;
}

int TlsSocket::LastErrorCode() const
{
    return lastError_;
}

QString TlsSocket::LastErrorText() const
{
    return lastErrorText_;
}

void TlsSocket::handleReadyRead(QSslSocket *socket)
{
    // One read at a time, in order, each once: the handler's own flush makes Qt read and
    // announce the next bytes inside it, and a read handled there would overtake the rest of the
    // one being handled. Bytes announced meanwhile are handed on once the handler is done.
    if (socket != socket_)
        return;
    if (dispatching_.contains(socket)) {
        announcedWhileDispatching_ = true;
        return;
    }
    dispatching_.append(socket);
    do {
        announcedWhileDispatching_ = false;
        emit dataAvailable();
    } while (announcedWhileDispatching_ && socket == socket_);
    dispatching_.removeLast();
    if (heldForDispatch_.contains(socket) && !dispatching_.contains(socket)) {
        // Retired while its data was being handled: Qt's own frame below is done with it once
        // this returns to the loop it came from.
        heldForDispatch_.removeOne(socket);
        socket->deleteLater();
    }
}

void TlsSocket::handleError(QSslSocket *socket, int socketError)
{
    // Qt may report one failure more than once (handshake failed, then the host closed).
    if (socket != socket_ || errorReported_)
        return;
    errorReported_ = true;
    lastError_ = socketError;
    lastErrorText_ = socket->errorString();
    emit error();
}

void TlsSocket::retire()
{
    QSslSocket *socket = socket_;
    if (!socket)
        return;
    socket_ = nullptr;
    socket->disconnect(this);
    if (socket->isEncrypted() && socket->state() == QAbstractSocket::ConnectedState) {
        // Let what was written and flushed reach the peer, then let the socket go.
        connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { dispose(socket); });
        QTimer::singleShot(closeGraceMs, socket, [this, socket] {
            socket->abort();
            dispose(socket);
        });
        socket->disconnectFromHost();
    } else {
        // Pending, unverified or failed: drop at once, nothing more goes out.
        socket->abort();
        dispose(socket);
    }
}

void TlsSocket::dispose(QSslSocket *socket)
{
    // A socket whose data the program is handling may be retired from a modal box's event
    // loop run by that handler; deleted there, it would be gone under Qt's frame that is
    // still delivering its readyRead. It goes once that delivery has ended.
    if (dispatching_.contains(socket)) {
        if (!heldForDispatch_.contains(socket))
            heldForDispatch_.append(socket);
        return;
    }
    socket->deleteLater();
}

} // namespace kelvo::platform
