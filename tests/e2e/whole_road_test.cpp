// The whole road with real services: the Q6 simulator on a pseudo-terminal, the main window
// (offscreen), and the TLS test relay with certificate checks on.

#include "support/bridge_fixture.h"

#include <QAbstractSocket>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

using test::waitUntil;

const QByteArray key = "ABCD-EFGH-IJKL-MN";

class WholeRoad : public test::BridgeOnRealLinks {
protected:
    using BridgeOnRealLinks::BridgeOnRealLinks;

    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        if (HasFatalFailure())
            return;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void clickConnect() { QTest::mouseClick(window->connectButton(), Qt::LeftButton); }

    // Connect, the unit's first status line, the relay link, the key.
    void bringUpTheRelayLink()
    {
        clickConnect();
        ASSERT_TRUE(unit.waitForCommand("S"));
        ASSERT_TRUE(relay.waitForEncrypted());
        ASSERT_TRUE(relay.waitForLine(test::keyRequest()));
        ASSERT_TRUE(relay.sendCode("203", " " + key));
        ASSERT_TRUE(relay.waitForLine(";wait=" + key));
        EXPECT_EQ(window->connectionKey()->text(), QString::fromLatin1(key));
        EXPECT_EQ(lamp(), QStringLiteral("amber"));
        EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Disconnect"));
    }

    void remoteUserJoins()
    {
        ASSERT_TRUE(relay.sendCode("201"));
        ASSERT_TRUE(waitUntil([this] { return lamp() == QLatin1String("green"); }));
        EXPECT_TRUE(window->linked);
        // 201 asks the unit, and its answer goes on to the relay.
        ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    }
};

TEST_F(WholeRoad, ConnectKeyRemoteControlFilteredCommandsStatusBackAndDisconnect)
{
    bringUpTheRelayLink();
    remoteUserJoins();

    window->limitA()->setChecked(true);
    window->maxA()->setText(QStringLiteral("50"));
    ASSERT_EQ(window->levelA, 20) << "from the unit's status line";
    unit.clearRecords();
    ASSERT_TRUE(relay.send("A80"));
    ASSERT_TRUE(unit.waitForCommand("A50"));
    EXPECT_EQ(unit.received(), QByteArray("A50\r"));

    const QByteArray next = "602:44:60:0:0:0:0:0:2.107";
    ASSERT_TRUE(unit.send(next + "\n"));
    ASSERT_TRUE(relay.waitForLine(next));
    EXPECT_EQ(window->levelA, 22);

    ASSERT_TRUE(relay.sendCode("202"));
    ASSERT_TRUE(waitUntil([this] { return lamp() == QLatin1String("amber"); }));
    EXPECT_FALSE(window->linked);
    EXPECT_EQ(window->serverinfo()->text(), QStringLiteral("Waiting for a new connection"));

    clickConnect();
    ASSERT_TRUE(relay.waitForLine(";quit"));
    EXPECT_TRUE(relay.waitForDisconnected());
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_EQ(window->serverinfo()->text(), QStringLiteral("Not connected"));
    EXPECT_TRUE(window->portselector()->isEnabled());
    EXPECT_TRUE(window->connectionKey()->text().isEmpty());
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(WholeRoad, RelayDroppingTheConnectionInRemoteControlSwitchesTheOutputsOff)
{
    bringUpTheRelayLink();
    remoteUserJoins();
    unit.clearRecords();
    relay.dropConnection();
    ASSERT_TRUE(unit.waitForCommand("K"));
    EXPECT_TRUE(waitUntil([this] {
        const QStringList entries = log();
        return std::any_of(entries.begin(), entries.end(),
                           [](const QString &e) { return e.startsWith(QLatin1String(" ERROR |Network error ")); });
    }));
    EXPECT_FALSE(window->ping()->Enabled());
}

class UntrustedRelay : public WholeRoad {
protected:
    UntrustedRelay() : WholeRoad(TlsTestRelay::Certificate::Untrusted) {}
};

TEST_F(UntrustedRelay, NetworkErrorIsLoggedAndTheRelayGetsNothing)
{
    clickConnect();
    ASSERT_TRUE(unit.waitForCommand("S"));
    const QString error = QStringLiteral(" ERROR |Network error ")
        + QString::number(QAbstractSocket::SslHandshakeFailedError);
    ASSERT_TRUE(waitUntil([&] { return log().contains(error); })) << log().join(u'\n').toStdString();
    QTest::qWait(100);
    EXPECT_TRUE(relay.received().isEmpty());
    EXPECT_FALSE(relay.bytesWithoutHandshake());
    EXPECT_EQ(relay.encryptedCount(), 0);
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->ping()->Enabled());
    EXPECT_NE(lamp(), QStringLiteral("amber"));
}

} // namespace
