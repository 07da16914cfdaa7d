// The unit's cable pulled during remote control and plugged back in: the port reached through a
// link that the test points at the unit's pseudo-terminal, as a device node that vanishes with
// the adapter and comes back under the same path. Retry opens the port again by that path; in
// between nothing is logged as sent to the unit, and the remote learns its commands went
// nowhere.

#include "support/bridge_fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kelvo;

namespace {

using test::BridgeOnRealLinks;

const QString serialErrorPrefix = QStringLiteral(" SERIAL|Serial port error ");

class UnitReplugged : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        ASSERT_TRUE(devices.isValid());
        plugIn(unit);
        ASSERT_FALSE(HasFatalFailure());
        // Listed so that the program's own rule, "/dev/" + name, gives the link's path.
        listedName = QDir(QStringLiteral("/dev")).relativeFilePath(linkPath());
        ASSERT_EQ(QFileInfo(platform::devicePathOf(listedName)).absoluteFilePath(), linkPath());
        window->portselector()->clear();
        window->portselector()->addItem(listedName);
        window->portselector()->setCurrentIndex(0);
    }

    [[nodiscard]] QString linkPath() const { return devices.filePath(QStringLiteral("q6")); }

    // The device node appears at the path, pointing at this unit.
    void plugIn(const Q6Simulator &q6)
    {
        QFile::remove(linkPath());
        ASSERT_TRUE(QFile::link(q6.portPath(), linkPath()));
    }
    // The device node goes with the adapter.
    void unplug() { ASSERT_TRUE(QFile::remove(linkPath())); }

    [[nodiscard]] QStringList sentToUnitSince(qsizetype from) const
    {
        return log().mid(from).filter(QRegularExpression(QStringLiteral("^>SERIAL\\|")));
    }

    QTemporaryDir devices;
    QString listedName;
};

TEST_F(UnitReplugged, RetryReopensTheSamePathAndRemoteControlCarriesOn)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    const int relayConnections = relay.connectionCount();
    test::clearLog();
    relay.clearRecords();

    // Pulled: a real hang-up, and the node gone.
    unit.hangUp();
    unplug();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(test::waitUntil([this] { return !logStartingWith(serialErrorPrefix).isEmpty(); }))
        << log().join(u'\n').toStdString();
    ASSERT_TRUE(test::waitUntil([this] { return !window->kelvoserial()->isOpen(); }));

    // A remote command meanwhile reaches nobody: not logged as sent, and the remote is told.
    ASSERT_TRUE(relay.send("A5"));
    ASSERT_TRUE(relay.waitForLine(";701:command blocked"));
    EXPECT_TRUE(log().contains(QStringLiteral(" SERIAL|Q6 port closed, not sent: A5"))) << log().join(u'\n').toStdString();

    // Retry while still unplugged: the port does not open, nothing is "sent", and the next
    // tick asks again.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        tick();
        ASSERT_EQ(noResponseBoxes(), attempt);
        EXPECT_EQ(logCount(QStringLiteral(" ERROR |Unable to open serial port ") + listedName), attempt);
        EXPECT_TRUE(window->ping()->isArmed());
    }
    EXPECT_EQ(sentToUnitSince(0), QStringList{}) << log().join(u'\n').toStdString();

    // Plugged back in: a new pseudo-terminal at the same path. Retry opens it and asks for the
    // status; the answer goes on to the still linked remote user.
    Q6Simulator replugged;
    plugIn(replugged);
    ASSERT_FALSE(HasFatalFailure());
    const qsizetype logBefore = log().size();
    tick();
    ASSERT_EQ(noResponseBoxes(), 3);
    ASSERT_TRUE(window->kelvoserial()->isOpen());
    ASSERT_TRUE(replugged.waitForCommand("S"));
    ASSERT_TRUE(relay.waitForLine(replugged.statusLine()));
    EXPECT_GT(window->lastRead, 0);
    EXPECT_TRUE(log().mid(logBefore).contains(QStringLiteral(" STATUS|Opened serial port ") + listedName));
    EXPECT_EQ(sentToUnitSince(logBefore), QStringList{QStringLiteral(">SERIAL|S")});

    // The unit answers again: no more boxes, and remote commands reach it.
    tick();
    EXPECT_EQ(noResponseBoxes(), 3);
    ASSERT_TRUE(relay.send("B7"));
    EXPECT_TRUE(replugged.waitForCommand("B7"));
    EXPECT_TRUE(window->linked);
    EXPECT_TRUE(window->serverconnected);
    EXPECT_EQ(relay.connectionCount(), relayConnections);
    EXPECT_FALSE(relay.lines().contains(";quit"));
}

// Pulled before the unit ever answered, Connect pressed while it is out (the open fails and
// offers Find), then plugged back in: once Retry has the port open again, Find is off, as after
// any Connect that opens it, so no scan can take the port from under the links that follow.
TEST_F(UnitReplugged, RetryThatReopensThePortTakesFindAway)
{
    unit.setSilent(true);
    press();
    ASSERT_TRUE(unit.waitForCommand("S"));
    unit.hangUp();
    unplug();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(test::waitUntil([this] { return !window->kelvoserial()->isOpen(); }));
    press();
    ASSERT_EQ(services.boxes.size(), 1u) << "the port does not open";
    ASSERT_TRUE(window->allowScan);

    Q6Simulator replugged;
    plugIn(replugged);
    ASSERT_FALSE(HasFatalFailure());
    tick();
    ASSERT_EQ(noResponseBoxes(), 1);
    ASSERT_TRUE(window->kelvoserial()->isOpen());
    EXPECT_FALSE(window->allowScan);
    // The unit's answer brings the relay link up as ever.
    ASSERT_TRUE(test::waitUntil([this] { return window->serverconnected; }));
    EXPECT_FALSE(window->allowScan);
}

} // namespace
