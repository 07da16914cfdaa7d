#include "platform/serial_port.h"

#include "platform/services.h"

#include <QSerialPort>

namespace platform {

qint64 SerialPortCount()
{
    return services().serialPortNames().size();
}

QString SerialPortName(qint64 index)
{
    const QStringList names = services().serialPortNames();
    if (index < 0 || index >= names.size())
        return {};
    return names.at(static_cast<qsizetype>(index));
}

QString devicePathOf(const QString &listedName)
{
    return QStringLiteral("/dev/") + listedName;
}

namespace {

// Errors after which the device is of no more use: Qt would otherwise repeat them in a busy
// loop while the port stays open (a pulled USB adapter, a hung-up pseudo-terminal).
bool deviceIsGone(int qtError)
{
    return qtError == QSerialPort::ResourceError || qtError == QSerialPort::ReadError
        || qtError == QSerialPort::WriteError;
}

} // namespace

SerialPort::SerialPort(QObject *parent) : QObject(parent), port_(new QSerialPort(this))
{
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    connect(port_, &QSerialPort::readyRead, this, [this] {
        if (!deviceGone_)
            emit dataAvailable();
    });
    connect(port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { handleError(e); });
}

SerialPort::~SerialPort()
{
    // Closing in the QSerialPort destructor must not reach our handlers.
    port_->disconnect(this);
}

void SerialPort::setSerialPort(const QString &devicePath)
{
    devicePath_ = devicePath;
}

QString SerialPort::serialPort() const
{
    return devicePath_;
}

bool SerialPort::Open()
{
    // The same device cannot be opened twice (Qt holds a lock file), so reopening means
    // closing first.
    const bool wasGone = deviceGone_;
    Close();
    port_->setPortName(devicePath_);
    opening_ = true;
    const bool opened = port_->open(QIODevice::ReadWrite);
    if (opened) {
        // A pseudo-terminal cannot drop DTR; that is no fault of the line.
        port_->setDataTerminalReady(false);
    } else {
        lastError_ = port_->error();
        // Still closed after the error, not by its user.
        deviceGone_ = wasGone;
    }
    opening_ = false;
    port_->clearError();
    return opened;
}

void SerialPort::Write(const QByteArray &bytes)
{
    if (isOpen())
        port_->write(bytes);
}

void SerialPort::Flush()
{
    if (isOpen())
        port_->flush();
}

QByteArray SerialPort::ReadAll()
{
    return port_->isOpen() ? port_->readAll() : QByteArray();
}

void SerialPort::Close()
{
    ++generation_;
    deviceGone_ = false;
    if (port_->isOpen())
        port_->close();
    port_->clearError();
}

bool SerialPort::isOpen() const
{
    return port_->isOpen() && !deviceGone_;
}

int SerialPort::LastErrorCode() const
{
    return lastError_;
}

void SerialPort::handleError(int qtError)
{
    // Only errors of an open port count: those met while opening are Open's (a device that
    // does not open shows in its result, DTR that a pseudo-terminal cannot drop is harmless),
    // and closing a closed port is no error.
    if (opening_ || qtError == QSerialPort::NoError || qtError == QSerialPort::NotOpenError
        || !port_->isOpen() || deviceGone_)
        return;
    lastError_ = qtError;
    if (deviceIsGone(qtError)) {
        // Report once, then close the device underneath. The close is queued because Qt is
        // inside its own read notifier here; until it runs, repeats are swallowed.
        deviceGone_ = true;
        const quint64 generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_ && deviceGone_ && port_->isOpen()) {
                    port_->close();
                    port_->clearError();
                }
            },
            Qt::QueuedConnection);
    }
    emit error();
}

} // namespace platform
