// The link lifecycle through the real handlers: the Connect button's cases, the states from
// Idle to remote control and back, reset, and relay failures. The relay's own messages
// (201, 500) are not sent here: where a test needs their effect it sets the flags they set.

#include "core/rules/welcome_text.h"
#include "platform/dialogs.h"
#include "shell/pictures.h"
#include "shell/preferences_module.h"
#include "support/bridge_fixture.h"
#include "support/preferences_test_home.h"

#include <QAbstractSocket>

#include <optional>
#include <vector>

using namespace kelvo;

namespace {

using test::BridgeFixture;
using test::lampOf;
using test::waitUntil;

const QString openFailedText =
    QStringLiteral("Error opening serial port. Please check the cable is connected");

enum class Start { idle, relayUp, remoteControl };

struct ConnectRow {
    const char *name;
    Start start;
    std::optional<QString> portName; // nullopt: the simulator's port
    QList<QByteArray> toRelay;
    QList<QByteArray> toUnit;
    QStringList log; // "%1" stands for the port name
    bool boxShown = false;
    bool portOpen = true;
    QString caption;
    QString lamp;
    bool serverconnected = false;
};

void PrintTo(const ConnectRow &row, std::ostream *out)
{
    *out << row.name;
}

const std::vector<ConnectRow> connectRows{
    {"remote control: ends it, keeps the relay", Start::remoteControl, std::nullopt, {";end"},
     {"K"}, {QStringLiteral(">SERVER|;end"), QStringLiteral(">SERIAL|K")}, false, true,
     QStringLiteral("Disconnect"), QStringLiteral("amber"), true},
    {"relay up: resets", Start::relayUp, std::nullopt, {";quit"}, {},
     {QStringLiteral(">SERVER|;quit"), QStringLiteral(" STATUS|Server connection closed")},
     false, false, QStringLiteral("Connect"), QStringLiteral("red"), false},
    {"idle: opens the port and asks for status", Start::idle, std::nullopt, {}, {"S"},
     {QStringLiteral(" STATUS|Opened serial port %1"), QStringLiteral(">SERIAL|S")}, false, true,
     QStringLiteral("Connect"), QStringLiteral("red"), false},
    {"idle: a port that does not open", Start::idle, QStringLiteral("ttyKELVO404"), {}, {},
     {QStringLiteral(" ERROR |Unable to open serial port %1")}, true, false,
     QStringLiteral("Connect"), QStringLiteral("red"), false},
    {"idle: no port named", Start::idle, QString(), {}, {},
     {QStringLiteral(" ERROR |Unable to open serial port")} /* the log trims the text */, true, false,
     QStringLiteral("Connect"), QStringLiteral("red"), false},
};

class ConnectButton : public PreferencesTestHome, public ::testing::WithParamInterface<ConnectRow> {
protected:
    void SetUp() override
    {
        PreferencesTestHome::SetUp();
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
    }
};

TEST_P(ConnectButton, ActsByTheFlagsNotByTheCaption)
{
    const ConnectRow &row = GetParam();
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    f.unit.setSilent(true); // its answers belong to other tests
    if (row.start != Start::idle) {
        ASSERT_TRUE(f.bringRelayUp());
    }
    if (row.start == Start::remoteControl) {
        w.linked = true;
        w.stopButton()->show();
        w.stopButton()->setEnabled(true);
    }
    if (row.start == Start::idle)
        w.setButtonIcon(QStringLiteral("red"));
    const QString name = row.portName.value_or(f.unit.listedName());
    w.portselector()->clear();
    w.portselector()->addItem(name);
    w.allowScan = row.start == Start::idle ? false : true;
    w.itsAlive = true;
    const QString captionBefore = w.connectButton()->text();

    QStringList loggedAtBox;
    f.services.onBox = [&](const ScriptedServices::ShownBox &) { loggedAtBox = f.log(); };
    w.connectButton()->click();

    QStringList expectedLog;
    for (const QString &line : row.log)
        expectedLog << QString(line).replace(QStringLiteral("%1"), name);
    EXPECT_EQ(f.log(), expectedLog);
    QTest::qWait(100);
    EXPECT_EQ(f.relay.lines(), row.toRelay);
    EXPECT_EQ(f.unit.commandsBesideBlankLines(), row.toUnit);
    EXPECT_EQ(w.kelvoserial()->isOpen(), row.portOpen);
    EXPECT_EQ(w.serverconnected, row.serverconnected);
    EXPECT_FALSE(w.linked);
    EXPECT_EQ(w.connectButton()->text(), row.caption);
    EXPECT_EQ(lampOf(w), row.lamp);

    if (row.boxShown) {
        ASSERT_EQ(f.services.boxes.size(), 1U);
        const ScriptedServices::ShownBox &box = f.services.boxes.front();
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
        EXPECT_EQ(box.text, openFailedText);
        EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
        EXPECT_TRUE(box.title.isEmpty());
        EXPECT_EQ(loggedAtBox, expectedLog); // logged before the box
    } else {
        EXPECT_TRUE(f.services.boxes.empty());
    }

    if (row.start == Start::idle) {
        EXPECT_EQ(w.allowScan, !row.portOpen);
        EXPECT_EQ(w.itsAlive, !row.portOpen);
        EXPECT_EQ(w.ping()->isArmed(), row.portOpen);
        EXPECT_EQ(w.ping()->Mode(), row.portOpen ? platform::Timer::modeMultiple : platform::Timer::modeOff);
        EXPECT_EQ(w.portselector()->isEnabled(), !row.portOpen);
        EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Not connected"));
        EXPECT_EQ(PreferencesModule::Preferences()->textOr(QStringLiteral("serial"), QStringLiteral("<unset>")),
                  row.portOpen ? name : QStringLiteral("<unset>"));
        EXPECT_EQ(w.connectButton()->text(), captionBefore);
    }
    if (row.start == Start::remoteControl) {
        // The OFF button stays for the local user.
        EXPECT_TRUE(w.stopButton()->isVisibleTo(&w));
        EXPECT_TRUE(w.stopButton()->isEnabled());
    }
    if (row.start == Start::relayUp) {
        EXPECT_TRUE(f.relay.waitForDisconnected());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectButton, ::testing::ValuesIn(connectRows));

// Idle -> Unit pending -> Relay pending -> Relay up -> Remote control -> Relay up -> Idle, then
// up again -> Relay closed -> Unit pending with the open port opened anew.
TEST(LinkStates, WalkThroughTheLinkStates)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    w.setButtonIcon(QStringLiteral("red")); // as the window's open event draws it

    // Unit pending.
    w.connectButton()->click();
    EXPECT_TRUE(w.kelvoserial()->isOpen());
    EXPECT_FALSE(w.itsAlive);
    EXPECT_FALSE(w.serverconnected);
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(lampOf(w), QStringLiteral("red"));
    EXPECT_FALSE(w.portselector()->isEnabled());
    EXPECT_TRUE(w.ping()->isArmed());

    // Relay pending: the unit's answer opens the connection, not yet up.
    ASSERT_TRUE(waitUntil([&] { return w.itsAlive; }));
    EXPECT_FALSE(w.serverconnected);
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));

    // Relay up: the key request goes out, the ping keeps ticking.
    ASSERT_TRUE(waitUntil([&] { return w.serverconnected; }));
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(lampOf(w), QStringLiteral("amber"));
    EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Connected to server"));
    EXPECT_TRUE(w.ping()->isArmed());
    ASSERT_TRUE(f.relay.waitForLine(test::keyRequest()));
    const QStringList log = f.log();
    const qsizetype connectedAt = log.indexOf(QStringLiteral(" STATUS|Connected to server"));
    ASSERT_GE(connectedAt, 0);
    EXPECT_EQ(log.value(connectedAt + 1), QStringLiteral(">SERVER|;getkey"));
    EXPECT_EQ(f.relay.connectionCount(), 1);

    // Remote control (what code 201 sets): status lines now reach the relay.
    w.linked = true;
    w.setButtonIcon(QStringLiteral("green"));
    w.stopButton()->show();
    w.stopButton()->setEnabled(true);
    f.relay.clearRecords();
    f.unit.clearRecords();
    w.sendStimCommand("S");
    EXPECT_TRUE(f.relay.waitForLine(f.unit.statusLine()));

    // Back to Relay up: ";end" and "K", the OFF button still works.
    f.unit.clearRecords();
    w.connectButton()->click();
    EXPECT_FALSE(w.linked);
    EXPECT_TRUE(w.serverconnected);
    EXPECT_EQ(lampOf(w), QStringLiteral("amber"));
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(f.relay.waitForLine(";end"));
    ASSERT_TRUE(f.unit.waitForCommand("K"));
    w.stopButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.unit.commandsBesideBlankLines().size() == 2; }, 5000));
    EXPECT_EQ(f.unit.commandsBesideBlankLines(), (QList<QByteArray>{"K", "K"}));

    // Idle.
    w.connectButton()->click();
    EXPECT_TRUE(f.relay.waitForLine(";quit"));
    EXPECT_TRUE(f.relay.waitForDisconnected());
    EXPECT_FALSE(w.serverconnected);
    EXPECT_FALSE(w.kelvoserial()->isOpen());
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(lampOf(w), QStringLiteral("red"));
    EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Not connected"));
    EXPECT_FALSE(w.ping()->isArmed());
    EXPECT_TRUE(w.portselector()->isEnabled());
    EXPECT_FALSE(w.stopButton()->isVisibleTo(&w));
    EXPECT_FALSE(w.stopButton()->isEnabled());

    // Up again, then Relay closed (what code 500 does: socket closed, flags down, lamp red).
    w.connectButton()->click();
    ASSERT_TRUE(waitUntil([&] { return w.serverconnected; }));
    EXPECT_EQ(f.relay.connectionCount(), 2);
    w.kelvoconnect()->Close();
    w.serverconnected = false;
    w.linked = false;
    w.setButtonIcon(QStringLiteral("red"));
    ASSERT_TRUE(f.relay.waitForDisconnected());
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Disconnect"));

    // The caption says Disconnect, the flags say connect: the open port is opened anew.
    f.unit.clearRecords();
    w.ping()->setEnabled(false);
    w.connectButton()->click();
    EXPECT_TRUE(w.kelvoserial()->isOpen());
    EXPECT_FALSE(w.itsAlive);
    EXPECT_TRUE(w.ping()->isArmed());
    ASSERT_TRUE(f.unit.waitForCommand("S"));
    ASSERT_TRUE(waitUntil([&] { return w.serverconnected; }));
    EXPECT_EQ(f.relay.connectionCount(), 3);
}

