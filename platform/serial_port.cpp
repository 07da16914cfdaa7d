#include "platform/serial_port.h"

#include "platform/services.h"

#include <QSerialPort>
#include <QSerialPortInfo>

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

SerialPort::SerialPort(QObject *parent) : QObject(parent), port_(new QSerialPort(this))
{
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    connect(port_, &QSerialPort::readyRead, this, &SerialPort::dataAvailable);
    connect(port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { handleError(e); });
}

SerialPort::~SerialPort() = default;

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
    Close();
    port_->setPortName(devicePath_);
    if (!port_->open(QIODevice::ReadWrite)) {
        lastError_ = port_->error();
        port_->clearError();
        return false;
    }
    // A pseudo-terminal cannot drop DTR; that is no fault of the line.
    port_->setDataTerminalReady(false);
    port_->clearError();
    return true;
}

void SerialPort::Write(const QByteArray &bytes)
{
    if (port_->isOpen())
        port_->write(bytes);
}

void SerialPort::Flush()
{
    if (port_->isOpen())
        port_->flush();
}

QByteArray SerialPort::ReadAll()
{
    return port_->isOpen() ? port_->readAll() : QByteArray();
}

void SerialPort::Close()
{
    if (port_->isOpen())
        port_->close();
    port_->clearError();
}

bool SerialPort::isOpen() const
{
    return port_->isOpen();
}

int SerialPort::LastErrorCode() const
{
    return lastError_;
}

void SerialPort::handleError(int qtError)
{
    // Only errors of an open port count; opening and closing report through their results.
    if (qtError == QSerialPort::NoError || !port_->isOpen())
        return;
    if (qtError == QSerialPort::UnsupportedOperationError)
        return;
    lastError_ = qtError;
    if (qtError == QSerialPort::ResourceError || qtError == QSerialPort::ReadError
        || qtError == QSerialPort::WriteError) {
        // The device is gone: stop reading so Qt does not report it in a busy loop.
        port_->close();
    }
    emit error();
}

} // namespace platform
