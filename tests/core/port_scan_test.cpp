// The port scan on simulated units: every port's turn, the test of the answer, both endings.
// Turns are ended by firing probeTimer by hand, so a scan of four ports runs in milliseconds.

#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "shell/log_window.h"
#include "shell/preferences_module.h"
#include "support/bridge_readers.h"
#include "support/preferences_test_home.h"
#include "support/q6_simulator.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

using namespace kelvo;

namespace {

const QString noUnitText = QStringLiteral(
    "Scan completed. No Q6 found. Please check your Q6 is connected to the computer and turned on");
const QString foundText = QStringLiteral("Scan completed. Your Q6 is connected to ");

const QString red = QStringLiteral("red");
const QString grey = QStringLiteral("grey");

// Two upper-case hex digits per byte, one blank between bytes, written out independently of
// the code under test.
[[nodiscard]] QString hexOf(const QByteArray &bytes)
{
    QStringList digits;
    for (const char byte : bytes)
        digits << QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return digits.join(QLatin1Char(' '));
}

class PortScan : public PreferencesTestHome {
protected:
    void SetUp() override
    {
        PreferencesTestHome::SetUp();
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        window = std::make_unique<KelvoBridge>();
        window->logging = true;
    }

    void TearDown() override
    {
        window.reset();
        if (logwindow *log = logwindow::openInstance())
            log->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        units.clear();
        PreferencesTestHome::TearDown();
    }

    // Simulated units listed as the machine's ports, in this order; all silent at first.
    void addUnits(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto unit = std::make_unique<Q6Simulator>();
            ASSERT_TRUE(unit->isOpen());
            unit->setSilent(true);
            services.ports << unit->listedName();
            units.push_back(std::move(unit));
        }
    }
    [[nodiscard]] QString name(int i) const { return units.at(static_cast<size_t>(i))->listedName(); }
    [[nodiscard]] Q6Simulator &unit(int i) { return *units.at(static_cast<size_t>(i)); }

    // The texts of the log's lines, without tag and time; every line must carry " SERIAL".
    [[nodiscard]] QStringList serialLog() const
    {
        const QString prefix = QStringLiteral(" SERIAL ") + services.dateText + QStringLiteral(": ");
        QStringList texts;
        for (const QString &line : test::logLines()) {
            EXPECT_TRUE(line.startsWith(prefix)) << line.toStdString();
            texts << line.mid(prefix.size());
        }
        return texts;
    }
    [[nodiscard]] QStringList dataLines() const { return serialLog().filter(QStringLiteral("Data received: ")); }

    [[nodiscard]] QString lamp() const { return test::lampOf(*window); }
    [[nodiscard]] QString status() const { return window->serverinfo()->text(); }
    [[nodiscard]] QString serial() const
    {
        return PreferencesModule::Preferences()->textOr(QStringLiteral("serial"), QStringLiteral("<none>"));
    }

    // Waits until the bytes sent have reached the scan's buffer.
    [[nodiscard]] bool bufferReaches(const QByteArray &bytes) const
    {
        return QTest::qWaitFor([&] { return window->kelvoResults == bytes; }, 3000);
    }
    // Sends bytes from a unit and waits until they are in the buffer after what it held.
    void deliver(int i, const QByteArray &bytes)
    {
        const QByteArray expected = window->kelvoResults + bytes;
        ASSERT_TRUE(unit(i).send(bytes));
        ASSERT_TRUE(bufferReaches(expected));
    }

    ScriptedServices services;
    std::vector<std::unique_ptr<Q6Simulator>> units;
    std::unique_ptr<KelvoBridge> window;
};

// Each scan runs once with the log on and once with it off: only the log may differ.
class FullScan : public PortScan, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        PortScan::SetUp();
        window->logging = GetParam();
    }
    [[nodiscard]] QStringList expectedLog(const QStringList &lines) const
    {
        return GetParam() ? lines : QStringList();
    }
};

