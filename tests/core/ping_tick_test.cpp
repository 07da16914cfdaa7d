// The ping tick on a real unit port and relay link, its timer shots fired by hand and the clock
// scripted: polling by the monitor interval, the keep-alive, the inactivity timeout and the
// no-response check.

#include "support/bridge_fixture.h"

#include "platform/dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <limits>

using namespace kelvo;

namespace {

using test::LinkedBridge;

class PingTick : public LinkedBridge {
protected:
    void SetUp() override
    {
        LinkedBridge::SetUp();
        startPing();
        window->lastRead = clockSeconds();
        window->lastWrite = window->lastRead;
    }

    void tick()
    {
        ASSERT_TRUE(window->ping()->isArmed()) << "the tick must be due";
        window->ping()->fire();
    }

    void armInactivity(const QString &minutes)
    {
        window->slaveTimeout()->setChecked(true);
        window->timeoutMinutes()->setText(minutes);
    }
};

struct MonitorCase {
    const char *name;
    qint64 index;
    QList<int> pollTicks; // ticks 1 to 6 that send "S"
};

void PrintTo(const MonitorCase &c, std::ostream *out) { *out << c.name; }

class MonitorInterval : public PingTick, public ::testing::WithParamInterface<MonitorCase> {};

TEST_P(MonitorInterval, PollsWhileLinkedOnItsTicks)
{
    const MonitorCase &c = GetParam();
    window->linked = true;
    window->monitor10(c.index)->setChecked(true);
    unit.setSilent(true); // only the polls matter here
    qsizetype polls = 0;
    for (int t = 1; t <= 6; ++t) {
        ASSERT_EQ(window->pcount, t);
        tick();
        if (c.pollTicks.contains(t)) {
            ++polls;
            ASSERT_TRUE(unit.waitForCommands(polls)) << "tick " << t;
        }
        // Logged as it is sent: this tick polled or did not, whatever the unit has seen yet.
        EXPECT_EQ(log().count(QStringLiteral(">SERIAL|S")), polls) << "tick " << t;
        window->lastRead = window->lastWrite; // the unit counts as answering
    }
    settle();
    EXPECT_EQ(unit.commands(), QList<QByteArray>(polls, "S"));
    EXPECT_EQ(window->pcount, 7);
    EXPECT_FALSE(window->fadetimer()->isArmed()) << "no keep-alive while linked";
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
    EXPECT_TRUE(relay.lines().isEmpty());
    EXPECT_TRUE(services.boxes.empty());

    tick();
    EXPECT_EQ(window->pcount, 2) << "7 goes back to 1 at the start of the next tick";
}

INSTANTIATE_TEST_SUITE_P(Intervals, MonitorInterval,
                         ::testing::Values(MonitorCase{"Off", 0, {}},
                                           MonitorCase{"Every5Secs", 1, {1, 2, 3, 4, 5, 6}},
                                           MonitorCase{"Every10Secs", 2, {2, 4, 6}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PingTick, KeepAliveOnlyOnTheSixthTickWhileNotLinked)
{
    window->monitor10(1)->setChecked(true);
    for (int t = 1; t <= 5; ++t) {
        tick();
        EXPECT_FALSE(window->fadetimer()->isArmed()) << "tick " << t;
        EXPECT_EQ(lamp(), QStringLiteral("amber"));
    }
    tick();
    EXPECT_EQ(lamp(), QStringLiteral("grey"));
    EXPECT_EQ(window->fadetimer()->Mode(), platform::Timer::modeSingle);
    ASSERT_TRUE(window->fadetimer()->isArmed());
    settle();
    EXPECT_TRUE(relay.received().isEmpty()) << "nothing goes out before the fade timer fires";

    window->fadetimer()->fire();
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
    ASSERT_TRUE(relay.waitForLines(1));
    EXPECT_EQ(relay.received(), QByteArray(";ping=\r")) << "before any key";
    EXPECT_EQ(log(), QStringList{">SERVER|;ping="});
    settle();
    EXPECT_TRUE(unit.commands().isEmpty()) << "no poll while not linked";

    relay.clearRecords();
    deliver(";203 key ABCD-EFGH-IJKL-MN");
    ASSERT_TRUE(relay.waitForLines(1));
    relay.clearRecords();
    window->lastRead = window->lastWrite = clockSeconds();
    for (int t = 1; t <= 6; ++t)
        tick();
    window->fadetimer()->fire();
    ASSERT_TRUE(relay.waitForLines(1));
    EXPECT_EQ(relay.received(), QByteArray(";ping=ABCD-EFGH-IJKL-MN\r"));
}

TEST_F(PingTick, NoKeepAliveWhenLinkedOnTheSixthTick)
{
    window->pcount = 6;
    window->linked = true;
    window->monitor10(0)->setChecked(true);
    tick();
    EXPECT_FALSE(window->fadetimer()->isArmed());
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
}

TEST_F(PingTick, InactivityTimeoutFiresHalfASecondAfterTheLimitNotAtIt)
{
    armInactivity(QStringLiteral("0.5"));
    services.clock = 1'700'000'000.9;
    deliver("A10");
    ASSERT_TRUE(unit.waitForCommand("A10"));
    ASSERT_EQ(window->lastRemote, 1'700'000'000);
    window->lastRead = window->lastWrite;
    unit.clearRecords();
    test::clearLog();

    services.clock = 1'700'000'030.0; // the limit exactly
    tick();
    settle();
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(unit.commands().isEmpty());

    services.clock = 1'700'000'030.5;
    int shown = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::plain);
        EXPECT_EQ(box.text,
                  QStringLiteral("Outputs turned off. No commands were received by the end of the timeout period"));
        EXPECT_FALSE(window->ping()->Enabled());
        EXPECT_EQ(window->lastRemote, 0);
        EXPECT_EQ(log(), (QStringList{" STATUS|Timeout - no remote commands received", ">SERIAL|K"}));
        ++shown;
        services.clock = 1'700'000'042.7; // the user answers later
    };
    tick();
    EXPECT_EQ(shown, 1);
    services.onBox = nullptr;
    ASSERT_TRUE(unit.waitForCommand("K"));
    EXPECT_EQ(window->lastWrite, 1'700'000'042);
    EXPECT_EQ(window->lastRead, 1'700'000'042);
    EXPECT_TRUE(window->ping()->Enabled());
    EXPECT_TRUE(window->serverconnected) << "the links stay up";

    services.clock += 1000;
    tick();
    EXPECT_EQ(services.boxes.size(), 1u) << "once per remote command";

    deliver("A5");
    services.clock += 31;
    tick();
    EXPECT_EQ(services.boxes.size(), 2u) << "a new remote command arms it again";
}

struct HugeCase {
    const char *name;
    const char *minutes;
};

void PrintTo(const HugeCase &c, std::ostream *out) { *out << c.name; }

class HugeTimeout : public PingTick, public ::testing::WithParamInterface<HugeCase> {};

TEST_P(HugeTimeout, NeverFires)
{
    armInactivity(QString::fromLatin1(GetParam().minutes));
    window->lastRemote = 1'700'000'000;
    services.clock = 1'700'000'000.0 + 1e9;
    window->lastRead = window->lastWrite = clockSeconds();
    tick();
    settle();
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(unit.commands().isEmpty());
    EXPECT_EQ(window->lastRemote, 1'700'000'000);
}

INSTANTIATE_TEST_SUITE_P(
    Minutes, HugeTimeout,
    ::testing::Values(HugeCase{"SecondsBeyond64Bits", "2e17"},
                      HugeCase{"SumBeyond64Bits", "153722867266666666"},
                      HugeCase{"Infinite", "1e999"}, HugeCase{"AtTheSaturationPoint", "153722867280912930.1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PingTick, TimeoutNeedsItsFourConditions)
{
    services.clock = 1'700'000'100.0;
    window->lastRead = window->lastWrite = clockSeconds();
    struct Off {
        bool checked;
        qint64 lastRemote;
        const char *minutes;
    };
    for (const Off &off : {Off{false, 1'700'000'000, "1"}, Off{true, 0, "1"}, Off{true, 1'700'000'000, ""},
                           Off{true, 1'700'000'000, "-1"}, Off{true, 1'700'000'000, "x1"}}) {
        window->slaveTimeout()->setChecked(off.checked);
        window->timeoutMinutes()->setText(QString::fromLatin1(off.minutes));
        window->lastRemote = off.lastRemote;
        tick();
        EXPECT_TRUE(services.boxes.empty()) << off.checked << " " << off.lastRemote << " " << off.minutes;
    }
}

// The times below count back from the scripted clock, which the tick does not move.
constexpr qint64 now = 1'700'000'000;
constexpr qint64 maxTime = std::numeric_limits<qint64>::max();

struct SilenceCase {
    const char *name;
    qint64 lastRead;
    qint64 unansweredSince; // 0: every status request answered
    bool alive;
    bool fires;
};

void PrintTo(const SilenceCase &c, std::ostream *out) { *out << c.name; }

class NoResponse : public PingTick, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(NoResponse, FiresWhenARequestWentUnansweredPastTheMargin)
{
    const SilenceCase &c = GetParam();
    ASSERT_EQ(clockSeconds(), now);
    window->lastRead = c.lastRead;
    window->lastWrite = now - 1; // a command since the last answer, whatever that proves
    window->unansweredSince = c.unansweredSince;
    window->itsAlive = c.alive;
    unit.setSilent(true);
    tick();
    ASSERT_EQ(services.boxes.size(), c.fires ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Times, NoResponse,
    ::testing::Values(SilenceCase{"TwentySecondsSinceTheLastAnswerIsStillFine", now - 20, now - 15, true, false},
                      SilenceCase{"AskedAndMoreThanTwentySeconds", now - 21, now - 15, true, true},
                      SilenceCase{"AskedTwoSecondsAgoIsNotJudgedYet", now - 60, now - 2, true, false},
                      SilenceCase{"AskedThreeSecondsAgo", now - 60, now - 3, true, true},
                      SilenceCase{"NothingAskedSinceTheLastAnswer", now - 60, 0, true, false},
                      SilenceCase{"NotAliveSinceConnect", now, 0, false, true},
                      SilenceCase{"PortErrorSinceTheLastAnswer", 0, 0, true, true},
                      SilenceCase{"NoSumPastTheRange", maxTime - 5, now - 60, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

struct AskCase {
    const char *name;
    qint64 lastRead;
    qint64 lastWrite;
    qint64 unansweredSince;
    bool asks;
};

void PrintTo(const AskCase &c, std::ostream *out) { *out << c.name; }

class StatusRequestDue : public PingTick, public ::testing::WithParamInterface<AskCase> {};

// With no poll (monitor off), a command the unit has not confirmed gets a status request from
// the tick in time for the next tick to judge the answer: the last answer would be past the
// margin by then.
TEST_P(StatusRequestDue, AsksWhenAnUnconfirmedCommandWouldOutlastTheMargin)
{
    const AskCase &c = GetParam();
    window->monitor10(0)->setChecked(true);
    window->linked = true;
    window->lastRead = c.lastRead;
    window->lastWrite = c.lastWrite;
    window->unansweredSince = c.unansweredSince;
    unit.setSilent(true);
    tick();
    settle();
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(unit.commands(), c.asks ? QList<QByteArray>{"S"} : QList<QByteArray>{});
    EXPECT_EQ(window->unansweredSince, c.asks ? now : c.unansweredSince);
}

INSTANTIATE_TEST_SUITE_P(
    Times, StatusRequestDue,
    ::testing::Values(AskCase{"StillWithinTheMarginAtTheNextTick", now - 15, now - 1, 0, false},
                      AskCase{"PastTheMarginByTheNextTick", now - 16, now - 1, 0, true},
                      AskCase{"NoCommandSinceTheLastAnswer", now - 60, now - 60, 0, false},
                      AskCase{"ARequestIsOutAlready", now - 16, now - 1, now - 1, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PingTick, TheRequestItAskedDecidesTheNextTick)
{
    window->monitor10(0)->setChecked(true);
    window->linked = true;
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        unit.setSilent(!answers);
        unit.clearRecords();
        window->lastRead = clockSeconds() - 16;
        window->lastWrite = clockSeconds() - 1;
        window->unansweredSince = 0;
        tick();
        ASSERT_TRUE(unit.waitForCommand("S"));
        if (answers) {
            ASSERT_TRUE(test::waitUntil([this] { return window->unansweredSince == 0; }));
            EXPECT_EQ(window->lastRead, clockSeconds());
        }
        services.clock += 5;
        tick();
        EXPECT_EQ(services.boxes.size(), answers ? 0u : 1u);
    }
}

TEST_F(PingTick, NoResponseRetryAsksAgainAndKeepsTicking)
{
    window->itsAlive = false;
    int shown = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
        EXPECT_EQ(box.code, platform::MsgBoxCode::CautionRetryCancel);
        EXPECT_TRUE(box.title.isEmpty());
        EXPECT_EQ(box.text, QStringLiteral("No response from the Q6. Please check the connection then click Retry, "
                                           "or click Cancel to disconnect"));
        EXPECT_FALSE(window->ping()->Enabled());
        EXPECT_EQ(log(), QStringList{" SERIAL|Timeout - Q6 not responding"});
        ++shown;
    };
    tick();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(window->ping()->Enabled());
    ASSERT_TRUE(unit.waitForCommand("S"));
    EXPECT_TRUE(window->serverconnected);
}

TEST_F(PingTick, NoResponseCancelDisconnects)
{
    window->itsAlive = false;
    services.pushAnswer(platform::MsgBoxAnswer::Cancel);
    tick();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_FALSE(window->ping()->Enabled());
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_EQ(window->serverinfo()->text(), QStringLiteral("Not connected"));
    ASSERT_TRUE(relay.waitForLine(";quit"));
    settle();
    EXPECT_TRUE(unit.commands().isEmpty()) << "no retry poll after Cancel";
}

TEST_F(PingTick, RelayDownStopsTheTickButBothChecksStillRun)
{
    window->serverconnected = false;
    window->linked = true;
    window->pcount = 6;
    armInactivity(QStringLiteral("1"));
    window->lastRemote = clockSeconds() - 61;
    window->itsAlive = false;
    tick();
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].kind, ScriptedServices::BoxKind::plain);
    EXPECT_EQ(services.boxes[1].code, platform::MsgBoxCode::CautionRetryCancel);
    EXPECT_EQ(window->pcount, 6) << "no count with the relay down";
    EXPECT_FALSE(window->fadetimer()->isArmed());
    ASSERT_TRUE(unit.waitForCommands(3));
    EXPECT_EQ(unit.commandsBesideBlankLines(), (QList<QByteArray>{"K", "S"})) << "the off and the retry poll, no monitor poll";
    EXPECT_TRUE(window->ping()->Enabled()) << "Retry turns it on again";

    window->itsAlive = true;
    window->lastRead = window->lastWrite;
    tick();
    EXPECT_FALSE(window->ping()->Enabled()) << "the next tick finds the relay still down";
    EXPECT_EQ(services.boxes.size(), 2u);
}

// However late the relay link comes up, the tick runs from then on: the tick that found it
// down had stopped itself. A port closed under the bridge by an error still counts: the tick
// is what reports it.
TEST_F(PingTick, RelayComingUpLateStartsTheTickAgain)
{
    for (const bool portLost : {false, true}) {
        SCOPED_TRACE(portLost ? "port closed by an error" : "port open");
        if (portLost) {
            unit.hangUp();
            ASSERT_TRUE(test::waitUntil([this] { return window->kelvoserial()->isClosedAfterError(); }));
        }
        // As a tick that found the link still down leaves them.
        window->serverconnected = false;
        window->ping()->setEnabled(false);
        window->kelvoconnect()->Connect();
        ASSERT_TRUE(test::waitUntil([this] { return window->serverconnected; }));
        EXPECT_TRUE(window->ping()->isArmed());
        EXPECT_EQ(window->ping()->Mode(), platform::Timer::modeMultiple);
    }
}

// A box of the tick waits: the link coming up meanwhile leaves the tick off, and the answer
// turns it on.
TEST_F(PingTick, RelayComingUpWhileATickBoxWaitsLeavesTheTickToTheAnswer)
{
    window->kelvoconnect()->Close();
    window->serverconnected = false;
    window->itsAlive = false;
    bool armedWhileWaiting = true;
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        window->kelvoconnect()->Connect();
        ASSERT_TRUE(test::waitUntil([this] { return window->serverconnected; }));
        armedWhileWaiting = window->ping()->isArmed();
    };
    tick();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_FALSE(armedWhileWaiting);
    EXPECT_TRUE(window->ping()->isArmed()) << "Retry";
}

} // namespace