TEST(ResetState, InIdleSendsAndLogsNothingAndKeepsWhatItMustKeep)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    w.portselector()->addItem(QStringLiteral("ttyS9"));
    w.portselector()->setCurrentIndex(1);
    w.connectionKey()->setText(QStringLiteral("1234567890ABCDEF"));
    w.version()->setText(QStringLiteral("2.107"));
    w.infoLabel()->setText(QStringLiteral("something else"));
    w.serverinfo()->setText(QStringLiteral("Server message: hello"));
    w.connectButton()->setText(QStringLiteral("Disconnect"));
    w.portselector()->setEnabled(false);
    w.stopButton()->show();
    w.stopButton()->setEnabled(true);
    w.ping()->setMode(platform::Timer::modeMultiple);
    w.fadetimer()->setMode(platform::Timer::modeSingle);
    w.kelvoResults = "600:4";
    w.allowScan = false;
    w.firmwareChecked = true;
    w.lastRead = 11;
    w.lastRemote = 12;
    w.itsAlive = true;
    w.lastWrite = 13;
    w.levelA = 14;
    w.levelB = 15;
    w.pcount = 4;
    w.currentProbe = 2;
    w.prefmonitor = 2;

    w.resetState();

    EXPECT_TRUE(f.log().isEmpty());
    QTest::qWait(50);
    EXPECT_EQ(f.relay.connectionCount(), 0);
    EXPECT_FALSE(w.kelvoserial()->isOpen());
    // Displays back to idle.
    EXPECT_TRUE(w.batteryIcon()->pixmap().toImage() == pictures::onepixel().toImage());
    EXPECT_TRUE(w.version()->text().isEmpty());
    EXPECT_TRUE(w.connectionKey()->text().isEmpty());
    EXPECT_EQ(w.infoLabel()->text(), welcomeText());
    EXPECT_TRUE(w.portselector()->isEnabled());
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(lampOf(w), QStringLiteral("red"));
    EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Not connected"));
    EXPECT_FALSE(w.stopButton()->isEnabled());
    EXPECT_FALSE(w.stopButton()->isVisibleTo(&w));
    EXPECT_FALSE(w.ping()->Enabled());
    // State cleared.
    EXPECT_TRUE(w.kelvoResults.isEmpty());
    EXPECT_TRUE(w.allowScan);
    EXPECT_FALSE(w.allowPrefs);
    EXPECT_FALSE(w.firmwareChecked);
    EXPECT_EQ(w.lastRead, 0);
    EXPECT_EQ(w.lastRemote, 0);
    // Left alone.
    EXPECT_TRUE(w.itsAlive);
    EXPECT_EQ(w.lastWrite, 13);
    EXPECT_EQ(w.levelA, 14);
    EXPECT_EQ(w.levelB, 15);
    EXPECT_EQ(w.pcount, 4);
    EXPECT_EQ(w.currentProbe, 2);
    EXPECT_EQ(w.prefmonitor, 2);
    EXPECT_TRUE(w.logging);
    EXPECT_EQ(w.portselector()->count(), 2);
    EXPECT_EQ(w.portselector()->currentIndex(), 1);
    EXPECT_EQ(w.fadetimer()->Mode(), platform::Timer::modeSingle);
    EXPECT_TRUE(w.fadetimer()->Enabled());
}

