// The unit's line is slower than the relay: a remote that sends faster than 960 bytes a second
// fills the serial layer's queue. Every "K" the bridge sends must still reach the unit at once,
// ahead of whatever waits, and remote commands must not pile up behind more than about a second
// of line time. The unit here stops reading, so what the bridge writes waits as it would on a
// real line.

#include "support/bridge_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSet>

namespace {

const QByteArray blocked = ";701:command blocked";

class OffFirst : public test::BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        bringUpRemoteControl();
        ASSERT_FALSE(HasFatalFailure());
        relay.clearRecords();
        unit.clearRecords();
        unit.stopReading();
    }

    // The relay sends the commands as fast as it can, then a last read of its own; returns once
    // the bridge has handled them all. Each write is one TLS record that Qt decrypts in one
    // piece (at most 4 KB), so no read ends inside a command.
    void flood(const QList<QByteArray> &commands)
    {
        constexpr qsizetype perWrite = 500;
        for (qsizetype first = 0; first < commands.size(); first += perWrite)
            ASSERT_TRUE(relay.send(commands.mid(first, perWrite).join('\n') + '\n'));
        ASSERT_TRUE(relay.send("ZEND"));
        ASSERT_TRUE(test::waitUntil([this] { return window->serverinfo()->text().endsWith(QLatin1String("ZEND")); }, 60000))
            << "the flood was not worked through";
    }

    // The unit reads again; the count of bytes it got ahead of the first "K" beyond those it
    // already held when the OFF was sent (a CR that ends a command the OFF cut short counts).
    qint64 bytesAheadOfOff(qint64 heldAtOff)
    {
        unit.resumeReading();
        EXPECT_TRUE(unit.waitForCommand("K", 10000)) << "no K reached the unit";
        const qsizetype off = unit.received().indexOf("K\r");
        return off < 0 ? -1 : off - heldAtOff;
    }

    static QList<QByteArray> levelCommands(int count)
    {
        QList<QByteArray> commands;
        for (int i = 1; i <= count; ++i)
            commands << 'B' + QByteArray::number(i);
        return commands;
    }
};

// Each road by which the bridge sends "K".
enum class OffRoad { offButton, disconnectInRemoteControl, inactivityTimeout, relayLost };

class EveryOff : public OffFirst, public ::testing::WithParamInterface<OffRoad> {
protected:
    void sendOff()
    {
        switch (GetParam()) {
        case OffRoad::offButton:
            window->stopButton()->click();
            return;
        case OffRoad::disconnectInRemoteControl:
            press();
            return;
        case OffRoad::inactivityTimeout:
            window->slaveTimeout()->setChecked(true);
            window->timeoutMinutes()->setText(QStringLiteral("0.5"));
            services.clock += 31;
            window->ping()->fire();
            return;
        case OffRoad::relayLost:
            relay.dropConnection();
            ASSERT_TRUE(test::waitUntil([this] { return !window->serverconnected; }));
            return;
        }
    }
};

// 60,000 bytes of commands the filter lets through (channel B unlimited): on a real line a
// minute's worth. Whatever sends the "K", it goes out ahead of them.
TEST_P(EveryOff, OvertakesAFlood)
{
    flood(QList<QByteArray>(20000, "B5"));
    ASSERT_FALSE(HasFatalFailure());
    const qint64 held = unit.bytesHeld();
    ASSERT_GT(held, 0) << "the unit's side should hold what it has not read";
    clearLog();

    sendOff();
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_LE(bytesAheadOfOff(held), 1) << "beyond the " << held << " bytes the unit held";
    EXPECT_EQ(logStartingWith(QStringLiteral(" SERIAL|Discarded ")).size(), 1);
}

