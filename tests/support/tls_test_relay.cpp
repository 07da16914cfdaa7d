#include "support/tls_test_relay.h"

#include <QFile>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

QString certPath(const char *file)
{
    return QStringLiteral(KELVO_TEST_CERT_DIR "/") + QLatin1String(file);
}

QSslKey loadKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QSslKey(&file, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
}

// The certificate and key file base names of each choice.
const char *certName(TlsTestRelay::Certificate certificate)
{
    switch (certificate) {
    case TlsTestRelay::Certificate::Untrusted:
        return "untrusted";
    case TlsTestRelay::Certificate::WrongHost:
        return "wronghost";
    case TlsTestRelay::Certificate::Trusted:
        break;
    }
    return "localhost";
}

// Per-connection bookkeeping, kept on the socket so several connections never mix.
constexpr char PendingProperty[] = "kelvoPendingLine";
constexpr char FailedProperty[] = "kelvoHandshakeFailed";

} // namespace

// Starts each accepted connection's handshake as the relay says: at once, or after its delay.
// A held connection waits as a bare descriptor, already accepted, while the client's first
// handshake bytes wait unread in its buffer, as behind a slow relay or network.
class TlsTestRelay::Server : public QSslServer {
public:
    explicit Server(TlsTestRelay &relay) : relay_(relay) {}
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    ~Server() override
    {
        // Still held: no socket owns them yet.
        for (const qintptr descriptor : held_)
            ::close(static_cast<int>(descriptor));
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        ++relay_.connections_;
        const int delayMs = relay_.handshakeDelayMs_;
        if (delayMs <= 0) {
            QSslServer::incomingConnection(descriptor);
            return;
        }
        held_ << descriptor;
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this, descriptor] {
            held_.removeOne(descriptor);
            QSslServer::incomingConnection(descriptor);
        });
    }

private:
    TlsTestRelay &relay_;
    QList<qintptr> held_;
};

TlsTestRelay::TlsTestRelay(Certificate certificate, QObject *parent)
    : QObject(parent), certificate_(certificate)
{
}

TlsTestRelay::~TlsTestRelay()
{
    // Sockets may signal while they are torn down with the server; this object is half gone then.
    if (server_) {
        for (QSslSocket *socket : server_->findChildren<QSslSocket *>())
            socket->disconnect(this);
    }
}

QList<QSslCertificate> TlsTestRelay::caCertificates()
{
    return QSslCertificate::fromPath(certPath("ca.pem"));
}

kelvo::RelaySettings TlsTestRelay::settings() const
{
    return {host(), port(), caCertificates()};
}

void TlsTestRelay::setCertificate(Certificate certificate)
{
    certificate_ = certificate;
}

void TlsTestRelay::setHandshakeDelay(int delayMs)
{
    handshakeDelayMs_ = delayMs;
}

bool TlsTestRelay::listen()
{
    const QString base = certPath(certName(certificate_));
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(base + ".pem");
    const QSslKey key = loadKey(base + ".key");
    if (chain.isEmpty() || key.isNull())
        return false;

    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificateChain(chain);
    config.setPrivateKey(key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone); // clients show no certificate

    server_ = std::make_unique<Server>(*this);
    server_->setSslConfiguration(config);
    connect(server_.get(), &QSslServer::startedEncryptionHandshake, this, &TlsTestRelay::watch);
    connect(server_.get(), &QTcpServer::newConnection, this, [this] {
        // Handshaken connections queue up here; take them so the server keeps accepting.
        while (server_->hasPendingConnections())
            server_->nextPendingConnection();
    });
    return server_->listen(QHostAddress::LocalHost, 0);
}

quint16 TlsTestRelay::port() const
{
    return server_ ? server_->serverPort() : 0;
}

bool TlsTestRelay::isConnected() const
{
    return current_ && current_->state() == QAbstractSocket::ConnectedState;
}

bool TlsTestRelay::isEncrypted() const
{
    return isConnected() && current_->isEncrypted();
}

void TlsTestRelay::clearRecords()
{
    received_.clear();
    lines_.clear();
}

bool TlsTestRelay::send(const QByteArray &text)
{
    if (!isEncrypted())
        return false;
    if (current_->write(text) != text.size())
        return false;
    current_->flush();
    return true;
}

bool TlsTestRelay::sendCode(const QByteArray &code, const QByteArray &rest)
{
    return send(";" + code + rest);
}

bool TlsTestRelay::sendApart(const QByteArray &text, int settleMs)
{
    if (!send(text))
        return false;
    const bool written = QTest::qWaitFor(
        [this] { return !current_ || (current_->bytesToWrite() == 0 && current_->encryptedBytesToWrite() == 0); });
    QTest::qWait(settleMs);
    return written;
}

void TlsTestRelay::dropConnection()
{
    if (current_)
        current_->abort();
}

void TlsTestRelay::closeConnection()
{
    if (current_)
        current_->disconnectFromHost();
}

bool TlsTestRelay::waitForConnections(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return connections_ >= count; }, timeoutMs);
}

bool TlsTestRelay::waitForEncrypted(int timeoutMs)
{
    return QTest::qWaitFor([this] { return isEncrypted(); }, timeoutMs);
}

bool TlsTestRelay::waitForLines(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return lines_.size() >= count; }, timeoutMs);
}

bool TlsTestRelay::waitForLine(const QByteArray &line, int timeoutMs)
{
    return QTest::qWaitFor([&] { return lines_.contains(line); }, timeoutMs);
}

bool TlsTestRelay::waitForLineMatching(const QRegularExpression &pattern, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            for (const QByteArray &line : lines_) {
                if (pattern.match(QString::fromLatin1(line)).hasMatch())
                    return true;
            }
            return false;
        },
        timeoutMs);
}

bool TlsTestRelay::waitForDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !isConnected(); }, timeoutMs);
}

void TlsTestRelay::watch(QSslSocket *socket)
{
    current_ = socket;
    connect(socket, &QSslSocket::encrypted, this, [this] { ++encrypted_; });
    connect(socket, &QIODevice::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] {
        if (!socket->isEncrypted() && !socket->property(FailedProperty).toBool()) {
            socket->setProperty(FailedProperty, true);
            ++handshakeFailures_;
        }
    });
}

void TlsTestRelay::readFrom(QSslSocket *socket)
{
    const QByteArray bytes = socket->readAll();
    if (bytes.isEmpty())
        return;
    if (!socket->isEncrypted())
        bytesWithoutHandshake_ = true;
    received_ += bytes;
    QByteArray pending = socket->property(PendingProperty).toByteArray() + bytes;
    for (qsizetype cr = pending.indexOf('\r'); cr >= 0; cr = pending.indexOf('\r')) {
        const QByteArray line = pending.left(cr);
        pending.remove(0, cr + 1);
        lines_ << line;
        emit lineReceived(line);
    }
    socket->setProperty(PendingProperty, pending);
}
