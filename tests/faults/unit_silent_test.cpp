// The unit goes silent during remote control with polling every 5 seconds: the bridge warns
// once the last command is more than 20 s past the last status line, Retry keeps watching,
// and when the unit answers again the bridge carries on.

#include "support/bridge_fixture.h"

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

} // namespace
