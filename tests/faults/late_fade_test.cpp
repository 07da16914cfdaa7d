// The keep-alive's fade still due when the relay link goes down, by the user's Disconnect or by
// the relay's close (code 500): when it fires it neither turns the lamp amber nor logs or sends
// a keep-alive. Nor when a remote user has linked between the grey blink and the fade: the lamp
// stays green and no keep-alive goes over a link in remote control.

#include "support/bridge_fixture.h"

namespace {

using test::BridgeOnRealLinks;

// The relay link up with a key, then ticks up to the sixth, which greys the lamp and starts the
// fade.
class FadeDue : public BridgeOnRealLinks {
protected:
    void tickToTheFade()
    {
        connectToRelay();
        ASSERT_FALSE(HasFatalFailure());
        exchangeKey("ABCD-EFGH-IJKL-MN");
        ASSERT_FALSE(HasFatalFailure());
        while (!window->fadetimer()->isArmed() && window->pcount <= 6)
            tick();
        ASSERT_TRUE(window->fadetimer()->isArmed());
        ASSERT_EQ(lamp(), QStringLiteral("grey"));
    }
};

enum class LinkDown { Disconnect, RelayClose };

class LateFade : public FadeDue, public ::testing::WithParamInterface<LinkDown> {};

TEST_P(LateFade, DoesNothingOnceTheRelayLinkIsDown)
{
    tickToTheFade();
    ASSERT_FALSE(HasFatalFailure());

    if (GetParam() == LinkDown::Disconnect) {
        press();
        ASSERT_TRUE(relay.waitForLine(";quit"));
    } else {
        ASSERT_TRUE(relay.sendCode("500"));
        ASSERT_TRUE(test::waitUntil([this] { return !window->serverconnected; }));
    }
    ASSERT_TRUE(relay.waitForDisconnected());
    ASSERT_EQ(lamp(), QStringLiteral("red"));
    test::clearLog();
    relay.clearRecords();

    window->fadetimer()->fire();
    QTest::qWait(50);
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_EQ(log(), QStringList{});
    EXPECT_TRUE(relay.received().isEmpty());
}

class LinkInsideTheFade : public FadeDue {};

TEST_F(LinkInsideTheFade, LeavesTheLampGreenAndSendsNoKeepAlive)
{
    tickToTheFade();
    ASSERT_FALSE(HasFatalFailure());

    // The remote user links inside the 200 ms window.
    relay.clearRecords();
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    ASSERT_TRUE(window->linked);
    ASSERT_EQ(lamp(), QStringLiteral("green"));
    test::clearLog();

    window->fadetimer()->fire();
    QTest::qWait(50);
    EXPECT_EQ(lamp(), QStringLiteral("green"));
    EXPECT_EQ(logStartingWith(QStringLiteral(">SERVER|")), QStringList{});
    EXPECT_FALSE(relay.received().contains(";ping=")) << relay.received().toStdString();

    // Remote control goes on: the lamp stays green through further ticks.
    for (int t = 0; t < 7; ++t) {
        window->lastRead = window->lastWrite = clockSeconds();
        tick();
    }
    EXPECT_FALSE(window->fadetimer()->isArmed());
    EXPECT_EQ(lamp(), QStringLiteral("green"));
}

INSTANTIATE_TEST_SUITE_P(EachWayDown, LateFade, ::testing::Values(LinkDown::Disconnect, LinkDown::RelayClose),
                         [](const auto &info) {
                             return info.param == LinkDown::Disconnect ? std::string("Disconnect")
                                                                       : std::string("RelayClose");
                         });

} // namespace