std::string roadName(const ::testing::TestParamInfo<OffRoad> &info)
{
    const char *const names[] = {"OffButton", "DisconnectInRemoteControl", "InactivityTimeout", "RelayLost"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(OffFirst, EveryOff,
                         ::testing::Values(OffRoad::offButton, OffRoad::disconnectInRemoteControl,
                                           OffRoad::inactivityTimeout, OffRoad::relayLost),
                         roadName);

// Beyond about a second of line time, remote commands are refused as blocked ones are, and the
// refused ones never reach the unit; once the line has drained, commands pass again.
TEST_F(OffFirst, RemoteCommandsBeyondASecondOfLineTimeAreRefused)
{
    constexpr int count = 20000;
    const QList<QByteArray> commands = levelCommands(count);
    flood(commands);
    ASSERT_FALSE(HasFatalFailure());
    const QString refusal = QStringLiteral(" STATUS|Remote command blocked, the line to the Q6 is still busy: ");
    QSet<QByteArray> refused;
    for (const QString &entry : logStartingWith(refusal))
        refused << entry.mid(refusal.size()).toLatin1();
    ASSERT_GT(refused.size(), 0);
    EXPECT_TRUE(test::waitUntil([&] { return relay.lines().count(blocked) == refused.size(); }))
        << relay.lines().count(blocked) << " refusals reached the relay of " << refused.size();

    // Everything let through reaches the unit, in order; nothing refused does.
    QList<QByteArray> passed;
    for (const QByteArray &command : commands)
        if (!refused.contains(command))
            passed << command;
    EXPECT_TRUE(refused.contains("ZEND"));
    unit.resumeReading();
    ASSERT_TRUE(unit.waitForCommands(passed.size(), 20000));
    QTest::qWait(100);
    EXPECT_EQ(unit.commands(), passed);
    EXPECT_TRUE(services.boxes.empty());

    relay.clearRecords();
    ASSERT_TRUE(relay.send("B7"));
    EXPECT_TRUE(unit.waitForCommand("B7"));
    EXPECT_FALSE(relay.lines().contains(blocked));
}

// A flood the unit's side swallows whole: nothing waits in the serial layer's own queue, and a
// pseudo-terminal's driver tells of none, yet the discard still cuts a command in two. The "K"
// must still reach the unit as a command of its own.
TEST_F(OffFirst, AnOffStaysACommandOfItsOwnWhereTheDiscardCutsACommand)
{
    flood(QList<QByteArray>(2000, "B1234"));
    ASSERT_FALSE(HasFatalFailure());
    // Its buffer full, the unit's side ends inside a command (4,095 is no multiple of 6).
    ASSERT_TRUE(test::waitUntil([this] { return unit.bytesHeld() >= 4095; }));
    ASSERT_EQ(window->kelvoserial()->bytesWaiting(), 0) << "the driver should tell of nothing waiting";
    window->stopButton()->click();
    unit.resumeReading();
    EXPECT_TRUE(unit.waitForCommand("K")) << unit.commands().mid(unit.commands().size() - 3).join(' ').toStdString();
}

// Commands the OFF threw away never reached the unit, so the filter cannot count on them: a raise
// waits for a level command to say where the channel stands again. The flood stays within what
// the unit's side takes, so no command is refused and the last one let through is "A10".
TEST_F(OffFirst, AfterAnOffThrowsCommandsAwayRaisesWaitForALevelCommand)
{
    window->limitA()->setChecked(true);
    window->maxA()->setText(QStringLiteral("50"));
    QList<QByteArray> upAndDown;
    for (int i = 0; i < 2000; ++i)
        upAndDown << "A50" << "A10";
    flood(upAndDown);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_FALSE(relay.lines().contains(blocked));
    window->stopButton()->click();
    unit.resumeReading();
    ASSERT_TRUE(unit.waitForCommand("K"));
    relay.clearRecords();

    // Counted from what was let through, the unit stands at 10; it may stand at 50.
    ASSERT_TRUE(relay.send("A+"));
    ASSERT_TRUE(relay.waitForLine(blocked));
    ASSERT_TRUE(relay.send("A20"));
    ASSERT_TRUE(unit.waitForCommand("A20"));
    relay.clearRecords();
    unit.clearRecords();
    ASSERT_TRUE(relay.send("A+"));
    EXPECT_TRUE(unit.waitForCommand("A+"));
    EXPECT_FALSE(relay.lines().contains(blocked));
}

} // namespace