TEST_P(FullScan, FourPortsNoUnit)
{
    addUnits(4);
    PreferencesModule::Preferences()->Set(QStringLiteral("serial"), JsonValue(name(1)));
    window->lastWrite = 1234;

    bool sawBox = false;
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        sawBox = true;
        // All ports are listed again before the box, the stored one selected; still scanning.
        EXPECT_EQ(test::portRows(*window), services.ports);
        EXPECT_EQ(window->portselector()->currentIndex(), 1);
        EXPECT_FALSE(window->connectButton()->isEnabled());
        EXPECT_EQ(lamp(), grey);
        EXPECT_FALSE(window->probe()->isOpen());
    };

    EXPECT_TRUE(window->_detectSerial_Action());
    EXPECT_EQ(window->portselector()->count(), 0);
    EXPECT_FALSE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), grey);

    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(window->currentProbe, i);
        EXPECT_EQ(status(), QStringLiteral("Checking port ") + name(i));
        EXPECT_EQ(window->probeTimer()->Mode(), platform::Timer::modeSingle);
        ASSERT_TRUE(window->probeTimer()->isArmed());
        ASSERT_TRUE(unit(i).waitForCommand("S"));
        EXPECT_TRUE(services.boxes.empty());
        window->probeTimer()->fire();
    }

    EXPECT_EQ(status(), QStringLiteral("Scan completed"));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(sawBox);
    const ScriptedServices::ShownBox &box = services.boxes.front();
    EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
    EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
    EXPECT_TRUE(box.title.isEmpty());
    EXPECT_EQ(box.text, noUnitText);
    EXPECT_TRUE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), red);
    EXPECT_EQ(test::portRows(*window), services.ports);
    EXPECT_EQ(window->portselector()->currentIndex(), 1);
    EXPECT_EQ(serial(), name(1));
    EXPECT_FALSE(window->probe()->isOpen());
    EXPECT_FALSE(window->probeTimer()->isArmed());
    EXPECT_TRUE(window->kelvoResults.isEmpty());

    // The status request went straight to each port, once, and to no other place.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(unit(i).received(), QByteArray("S\r")) << i;
    EXPECT_EQ(window->lastWrite, 1234);

    QStringList lines{QStringLiteral("Starting serial port scan")};
    for (int i = 0; i < 4; ++i)
        lines << QStringLiteral("Port set to ") + name(i) << QStringLiteral("Port opened, sending data")
              << QStringLiteral("Timer completed, closing ") + name(i);
    lines << QStringLiteral("Scan complete") << QStringLiteral("No Q6 found");
    EXPECT_EQ(serialLog(), expectedLog(lines));
    if (!GetParam()) {
        EXPECT_EQ(logwindow::openInstance(), nullptr);
    }
}

TEST_P(FullScan, FourPortsUnitOnPortTwo)
{
    addUnits(4);
    unit(2).setSilent(false);
    unit(3).setSilent(false);
    PreferencesModule::Preferences()->Set(QStringLiteral("serial"), JsonValue(name(0)));

    window->_detectSerial_Action();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(unit(i).waitForCommand("S"));
        window->probeTimer()->fire();
    }
    EXPECT_EQ(status(), QStringLiteral("Checking port ") + name(2));
    ASSERT_TRUE(bufferReaches(unit(2).statusReply()));

    // Found at the answer, but the turn goes on: no box, still scanning, probe still open.
    EXPECT_EQ(test::portRows(*window), QStringList{name(2)});
    EXPECT_EQ(window->portselector()->currentIndex(), 0);
    EXPECT_EQ(status(), QStringLiteral("Found a Q6 on ") + name(2));
    EXPECT_EQ(serial(), name(2));
    EXPECT_EQ(window->currentProbe, 3);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(window->probe()->isOpen());
    EXPECT_TRUE(window->probeTimer()->isArmed());
    EXPECT_FALSE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), grey);

    window->probeTimer()->fire();

    ASSERT_EQ(services.boxes.size(), 1u);
    const ScriptedServices::ShownBox &box = services.boxes.front();
    EXPECT_EQ(box.kind, ScriptedServices::BoxKind::plain);
    EXPECT_EQ(box.text, foundText + name(2));
    EXPECT_EQ(status(), QStringLiteral("Scan completed"));
    EXPECT_EQ(test::portRows(*window), QStringList{name(2)});
    EXPECT_EQ(window->portselector()->currentIndex(), 0);
    EXPECT_EQ(serial(), name(2));
    EXPECT_EQ(window->currentProbe, 3);
    EXPECT_TRUE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), red);
    EXPECT_FALSE(window->probe()->isOpen());
    EXPECT_FALSE(window->probeTimer()->isArmed());

    // Port 3 was never opened: let any late event run, then look.
    QTest::qWait(50);
    EXPECT_TRUE(unit(3).received().isEmpty());

    QStringList lines{QStringLiteral("Starting serial port scan")};
    for (int i = 0; i < 3; ++i) {
        lines << QStringLiteral("Port set to ") + name(i) << QStringLiteral("Port opened, sending data");
        if (i < 2)
            lines << QStringLiteral("Timer completed, closing ") + name(i);
    }
    lines << QStringLiteral("Data received: ") + hexOf(unit(2).statusReply())
          << QStringLiteral("Q6 detected") << QStringLiteral("Timer completed, closing ") + name(2)
          << QStringLiteral("Scan complete");
    EXPECT_EQ(serialLog(), expectedLog(lines));
}

