// The unit goes silent during remote control: the bridge warns once a status request has gone
// unanswered and the last status line is more than 20 s old, Retry keeps watching, and when
// the unit answers again the bridge carries on. A unit that answers is never warned about,
// however busy the remote and whatever the monitor interval.

#include "support/bridge_fixture.h"

#include "platform/dialogs.h"

#include <QRadioButton>

namespace {

using test::BridgeOnRealLinks;

class UnitSilent : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        window->monitor10(1)->setChecked(true);
        ASSERT_TRUE(window->monitor10(1)->isChecked());
    }

    // A remote command that reaches the unit, then one tick.
    void remoteCommandThenTick(const QByteArray &command)
    {
        const qsizetype sent = unit.commands().count(command);
        ASSERT_TRUE(relay.send(command));
        ASSERT_TRUE(test::waitUntil([&] { return unit.commands().count(command) > sent; }));
        tick();
    }

    // One tick; the poll it sends is seen by the unit before this returns.
    void pollTick()
    {
        const qsizetype before = unit.statusRequests();
        tick();
        ASSERT_TRUE(test::waitUntil([&] { return unit.statusRequests() > before; })) << "no poll";
    }
};

TEST_F(UnitSilent, WarnsPastTheMarginRetryKeepsWatchingAndTheBridgeCarriesOnOnceItAnswers)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    const qint64 lastStatus = window->lastRead;
    ASSERT_EQ(lastStatus, clockSeconds());
    unit.setSilent(true);

    // Polls at +5, +10, +15, +20 s are within the margin: no box.
    for (int i = 1; i <= 4; ++i) {
        pollTick();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(services.boxes.size(), 0u) << "tick " << i;
        EXPECT_EQ(window->lastWrite, lastStatus + 5 * i);
    }
    EXPECT_EQ(window->lastRead, lastStatus);

    // +25 s: the last command is more than 20 s past the last status line. Retry (the default
    // answer) turns ping on again and asks once more.
    const qsizetype asked = unit.statusRequests();
    tick();
    ASSERT_EQ(noResponseBoxes(), 1);
    EXPECT_EQ(services.boxes.back().text, test::noResponseText);
    EXPECT_TRUE(window->ping()->isArmed());
    ASSERT_TRUE(test::waitUntil([&] { return unit.statusRequests() >= asked + 2; }))
        << "the poll, then Retry's status request";
    EXPECT_TRUE(window->serverconnected);
    EXPECT_TRUE(window->linked);

    // Still silent: the next tick warns again.
    const QByteArray comeback = "612:50:30:0:0:0:0:0:2.107";
    services.onBox = [this, &comeback](const ScriptedServices::ShownBox &) {
        // The user fixes the cable while the box is up.
        unit.setStatusLine(comeback);
        unit.setSilent(false);
    };
    relay.clearRecords();
    pollTick();
    ASSERT_EQ(noResponseBoxes(), 2);
    services.onBox = nullptr;

    // Retry's request is answered; the line goes on to the relay and the levels follow it.
    ASSERT_TRUE(relay.waitForLine(comeback));
    EXPECT_EQ(window->levelA, 25);
    EXPECT_EQ(window->levelB, 15);
    EXPECT_EQ(window->lastRead, clockSeconds());

    // The bridge carries on: the next tick polls, relays the answer and shows no box.
    relay.clearRecords();
    pollTick();
    EXPECT_EQ(noResponseBoxes(), 2);
    ASSERT_TRUE(relay.waitForLine(comeback));
    EXPECT_TRUE(window->ping()->isArmed());
    EXPECT_TRUE(window->linked);
    EXPECT_EQ(lamp(), QStringLiteral("green"));
    EXPECT_EQ(logCount(QStringLiteral(" SERIAL|Timeout - Q6 not responding")), 2);
}

// A unit that answers every poll never gets the box, however long the session runs.
TEST_F(UnitSilent, AnAnsweringUnitIsNeverWarnedAbout)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    for (int i = 0; i < 12; ++i) {
        relay.clearRecords();
        pollTick();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(relay.waitForLine(unit.statusLine())) << "tick " << i;
    }
    EXPECT_TRUE(services.boxes.empty());
}

struct BusyCase {
    const char *name;
    qint64 monitor; // index of the monitor interval
};

