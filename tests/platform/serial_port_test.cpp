// The serial layer on a real QSerialPort over a pseudo-terminal.

#include "platform/serial_port.h"
#include "support/cpu_time.h"
#include "support/pty_pair.h"
#include "support/scripted_services.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

// Reads from the far end until `expected` bytes came or a second passed.
QByteArray readAtFarEnd(PtyPair &pty, qsizetype expected)
{
    QByteArray got;
    for (int i = 0; i < 100 && got.size() < expected; ++i) {
        got += pty.readFromSlave();
        if (got.size() < expected)
            QTest::qWait(10);
    }
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.isOpen());
        port.setSerialPort(pty.slavePath());
    }

    ScriptedServices scripted;
    PtyPair pty;
    platform::SerialPort port;
    QSignalSpy errors {&port, &platform::SerialPort::error};
    QSignalSpy data {&port, &platform::SerialPort::dataAvailable};
};

TEST(SerialPortNames, ListedThroughTheSeamWithDevicePathRule)
{
    ScriptedServices scripted;
    scripted.ports = {QStringLiteral("ttyUSB0"), QStringLiteral("pts/3")};
    EXPECT_EQ(platform::SerialPortCount(), 2);
    EXPECT_EQ(platform::SerialPortName(0), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(platform::SerialPortName(1), QStringLiteral("pts/3"));
    EXPECT_EQ(platform::SerialPortName(2), QString());
    EXPECT_EQ(platform::SerialPortName(-1), QString());
    EXPECT_EQ(platform::devicePathOf(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(platform::devicePathOf(QStringLiteral("tty.usbserial")), QStringLiteral("/dev/tty.usbserial"));
}

TEST_F(SerialPortTest, OpensWithFixedLineSettingsAndReopensWhileOpen)
{
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.isOpen());
    const auto *qport = port.findChild<QSerialPort *>();
    ASSERT_NE(qport, nullptr);
    EXPECT_EQ(qport->baudRate(), 9600);
    EXPECT_EQ(qport->dataBits(), QSerialPort::Data8);
    EXPECT_EQ(qport->parity(), QSerialPort::NoParity);
    EXPECT_EQ(qport->stopBits(), QSerialPort::OneStop);
    EXPECT_EQ(qport->flowControl(), QSerialPort::NoFlowControl);

    // A second Open on the same device must not trip over the first one's lock file.
    EXPECT_TRUE(port.Open());
    EXPECT_TRUE(port.isOpen());
    port.Write("S\r");
    port.Flush();
    EXPECT_EQ(readAtFarEnd(pty, 2), QByteArray("S\r"));
    QTest::qWait(20);
    EXPECT_EQ(errors.count(), 0) << "DTR on a pseudo-terminal is no port error";
}

TEST_F(SerialPortTest, ReopenSwitchesToThePortNowSet)
{
    PtyPair other;
    ASSERT_TRUE(port.Open());
    port.setSerialPort(other.slavePath());
    ASSERT_TRUE(port.Open());
    port.Write("K\r");
    port.Flush();
    EXPECT_EQ(readAtFarEnd(other, 2), QByteArray("K\r"));
    EXPECT_TRUE(pty.readFromSlave().isEmpty());

    // The first device was really released: another object can take it.
    platform::SerialPort second;
    second.setSerialPort(pty.slavePath());
    EXPECT_TRUE(second.Open());
}

TEST_F(SerialPortTest, WriteAndFlushReachTheFarEndByteForByte)
{
    ASSERT_TRUE(port.Open());
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    port.Write(all);
    port.Flush();
    EXPECT_EQ(readAtFarEnd(pty, all.size()), all);
}

// More than the device takes at once: what it cannot take yet waits and follows in order,
// also behind later writes, and no error is raised.
TEST_F(SerialPortTest, WritesTheDeviceCannotTakeAtOnceFollowInOrder)
{
    ASSERT_TRUE(port.Open());
    QByteArray all;
    for (int chunk = 0; chunk < 64; ++chunk) {
        QByteArray bytes(4096, 'a' + char(chunk % 26));
        bytes.prepend(QByteArray::number(chunk) + ':');
        port.Write(bytes);
        port.Flush();
        all += bytes;
    }
    EXPECT_EQ(readAtFarEnd(pty, all.size()), all);
    EXPECT_EQ(errors.count(), 0);
    EXPECT_TRUE(port.isOpen());
}

TEST_F(SerialPortTest, ReadAllReturnsPartialAndSeveralLinesUnchanged)
{
    ASSERT_TRUE(port.Open());
    pty.writeToSlave("1:2:3");
    ASSERT_TRUE(data.wait(1000));
    EXPECT_EQ(port.ReadAll(), QByteArray("1:2:3"));
    EXPECT_EQ(port.ReadAll(), QByteArray());

    data.clear();
    pty.writeToSlave(QByteArray("a:b\nc:d\n\xff\x00z", 11));
    ASSERT_TRUE(data.wait(1000));
    QTest::qWait(20);
    EXPECT_EQ(port.ReadAll(), QByteArray("a:b\nc:d\n\xff\x00z", 11));
}

TEST_F(SerialPortTest, CloseTwiceAndFailedOpenRaiseNoError)
{
    port.Close(); // never opened
    ASSERT_TRUE(port.Open());
    port.Close();
    port.Close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.ReadAll(), QByteArray());

    port.setSerialPort(QStringLiteral("/dev/kelvo-no-such-port"));
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.LastErrorCode(), 0) << "the reason is kept for whoever asks";
    port.Write("S\r"); // harmless on a closed port
    port.Flush();
    QTest::qWait(50);
    EXPECT_EQ(errors.count(), 0);
}

TEST_F(SerialPortTest, SecondObjectOnTheSameDeviceFailsQuietly)
{
    ASSERT_TRUE(port.Open());
    platform::SerialPort second;
    QSignalSpy secondErrors(&second, &platform::SerialPort::error);
    second.setSerialPort(pty.slavePath());
    EXPECT_FALSE(second.Open());
    QTest::qWait(20);
    EXPECT_EQ(secondErrors.count(), 0);
    EXPECT_TRUE(port.isOpen());
}

TEST_F(SerialPortTest, HangUpGivesOneErrorAndAnIdleCpu)
{
    ASSERT_TRUE(port.Open());
    pty.hangUp();
    ASSERT_TRUE(errors.wait(2000));

    const double cpuBefore = test::cpuSeconds();
    QTest::qWait(1000);
    const double cpuUsed = test::cpuSeconds() - cpuBefore;

    EXPECT_EQ(errors.count(), 1);
    EXPECT_LT(cpuUsed, 0.3) << "the port keeps reporting its error in a busy loop";
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.LastErrorCode(), int(QSerialPort::NoError));
    port.Close();
    QTest::qWait(20);
    EXPECT_EQ(errors.count(), 1);
}

TEST_F(SerialPortTest, ErrorHandlerMayReopenAtOnce)
{
    // A handler that reopens in the error event gets a working port, not one the layer
    // closes a moment later.
    PtyPair other;
    ASSERT_TRUE(port.Open());
    QObject::connect(&port, &platform::SerialPort::error, &port, [&] {
        port.setSerialPort(other.slavePath());
        EXPECT_TRUE(port.Open());
    });
    pty.hangUp();
    ASSERT_TRUE(errors.wait(2000));
    QTest::qWait(50);
    EXPECT_TRUE(port.isOpen());
    port.Write("S\r");
    port.Flush();
    EXPECT_EQ(readAtFarEnd(other, 2), QByteArray("S\r"));
    EXPECT_EQ(errors.count(), 1);
}

} // namespace