INSTANTIATE_TEST_SUITE_P(Logging, FullScan, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "LogOn" : "LogOff";
                         });

TEST_F(PortScan, StatusLineInThreePiecesIsTestedOnceWhole)
{
    addUnits(1);
    window->_detectSerial_Action();
    ASSERT_TRUE(unit(0).waitForCommand("S"));

    deliver(0, "600:40:");
    deliver(0, "60:0:0:0:");
    EXPECT_TRUE(dataLines().isEmpty());
    EXPECT_EQ(window->portselector()->count(), 0);
    deliver(0, "0:0:2.107\n");

    EXPECT_EQ(dataLines(), QStringList{QStringLiteral("Data received: ")
                                       + hexOf("600:40:60:0:0:0:0:0:2.107\n")});
    EXPECT_EQ(test::portRows(*window), QStringList{name(0)});
}

struct TwoLines {
    const char *name;
    QByteArray first;
    QByteArray second;
    bool found;
};

void PrintTo(const TwoLines &c, std::ostream *out)
{
    *out << c.name;
}

class TwoLinesInOneTurn : public PortScan, public ::testing::WithParamInterface<TwoLines> {};

TEST_P(TwoLinesInOneTurn, TheWholeBufferIsTested)
{
    addUnits(1);
    window->_detectSerial_Action();
    ASSERT_TRUE(unit(0).waitForCommand("S"));

    deliver(0, GetParam().first);
    deliver(0, GetParam().second);

    EXPECT_EQ(dataLines(), QStringList({QStringLiteral("Data received: ") + hexOf(GetParam().first),
                                        QStringLiteral("Data received: ")
                                            + hexOf(GetParam().first + GetParam().second)}));
    EXPECT_EQ(window->portselector()->count(), GetParam().found ? 1 : 0);
    EXPECT_EQ(serialLog().count(QStringLiteral("Q6 detected")), GetParam().found ? 1 : 0);

    window->probeTimer()->fire();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text, GetParam().found ? foundText + name(0) : noUnitText);
    EXPECT_EQ(test::portRows(*window), QStringList{name(0)});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TwoLinesInOneTurn,
    ::testing::Values(
        // Ten ":" in the buffer.
        TwoLines{"ThreeFieldsThenStatusLine", "1:2:3\n", "600:40:60:0:0:0:0:0:2.107\n", false},
        // Eight ":" in the buffer; the hex is upper case for bytes above 0x7F too.
        TwoLines{"NoFieldsThenStatusLine", QByteArray("hello \xAB\xff\n"), "600:40:60:0:0:0:0:0:2.107\n", true},
        // Found once: a later line of the same turn does not list the port again.
        TwoLines{"StatusLineThenBareLineFeed", "600:40:60:0:0:0:0:0:2.107\n", "\n", true},
        TwoLines{"StatusLineWithCrLfThenText", "600:40:60:0:0:0:0:0:2.107\r\n", "OK\n", true}));

TEST_F(PortScan, PortThatDoesNotOpenTakesItsTurn)
{
    services.ports << QStringLiteral("kelvo-no-such-port");
    addUnits(1);
    window->_detectSerial_Action();

    EXPECT_EQ(status(), QStringLiteral("Checking port kelvo-no-such-port"));
    EXPECT_FALSE(window->probe()->isOpen());
    EXPECT_TRUE(window->probeTimer()->isArmed());
    EXPECT_EQ(serialLog(), QStringList({"Starting serial port scan", "Port set to kelvo-no-such-port",
                                        "Unable to open port"}));
    EXPECT_TRUE(services.boxes.empty());

    window->probeTimer()->fire();
    EXPECT_EQ(window->currentProbe, 1);
    EXPECT_EQ(status(), QStringLiteral("Checking port ") + name(0));
    ASSERT_TRUE(unit(0).waitForCommand("S"));
    EXPECT_EQ(serialLog().mid(3), QStringList({"Timer completed, closing kelvo-no-such-port",
                                               "Port set to " + name(0), "Port opened, sending data"}));
}