TEST(ResetState, WelcomeTextNamesThisPlatformsCommandKey)
{
    // Linux: the Command sign reads "Ctrl"; the blanks around it and at the end belong to it.
    EXPECT_EQ(welcomeText(),
              QStringLiteral("Welcome to Kelvo Connect. Select the serial port your Q6 is connected to, "
                             "or press  Ctrl + F to find it, then click Connect to link your Q6 to the "
                             "server. "));
}

// A relay connection still being opened is dropped by a reset: no late Connected brings the
// link up with the unit's port closed.
TEST(ResetState, WhileTheRelayIsPendingLeavesNoLateConnection)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    ASSERT_TRUE(f.openUnitPort());
    w.itsAlive = true;
    // The connection is under way (host found, TCP connecting) but its handshake needs the
    // event loop, which runs only after the reset.
    w.createServerConnection();
    w.resetState();
    QTest::qWait(300);
    EXPECT_FALSE(w.serverconnected);
    EXPECT_FALSE(f.log().contains(QStringLiteral(" STATUS|Connected to server")));
    EXPECT_TRUE(f.relay.received().isEmpty());
    EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Not connected"));
}

// A relay lost in remote control leaves the unit's outputs off; otherwise the unit hears
// nothing. Either way the error is logged, the ping stops, and the bridge is back in Idle
// with the reason in the status text; nothing is written towards the closed relay.
TEST(RelayError, LostRelaySwitchesTheOutputsOffOnlyInRemoteControl)
{
    for (const bool linked : {true, false}) {
        SCOPED_TRACE(linked ? "remote control" : "relay up");
        BridgeFixture f;
        KelvoBridge &w = *f.window;
        f.unit.setSilent(true);
        ASSERT_TRUE(f.bringRelayUp());
        w.linked = linked;
        w.ping()->setMode(platform::Timer::modeMultiple);
        w.ping()->setEnabled(true);

        f.relay.dropConnection();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f.log().isEmpty(); }));
        QTest::qWait(100);
        QStringList expected{QStringLiteral(" ERROR |Network error %1").arg(w.kelvoconnect()->LastErrorCode())};
        if (linked)
            expected << QStringLiteral(">SERIAL|K");
        EXPECT_EQ(f.log(), expected);
        EXPECT_EQ(f.unit.commandsBesideBlankLines(), linked ? QList<QByteArray>{"K"} : QList<QByteArray>{});
        EXPECT_FALSE(w.ping()->Enabled());
        EXPECT_EQ(w.ping()->Mode(), platform::Timer::modeMultiple);
        EXPECT_FALSE(w.serverconnected);
        EXPECT_FALSE(w.linked);
        EXPECT_FALSE(w.kelvoserial()->isOpen());
        EXPECT_EQ(w.connectButton()->text(), QStringLiteral("Connect"));
        EXPECT_EQ(lampOf(w), QStringLiteral("red"));
        EXPECT_TRUE(w.connectionKey()->text().isEmpty());
        EXPECT_FALSE(w.stopButton()->isVisibleTo(&w));
        EXPECT_EQ(w.serverinfo()->text(), QStringLiteral("Connection to the server lost"));
        EXPECT_EQ(w.infoLabel()->text(), QStringLiteral("The connection to the server was lost: The remote host "
                                                        "closed the connection. Click Connect to try again."));
        EXPECT_TRUE(f.services.boxes.empty());
    }
}

