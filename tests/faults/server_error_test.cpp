// The relay's serious error (code 500) in each state of a working relay link: its box as ever;
// the unit's outputs switched off at once when a remote user had them, and only then; after the
// box the window says what happened, shows no key and no OFF button, and its button reads
// "Connect" and connects: one press brings a working relay link with a new key.

#include "support/bridge_fixture.h"

#include "core/rules/link_failure_text.h"

namespace {

using test::BridgeOnRealLinks;

enum class Before { RelayUp, RemoteControl, LocalEnd };

struct ServerErrorCase {
    const char *name;
    Before state;
    bool outputsOff; // a remote user had the unit when the error came
};

void PrintTo(const ServerErrorCase &c, std::ostream *out) { *out << c.name; }

class ServerError : public BridgeOnRealLinks, public ::testing::WithParamInterface<ServerErrorCase> {};

TEST_P(ServerError, OutputsOffIfLinkedThenTheWindowSaysSoAndConnectLinksAgain)
{
    const ServerErrorCase c = GetParam();
    if (c.state == Before::RelayUp) {
        connectToRelay();
        ASSERT_FALSE(HasFatalFailure());
        exchangeKey("ABCD-EFGH-IJKL-MN");
    } else {
        bringUpRemoteControl();
    }
    ASSERT_FALSE(HasFatalFailure());
    if (c.state == Before::LocalEnd) {
        press(); // ends the remote control, keeps the relay link and the OFF button
        ASSERT_TRUE(unit.waitForCommand("K"));
        ASSERT_FALSE(window->linked);
        ASSERT_TRUE(window->stopButton()->isVisibleTo(window.get()));
    }
    QTest::qWait(50);
    unit.clearRecords();
    relay.clearRecords();
    test::clearLog();

    const QString offLine = QStringLiteral(" STATUS|Server error - outputs turned off");
    bool offBeforeTheBox = false;
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        offBeforeTheBox = unit.waitForCommand("K", c.outputsOff ? 1000 : 100);
    };
    ASSERT_TRUE(relay.sendCode("500", " fault"));
    ASSERT_TRUE(test::waitUntil([this] { return !window->serverconnected; }));
    ASSERT_TRUE(relay.waitForDisconnected());
    QTest::qWait(50);

    // The box as it always was.
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text, QStringLiteral("Server reported a serious error"));
    EXPECT_EQ(services.boxes.front().code, kelvo::platform::MsgBoxCode::CautionOk);
    EXPECT_TRUE(services.boxes.front().title.isEmpty());

    // Outputs off, before the box waits for the user, exactly when a remote user had them.
    EXPECT_EQ(offBeforeTheBox, c.outputsOff);
    EXPECT_EQ(unit.commands().count("K"), c.outputsOff ? 1 : 0) << unit.received().toStdString();
    const QStringList log = this->log();
    if (c.outputsOff) {
        const qsizetype at = log.indexOf(offLine);
        ASSERT_GE(at, 0) << log.join(u'\n').toStdString();
        EXPECT_EQ(log.value(at + 1), QStringLiteral(">SERIAL|K"));
    } else {
        EXPECT_FALSE(log.contains(offLine));
    }
    EXPECT_TRUE(log.contains(QStringLiteral(" STATUS|Server connection closed")));
    EXPECT_FALSE(relay.received().contains(";quit")) << "the relay closed the link itself";

    // The window: the failure in words, no key, no share text, no OFF, a button that connects.
    const kelvo::LinkFailureText shown = kelvo::relayErrorText();
    EXPECT_EQ(window->serverinfo()->text(), shown.status);
    EXPECT_EQ(window->infoLabel()->text(), shown.explanation);
    EXPECT_TRUE(window->connectionKey()->text().isEmpty());
    EXPECT_FALSE(window->stopButton()->isVisibleTo(window.get()));
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_FALSE(window->linked);
    EXPECT_FALSE(window->ping()->isArmed());

    // One press links again, on a new connection, and the road works.
    connectToRelay();
    ASSERT_FALSE(HasFatalFailure());
    exchangeKey("NEWK-EYNE-WKEY-NE");
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
    EXPECT_TRUE(window->ping()->isArmed());
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    ASSERT_TRUE(relay.send("B7"));
    EXPECT_TRUE(unit.waitForCommand("B7"));
}

INSTANTIATE_TEST_SUITE_P(EachRelayUpState, ServerError,
                         ::testing::Values(ServerErrorCase{"RelayUp", Before::RelayUp, false},
                                           ServerErrorCase{"RemoteControl", Before::RemoteControl, true},
                                           ServerErrorCase{"AfterLocalDisconnect", Before::LocalEnd, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