TEST_F(PortScan, PortGoneFromTheListIsOneThatDoesNotOpen)
{
    // No port at index 0 at all: the scan must still run its turn and end (the log line is
    // trimmed, so the empty name leaves "Port set to").
    window->_detectSerial_Action();
    EXPECT_EQ(serialLog(), QStringList({"Starting serial port scan", "Port set to", "Unable to open port"}));
    EXPECT_TRUE(window->probeTimer()->isArmed());

    window->probeTimer()->fire();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text, noUnitText);
    EXPECT_TRUE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), red);
}

TEST_F(PortScan, PortErrorIsLoggedAndTheTurnRunsOn)
{
    addUnits(2);
    window->_detectSerial_Action();
    ASSERT_TRUE(unit(0).waitForCommand("S"));
    unit(0).hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serialLog().contains(QStringLiteral("Port error")); }, 3000));
    EXPECT_EQ(serialLog().count(QStringLiteral("Port error")), 1);
    EXPECT_EQ(window->currentProbe, 0);
    EXPECT_TRUE(window->probeTimer()->isArmed());

    window->probeTimer()->fire();
    EXPECT_EQ(window->currentProbe, 1);
    EXPECT_TRUE(unit(1).waitForCommand("S"));
}

TEST_F(PortScan, FindStartsAfreshWithAnEmptyBufferAndTheUnitPortClosed)
{
    addUnits(2);
    unit(0).setSilent(false);
    // Bytes left by the unit link: joined to port 0's answer they would make eleven ":".
    window->kelvoResults = "1:2:3:";
    window->kelvoserial()->setSerialPort(unit(1).portPath());
    ASSERT_TRUE(window->kelvoserial()->Open());

    window->_detectSerial_Action();
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    ASSERT_TRUE(bufferReaches(unit(0).statusReply()));
    EXPECT_EQ(test::portRows(*window), QStringList{name(0)});
}

TEST_F(PortScan, FindDuringAScanRestartsAtPortZero)
{
    addUnits(3);
    window->_detectSerial_Action();
    ASSERT_TRUE(unit(0).waitForCommand("S"));
    window->probeTimer()->fire();
    ASSERT_TRUE(unit(1).waitForCommand("S"));
    deliver(1, "600:40:60:");

    window->_detectSerial_Action();

    EXPECT_EQ(window->currentProbe, 0);
    EXPECT_TRUE(window->kelvoResults.isEmpty());
    EXPECT_EQ(status(), QStringLiteral("Checking port ") + name(0));
    EXPECT_TRUE(window->probeTimer()->isArmed());
    ASSERT_TRUE(unit(0).waitForCommands(2));
    EXPECT_EQ(unit(0).statusRequests(), 2);
    // The port of the interrupted turn is let go: a stray byte from it reaches nobody.
    ASSERT_TRUE(unit(1).send("0:0:0:0:0:2.107\n"));
    QTest::qWait(50);
    EXPECT_TRUE(window->kelvoResults.isEmpty());

    for (int i = 0; i < 3; ++i)
        window->probeTimer()->fire();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text, noUnitText);
    EXPECT_TRUE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), red);
}

TEST_F(PortScan, RealTimerEndsTheTurnFiveSecondsAfterItBegan)
{
    services.realTimers = true;
    addUnits(1);
    unit(0).setSilent(false);

    QElapsedTimer clock;
    clock.start();
    window->_detectSerial_Action();
    ASSERT_TRUE(bufferReaches(unit(0).statusReply()));
    EXPECT_EQ(window->portselector()->count(), 1);
    EXPECT_TRUE(services.boxes.empty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !services.boxes.empty(); }, 8000));
    EXPECT_GE(clock.elapsed(), 4900);
    EXPECT_EQ(services.boxes.front().text, foundText + name(0));
    EXPECT_TRUE(window->connectButton()->isEnabled());
    EXPECT_EQ(lamp(), red);
    EXPECT_FALSE(window->probeTimer()->isArmed());
}

} // namespace
