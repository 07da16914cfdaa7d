// A relay (or a network) that completes the TLS handshake late: the first tick after Connect
// finds the relay link still down and stops itself. Once the link comes up the tick runs
// again: polls, the inactivity timeout and the no-response check all watch the session.

#include "support/bridge_fixture.h"

#include "platform/dialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace kelvo;

namespace {

using test::BridgeOnRealLinks;

// Long enough that the test's first tick surely comes before the handshake completes.
constexpr int handshakeDelayMs = 500;

class SlowRelayHandshake : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        window->monitor10(1)->setChecked(true); // every 5 secs
        window->slaveTimeout()->setChecked(true);
        window->timeoutMinutes()->setText(QStringLiteral("0.5"));
        relay.setHandshakeDelay(handshakeDelayMs);
    }

    // Connect; the unit answers and the relay accepts the connection but holds the handshake;
    // the first tick comes meanwhile; then the link comes up and the key is exchanged.
    void connectThroughTheSlowHandshake()
    {
        press();
        ASSERT_TRUE(window->kelvoserial()->isOpen());
        ASSERT_TRUE(test::waitUntil([this] { return relay.connectionCount() == 1; }));
        ASSERT_FALSE(window->serverconnected);
        tick();
        ASSERT_FALSE(window->serverconnected) << "the handshake must still be held at the first tick";
        EXPECT_FALSE(window->ping()->isArmed()) << "a tick that finds the link down stops itself";
        EXPECT_TRUE(services.boxes.empty());

        ASSERT_TRUE(test::waitUntil([this] { return window->serverconnected; }));
        ASSERT_TRUE(relay.waitForLine(test::keyRequest()));
        EXPECT_TRUE(window->ping()->isArmed()) << "the link coming up arms the tick again";
        EXPECT_EQ(window->ping()->Mode(), platform::Timer::modeMultiple);
        exchangeKey("ABCD-EFGH-IJKL-MN");
    }

    // A remote user links, sends one command and falls silent.
    void remoteCommandThenSilence()
    {
        relay.clearRecords();
        ASSERT_TRUE(relay.sendCode("201"));
        ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
        ASSERT_TRUE(window->linked);
        ASSERT_TRUE(relay.send("A5"));
        ASSERT_TRUE(unit.waitForCommand("A5"));
        unit.clearRecords();
    }
};

TEST_F(SlowRelayHandshake, TheTickPollsOnceTheLinkIsUpAndSwitchesTheOutputsOffOnTime)
{
    connectThroughTheSlowHandshake();
    ASSERT_FALSE(HasFatalFailure());
    remoteCommandThenSilence();
    ASSERT_FALSE(HasFatalFailure());
    const qint64 lastCommand = clockSeconds();

    // Six ticks to the limit (30 s after the command, not yet past it): a poll on each.
    for (int i = 1; i <= 6; ++i) {
        tick();
        ASSERT_TRUE(unit.waitForCommands(i)) << "no poll at tick " << i;
    }
    EXPECT_EQ(unit.commands(), QList<QByteArray>(6, "S"));
    EXPECT_TRUE(services.boxes.empty());

    // The first tick past the limit: its poll, then the outputs off and the user told. The "K"
    // throws away what still waits for the unit, the poll perhaps among it, and asks again.
    tick();
    ASSERT_EQ(clockSeconds(), lastCommand + 35);
    ASSERT_TRUE(unit.waitForCommand("K"));
    ASSERT_TRUE(test::waitUntil([this] { return unit.commandsBesideBlankLines().endsWith("S"); }));
    QList<QByteArray> commands = unit.commandsBesideBlankLines();
    if (commands.size() == 9)
        commands.removeAt(6);
    EXPECT_EQ(commands, (QList<QByteArray>{"S", "S", "S", "S", "S", "S", "K", "S"}));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text,
              QStringLiteral("Outputs turned off. No commands were received by the end of the timeout period"));
    EXPECT_TRUE(window->ping()->isArmed());
    EXPECT_TRUE(window->linked);
}

TEST_F(SlowRelayHandshake, ASilentUnitIsReportedOnceTheLinkIsUp)
{
    connectThroughTheSlowHandshake();
    ASSERT_FALSE(HasFatalFailure());
    remoteCommandThenSilence();
    ASSERT_FALSE(HasFatalFailure());
    const qint64 lastAnswer = window->lastRead;
    unit.setSilent(true);
    services.pushAnswer(platform::MsgBoxAnswer::Cancel);

    for (int i = 1; i <= 6 && services.boxes.empty(); ++i)
        tick();
    ASSERT_EQ(noResponseBoxes(), 1);
    EXPECT_EQ(services.boxes.front().text, test::noResponseText);
    EXPECT_EQ(clockSeconds(), lastAnswer + 25);
    EXPECT_TRUE(test::waitUntil([this] { return unit.statusRequests() == 5; })) << "a poll on each tick";
    ASSERT_TRUE(relay.waitForLine(";quit"));
    EXPECT_FALSE(window->serverconnected);
}

} // namespace