// A relay whose certificate does not verify never hears from the bridge.
TEST(RelayError, UntrustedRelayGetsNothingAndTheErrorIsLogged)
{
    for (const auto certificate : {TlsTestRelay::Certificate::Untrusted, TlsTestRelay::Certificate::WrongHost}) {
        SCOPED_TRACE(certificate == TlsTestRelay::Certificate::Untrusted ? "self-signed" : "wrong host");
        BridgeFixture f(certificate);
        KelvoBridge &w = *f.window;
        ASSERT_TRUE(f.openUnitPort());
        w.ping()->setMode(platform::Timer::modeMultiple);
        ASSERT_TRUE(f.unit.send(f.unit.statusReply()));
        const QString error = QStringLiteral(" ERROR |Network error %1").arg(QAbstractSocket::SslHandshakeFailedError);
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.log().contains(error); }));
        QTest::qWait(100);
        EXPECT_EQ(f.relay.encryptedCount(), 0);
        EXPECT_TRUE(f.relay.received().isEmpty());
        EXPECT_FALSE(f.relay.bytesWithoutHandshake());
        EXPECT_FALSE(w.serverconnected);
        EXPECT_FALSE(w.ping()->Enabled());
        EXPECT_FALSE(f.log().contains(QStringLiteral(">SERVER|;getkey")));
    }
}

} // namespace
