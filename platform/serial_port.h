#pragma once
// A serial port object with the semantics the bridge relies on, over QSerialPort.
// Line settings are fixed at creation: 9600 bit/s, 8N1, no flow control, DTR off.

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;

namespace kelvo::platform {

// The machine's ports, through the port list (platform/port_list.h), so tests can list
// pseudo-terminals.
[[nodiscard]] qint64 SerialPortCount();
// The listed name of the port at a 0-based index; empty when there is no such port.
[[nodiscard]] QString SerialPortName(qint64 index);
// The device path of a listed port: "/dev/" + its name.
[[nodiscard]] QString devicePathOf(const QString &listedName);

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // The device path the next Open uses.
    void setSerialPort(const QString &devicePath);
    [[nodiscard]] QString serialPort() const;

    // Opens the port now set; an open object is closed first. False when it does not open;
    // a failed open raises no error event. LastErrorCode then holds Qt's reason.
    bool Open();
    // Sends at once what the device takes; the rest waits in Qt's queue, in order, until the
    // device takes more.
    void Write(const QByteArray &bytes);
    void Flush();
    // Bytes written but not yet on the line: Qt's queue and the driver's transmit queue. At
    // 9600 bit/s the line carries 960 a second, far slower than anything that writes to it.
    [[nodiscard]] qint64 bytesWaiting() const;
    // Throws away what still waits to go out (Qt's queue and the driver's transmit queue), so
    // that the next write goes out ahead of it; the count thrown away. What the device itself
    // already holds (a UART's FIFO) cannot be taken back.
    qint64 discardWaiting();
    [[nodiscard]] QByteArray ReadAll();
    // Harmless on a closed port.
    void Close();
    // False once the device has gone away, even before the queued close underneath.
    [[nodiscard]] bool isOpen() const;
    // True from an error that took the device away (the port closed underneath) until a Close
    // or a successful Open: the port is closed, but not by its user.
    [[nodiscard]] bool isClosedAfterError() const { return deviceGone_; }
    // The last error Qt reported (QSerialPort::SerialPortError), kept until the next one.
    [[nodiscard]] int LastErrorCode() const;

signals:
    void dataAvailable();
    // Only for errors of an open port; once for a device that went away, which is then
    // closed.
    void error();

private:
    void handleError(int qtError);

    QSerialPort *port_;
    QString devicePath_;
    int lastError_ = 0;
    // Set while opening and discarding: errors met then are theirs, not the open port's.
    bool quiet_ = false;
    // Set by an error that leaves the device useless; the port counts as closed from then on,
    // also through a reopen that fails.
    bool deviceGone_ = false;
    // Counts Close calls, so a queued close never touches a port opened again since.
    quint64 generation_ = 0;
};

} // namespace kelvo::platform