void PrintTo(const BusyCase &c, std::ostream *out) { *out << c.name; }

class BusyRemote : public UnitSilent, public ::testing::WithParamInterface<BusyCase> {
protected:
    // A remote command that reaches the unit, then one tick; every status request the bridge
    // made by then has had its answer handled.
    void commandThenTick()
    {
        remoteCommandThenTick("A5");
        ASSERT_FALSE(HasFatalFailure());
        QTest::qWait(50); // room for a request still on its way to the unit
        ASSERT_TRUE(test::waitUntil(
            [&] { return relay.lines().count(unit.statusLine()) == unit.statusRequests(); }))
            << "a status request went unanswered";
    }
};

// A command every tick for a minute, the unit answering every request at once: no box, with
// the monitor off (no polls, only the commands) as with polls.
TEST_P(BusyRemote, AnAnsweringUnitIsNeverWarnedAbout)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    window->monitor10(GetParam().monitor)->setChecked(true);
    unit.clearRecords();
    relay.clearRecords();
    for (int i = 1; i <= 12; ++i) {
        commandThenTick();
        ASSERT_FALSE(HasFatalFailure()) << "tick " << i;
        EXPECT_EQ(noResponseBoxes(), 0) << "tick " << i;
    }
    EXPECT_EQ(unit.commands().count("A5"), 12);
    EXPECT_TRUE(window->linked);
    EXPECT_TRUE(window->ping()->isArmed());
    EXPECT_EQ(logCount(QStringLiteral(" SERIAL|Timeout - Q6 not responding")), 0);
}

INSTANTIATE_TEST_SUITE_P(Monitor, BusyRemote,
                         ::testing::Values(BusyCase{"Off", 0}, BusyCase{"Every5Secs", 1},
                                           BusyCase{"Every10Secs", 2}),
                         [](const auto &info) { return std::string(info.param.name); });

// The same commands to a unit that has stopped answering, the monitor off: the bridge asks it
// for its status itself and warns within 25 s of its last answer; Cancel ends the session.
TEST_F(UnitSilent, ASilentUnitIsWarnedAboutWithTheMonitorOff)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    window->monitor10(0)->setChecked(true);
    const qint64 lastAnswer = window->lastRead;
    ASSERT_EQ(lastAnswer, clockSeconds());
    unit.setSilent(true);
    unit.clearRecords();
    services.pushAnswer(kelvo::platform::MsgBoxAnswer::Cancel);
    qint64 warnedAt = 0;
    qsizetype askedBeforeWarning = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        warnedAt = clockSeconds();
        askedBeforeWarning = unit.statusRequests();
    };

    for (int i = 1; i <= 12 && window->linked; ++i) {
        remoteCommandThenTick("A5");
        ASSERT_FALSE(HasFatalFailure());
    }
    services.onBox = nullptr;
    ASSERT_EQ(noResponseBoxes(), 1);
    EXPECT_EQ(services.boxes.back().text, test::noResponseText);
    EXPECT_GT(warnedAt, lastAnswer + 20);
    EXPECT_LE(warnedAt, lastAnswer + 25);
    EXPECT_EQ(askedBeforeWarning, 1) << "no polls: the one request the bridge asked itself";
    ASSERT_TRUE(relay.waitForLine(";quit"));
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->ping()->Enabled());
}

// A remote that switches the outputs off on every tick, to a unit that has stopped answering:
// each "K" throws away what waits, a poll perhaps among it, yet the unit is still judged from the
// first request it left unanswered.
TEST_F(UnitSilent, RemoteOffsDoNotHideASilentUnit)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    const qint64 lastAnswer = window->lastRead;
    unit.setSilent(true);
    unit.clearRecords();
    services.pushAnswer(kelvo::platform::MsgBoxAnswer::Cancel);
    qint64 warnedAt = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &) { warnedAt = clockSeconds(); };

    for (int i = 1; i <= 12 && window->linked; ++i) {
        remoteCommandThenTick("K");
        ASSERT_FALSE(HasFatalFailure());
    }
    services.onBox = nullptr;
    ASSERT_EQ(noResponseBoxes(), 1);
    EXPECT_LE(warnedAt, lastAnswer + 25);
}

} // namespace
