// The unit's cable pulled during remote control: the simulator hangs up its end of the
// pseudo-terminal while the relay link is up and a remote user is linked.

#include "platform/dialogs.h"
#include "support/bridge_fixture.h"
#include "support/cpu_time.h"

using namespace kelvo;

namespace {

using test::BridgeOnRealLinks;

class CablePulled : public BridgeOnRealLinks {};

TEST_F(CablePulled, OneErrorLineAnIdleProcessAndTheNextTickAsksRetryOrCancel)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GT(window->lastRead, 0);
    test::clearLog();
    relay.clearRecords();

    unit.hangUp();
    ASSERT_TRUE(test::waitUntil([this] { return !logStartingWith(QStringLiteral(" SERIAL|Serial port error ")).isEmpty(); }))
        << log().join(u'\n').toStdString();

    // A second of event loop with the device gone: one report, and the process stays idle.
    const double cpuBefore = test::cpuSeconds();
    QTest::qWait(1000);
    const double cpuUsed = test::cpuSeconds() - cpuBefore;
    EXPECT_LT(cpuUsed, 0.3) << "busy loop after the hangup";

    const QStringList errors = logStartingWith(QStringLiteral(" SERIAL|Serial port error "));
    ASSERT_EQ(errors.size(), 1) << errors.join(u'\n').toStdString();
    const QString code = errors.front().mid(QStringLiteral(" SERIAL|Serial port error ").size());
    bool numeric = false;
    EXPECT_GT(code.toInt(&numeric), 0);
    EXPECT_TRUE(numeric) << code.toStdString();
    EXPECT_EQ(window->lastRead, 0);
    // The bridge neither closes nor reopens the port of its own accord, and shows nothing yet.
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(window->ping()->isArmed());

    // The next tick polls the gone unit, then finds it silent.
    services.pushAnswer(platform::MsgBoxAnswer::Cancel);
    bool stateAtBox = false;
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        stateAtBox = !window->ping()->Enabled() && window->serverconnected;
    };
    tick();
    ASSERT_EQ(services.boxes.size(), 1u);
    const auto &box = services.boxes.front();
    EXPECT_EQ(box.code, platform::MsgBoxCode::CautionRetryCancel);
    EXPECT_EQ(box.text, test::noResponseText);
    EXPECT_TRUE(box.title.isEmpty());
    EXPECT_TRUE(stateAtBox) << "ping must be off while the box waits";
    EXPECT_EQ(logCount(QStringLiteral(" SERIAL|Timeout - Q6 not responding")), 1);

    // Cancel: back to Idle, the relay told.
    ASSERT_TRUE(relay.waitForLine(";quit"));
    EXPECT_TRUE(relay.waitForDisconnected());
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->linked);
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_FALSE(window->ping()->Enabled());
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(window->serverinfo()->text(), QStringLiteral("Not connected"));
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_TRUE(window->portselector()->isEnabled());
    EXPECT_TRUE(window->kelvoResults.isEmpty());

    // Still idle afterwards, and no more error reports.
    const double cpuAfterReset = test::cpuSeconds();
    QTest::qWait(300);
    EXPECT_LT(test::cpuSeconds() - cpuAfterReset, 0.2);
    EXPECT_EQ(logStartingWith(QStringLiteral(" SERIAL|Serial port error ")).size(), 1);
}

// The cable back in and Connect pressed: the same device works again.
TEST_F(CablePulled, ConnectAfterTheCancelUsesTheUnitAgain)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    unit.hangUp();
    ASSERT_TRUE(test::waitUntil([this] { return window->lastRead == 0; }));
    services.pushAnswer(platform::MsgBoxAnswer::Cancel);
    tick();
    ASSERT_TRUE(relay.waitForLine(";quit"));
    ASSERT_FALSE(window->serverconnected);

    // A fresh unit on a fresh pseudo-terminal, as a re-plugged adapter would give.
    Q6Simulator replugged;
    window->portselector()->clear();
    window->portselector()->addItem(replugged.listedName());
    press();
    ASSERT_TRUE(replugged.waitForCommand("S"));
    ASSERT_TRUE(test::waitUntil([this] {
        return relay.lines().count(test::keyRequest()) >= 1 && window->serverconnected;
    }));
    EXPECT_GT(window->lastRead, 0);
}

} // namespace
