#include "support/bridge_fixture.h"

#include "build_settings.h"
#include "platform/dialogs.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <algorithm>

using namespace kelvo;

namespace test {

QByteArray keyRequest()
{
    return ";getkey:Kelvo Connect build " + QByteArray::number(buildSettings::buildNumber);
}

RealLinks::RealLinks(TlsTestRelay::Certificate certificate) : relay(certificate) {}

RealLinks::~RealLinks() { closeWindow(); }

bool RealLinks::openIdle()
{
    const bool listening = relay.listen();
    services.ports = {unit.listedName()};
    window = std::make_unique<KelvoBridge>();
    window->relaySettings = relay.settings();
    window->portselector()->clear();
    window->portselector()->addItem(unit.listedName());
    window->portselector()->setCurrentIndex(0);
    window->logging = true;
    clearLog();
    return listening;
}

void RealLinks::closeWindow()
{
    window.reset();
    clearLog();
}

bool RealLinks::openUnitPort()
{
    window->kelvoserial()->setSerialPort(unit.portPath());
    return window->kelvoserial()->Open();
}

bool RealLinks::bringRelayUp()
{
    if (!openUnitPort())
        return false;
    window->itsAlive = true;
    window->createServerConnection();
    if (!waitUntil([this] { return window->serverconnected; }) || !relay.waitForLine(keyRequest()))
        return false;
    relay.clearRecords();
    unit.clearRecords();
    clearLog();
    return true;
}

QStringList RealLinks::logStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &entry : log())
        if (entry.startsWith(prefix))
            found << entry;
    return found;
}

BridgeFixture::BridgeFixture(TlsTestRelay::Certificate certificate) : RealLinks(certificate)
{
    if (!openIdle())
        ADD_FAILURE() << "test relay does not listen";
}

void BridgeOnRealLinks::connectToRelay()
{
    const int before = relay.encryptedCount();
    const qsizetype requests = relay.lines().count(keyRequest());
    press();
    ASSERT_TRUE(window->kelvoserial()->isOpen()) << "the unit's port did not open";
    ASSERT_TRUE(waitUntil([&] { return relay.lines().count(keyRequest()) > requests; }))
        << "no key request reached the relay";
    EXPECT_GT(relay.encryptedCount(), before) << "the key request came on an old connection";
    ASSERT_TRUE(waitUntil([this] { return window->serverconnected; }));
}

void BridgeOnRealLinks::exchangeKey(const QByteArray &key)
{
    ASSERT_TRUE(relay.sendCode("203", " " + key));
    ASSERT_TRUE(relay.waitForLine(";wait=" + key));
    EXPECT_EQ(window->connectionKey()->text(), QString::fromLatin1(key));
}

void BridgeOnRealLinks::bringUpRemoteControl(const QByteArray &key)
{
    connectToRelay();
    if (HasFatalFailure())
        return;
    exchangeKey(key);
    if (HasFatalFailure())
        return;
    relay.clearRecords();
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    ASSERT_TRUE(window->linked);
}

void BridgeOnRealLinks::tick()
{
    services.clock += 5.0;
    window->ping()->fire();
}

qsizetype BridgeOnRealLinks::noResponseBoxes() const
{
    return std::count_if(services.boxes.begin(), services.boxes.end(), [](const auto &box) {
        return box.code == platform::MsgBoxCode::CautionRetryCancel;
    });
}

void LinkedBridge::SetUp()
{
    ASSERT_TRUE(relay.listen());
    window = std::make_unique<KelvoBridge>();
    window->relaySettings = relay.settings();
    window->logging = true;
    platform::SerialPort *port = window->kelvoserial();
    port->setSerialPort(unit.portPath());
    ASSERT_TRUE(port->Open());
    platform::TlsSocket *socket = window->kelvoconnect();
    socket->Address = TlsTestRelay::host();
    socket->Port = relay.port();
    socket->setExtraCaCertificates(TlsTestRelay::caCertificates());
    socket->Connect();
    ASSERT_TRUE(relay.waitForLineMatching(QRegularExpression(QStringLiteral("^;getkey:"))));
    ASSERT_TRUE(window->serverconnected);
    // The unit has answered since Connect, and its last status line is fresh.
    window->itsAlive = true;
    relay.clearRecords();
    unit.clearRecords();
    clearLog();
}

void LinkedBridge::deliver(const QByteArray &text)
{
    QSignalSpy handled(window->kelvoconnect(), &platform::TlsSocket::dataAvailable);
    ASSERT_TRUE(relay.send(text));
    ASSERT_TRUE(handled.wait(5000)) << text.constData();
}

void LinkedBridge::reportLevels(qint64 a, qint64 b)
{
    window->levelA = a;
    window->levelB = b;
    window->filterMemory.levelsReported = true;
}

void LinkedBridge::startPing()
{
    window->ping()->setMode(platform::Timer::modeMultiple);
    window->ping()->setEnabled(true);
}

} // namespace test
