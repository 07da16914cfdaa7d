#include "platform/serial_port.h"

#include "platform/port_list.h"

#include <QScopedValueRollback>
#include <QSerialPort>

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kelvo::platform {

qint64 SerialPortCount()
{
    return portList().serialPortNames().size();
}

QString SerialPortName(qint64 index)
{
    const QStringList names = portList().serialPortNames();
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

// Writes what the non-blocking device takes now; the count written (0 when it takes nothing
// or fails).
qsizetype writeNow(int descriptor, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (descriptor >= 0 && written < bytes.size()) {
        const ssize_t result = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (result > 0)
            written += result;
        else if (result < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return written;
}

// Bytes in the driver's transmit queue, not yet on the line; 0 when it cannot tell.
qint64 driverQueued(int descriptor)
{
    int queued = 0;
    if (descriptor < 0 || ::ioctl(descriptor, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
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
    const QScopedValueRollback quiet(quiet_, true);
    const bool opened = port_->open(QIODevice::ReadWrite);
    if (opened) {
        // A pseudo-terminal cannot drop DTR; that is no fault of the line.
        port_->setDataTerminalReady(false);
    } else {
        lastError_ = port_->error();
        // Still closed after the error, not by its user.
        deviceGone_ = wasGone;
    }
    port_->clearError();
    return opened;
}

void SerialPort::Write(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    // Straight to the device while nothing waits in Qt's queue: Qt's own path arms a write
    // notifier for every write and disarms it on a later pass of the event loop, extra
    // wake-ups for each command. Whatever the device does not take at once (or a write that
    // fails, which Qt then reports as an error) goes to Qt's queue, behind what went before.
    qsizetype written = 0;
    if (port_->bytesToWrite() == 0)
        written = writeNow(port_->handle(), bytes);
    if (written < bytes.size())
        port_->write(bytes.constData() + written, bytes.size() - written);
}

void SerialPort::Flush()
{
    // Nothing left to push: Write has sent all the device would take, and what waits in Qt's
    // queue goes out as soon as the device takes more. Pushing it now would only meet a full
    // device, which Qt reports as a write error, as if the device had gone.
}

qint64 SerialPort::bytesWaiting() const
{
    if (!isOpen())
        return 0;
    return port_->bytesToWrite() + driverQueued(port_->handle());
}

qint64 SerialPort::discardWaiting()
{
    if (!isOpen())
        return 0;
    const qint64 waiting = bytesWaiting();
    // Qt's queue and the driver's (tcflush TCOFLUSH). A failure here is no fault of the line:
    // a device that has gone shows on its next read.
    const QScopedValueRollback quiet(quiet_, true);
    port_->clear(QSerialPort::Output);
    port_->clearError();
    return waiting;
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
    // those of a discard are the discard's, and closing a closed port is no error.
    if (quiet_ || qtError == QSerialPort::NoError || qtError == QSerialPort::NotOpenError
        || !port_->isOpen() || deviceGone_)
        return;
    lastError_ = qtError;
    if (deviceIsGone(qtError)) {
        // Report once, then close the device underneath. The close is queued because Qt may be
        // inside its own notifier here; until it runs, repeats are swallowed.
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

} // namespace kelvo::platform
