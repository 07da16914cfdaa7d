#include "faults/window_state_rig.h"

#include "platform/dialogs.h"

#include <QAbstractSocket>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

using namespace kelvo;

namespace test {

namespace {

using Kind = LinkEvent::Kind;

const QString shareText = QStringLiteral(
    "Share the connection key below to allow someone to control your Q6. Click on the key to copy it to the "
    "clipboard.");

// Nothing has changed for this long, and no handshake is under way: the event has run out.
constexpr int quietMs = 6;
constexpr int settleLimitMs = 3000;

// A name that never resolves (".invalid" is reserved for that).
const QString unresolvableHost = QStringLiteral("kelvo-relay.invalid");

// A port where nothing listens.
quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    return server.serverPort();
}

bool handshaking(const KelvoBridge &window)
{
    for (const QSslSocket *socket : window.kelvoconnect()->findChildren<QSslSocket *>()) {
        const auto state = socket->state();
        if (state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState
            || (state == QAbstractSocket::ConnectedState && !socket->isEncrypted()))
            return true;
    }
    return false;
}

QString describeAlone(const LinkEvent &event)
{
    switch (event.kind) {
    case Kind::Connect:
        return QStringLiteral("press Connect/Disconnect");
    case Kind::Off:
        return QStringLiteral("press OFF");
    case Kind::Code:
        return QStringLiteral("relay sends ;") + QString::fromLatin1(relayCodes().at(event.arg));
    case Kind::Command:
        return QStringLiteral("remote command ") + QString::fromLatin1(remoteCommands().at(event.arg));
    case Kind::RelayDrop:
        return QStringLiteral("relay connection drops");
    case Kind::RelayMode: {
        static const char *const modes[] = {"answers", "refuses", "cannot be verified", "host not found"};
        return QStringLiteral("next Connect: relay ") + QString::fromLatin1(modes[event.arg]);
    }
    case Kind::StatusLine:
        return QStringLiteral("unit sends a status line");
    case Kind::Silent:
        return QStringLiteral("unit falls silent");
    case Kind::Speak:
        return QStringLiteral("unit answers again");
    case Kind::HangUp:
        return QStringLiteral("unit hangs up");
    case Kind::Replug:
        return QStringLiteral("unit plugged back in");
    case Kind::Tick:
        return event.arg == 0 ? QStringLiteral("ping tick (no-response box: Retry)")
                              : QStringLiteral("ping tick (no-response box: Cancel)");
    case Kind::Fade:
        return QStringLiteral("fade fires");
    case Kind::Find:
        return QStringLiteral("Find");
    case Kind::ProbeTimer:
        return QStringLiteral("scan timer fires");
    }
    return QStringLiteral("?");
}

} // namespace

const std::vector<QByteArray> &relayCodes()
{
    static const std::vector<QByteArray> codes{"200", "201", "202", "203", "210",
                                               "300", "400", "401", "402", "500"};
    return codes;
}

const std::vector<QByteArray> &remoteCommands()
{
    // Passed, clamped, refused by a limit or a block, and the unit's own off.
    static const std::vector<QByteArray> commands{"A10", "B5", "A+", "M1", "L", "K"};
    return commands;
}

const std::vector<LinkEvent> &boxEvents()
{
    // The codes by their place in relayCodes(): 201, 202, 400 and 500.
    static const std::vector<LinkEvent> events{
        {Kind::RelayDrop}, {Kind::Code, 1}, {Kind::Code, 2}, {Kind::Code, 6}, {Kind::Code, 9},
        {Kind::Command, 0}, {Kind::Tick, 0}, {Kind::Fade}, {Kind::StatusLine}};
    return events;
}

QString describe(const LinkEvent &event)
{
    const QString described = describeAlone(event);
    if (event.inBox < 0)
        return described;
    return described + QStringLiteral(", and while its box waits: ") + describeAlone(boxEvents().at(event.inBox));
}

WindowStateRig::WindowStateRig(const SequenceSettings &settings)
{
    unit_ = &links_.unit;
    if (!devices_.isValid() || !unverifiedRelay_.listen() || !links_.window || !plugIn(links_.unit))
        return;
    // Listed so that the program's own rule, "/dev/" + name, reaches the node that a replug
    // points at another unit.
    links_.services.ports = {QDir(QStringLiteral("/dev")).relativeFilePath(devices_.filePath(QStringLiteral("q6")))};
    KelvoBridge &w = *links_.window;
    w.Event_Open();
    w.monitor10(settings.monitorIndex)->setChecked(true);
    w.slaveTimeout()->setChecked(settings.inactivityTimeout);
    w.timeoutMinutes()->setText(QStringLiteral("0.5"));
    // An event due while a box waits comes in the box's moment, as the event loop of a modal
    // box would run it.
    links_.services.onBox = [this](const ScriptedServices::ShownBox &) {
        if (!boxEvent_)
            return;
        const LinkEvent inner = *boxEvent_;
        boxEvent_.reset();
        // Qt hands a socket's data over one read at a time: what the relay sends while a box of
        // its own message waits comes once that box is answered, as the next event would.
        const bool fromRelay = inner.kind == Kind::Code || inner.kind == Kind::Command;
        if (fromRelay && inRelayRead_)
            return;
        if (applies(inner)) {
            act(inner);
            settle();
        }
    };
    test::clearLog();
    ready_ = true;
}

WindowStateRig::~WindowStateRig() { links_.closeWindow(); }

bool WindowStateRig::plugIn(const Q6Simulator &unit)
{
    const QString node = devices_.filePath(QStringLiteral("q6"));
    QFile::remove(node);
    return QFile::link(unit.portPath(), node);
}

void WindowStateRig::setRelayMode(RelayMode mode)
{
    RelaySettings settings = links_.relay.settings();
    switch (mode) {
    case RelayMode::Good:
        break;
    case RelayMode::Refusing:
        settings.port = closedPort();
        break;
    case RelayMode::Unverified:
        settings.port = unverifiedRelay_.port();
        break;
    case RelayMode::HostNotFound:
        settings.host = unresolvableHost;
        break;
    }
    links_.window->relaySettings = settings;
}

bool WindowStateRig::relayLinkUsable() const
{
    return links_.relay.isEncrypted() && window().serverconnected;
}

bool WindowStateRig::applies(const LinkEvent &event) const
{
    const KelvoBridge &w = window();
    switch (event.kind) {
    case Kind::Connect:
        return w.connectButton()->isEnabled();
    case Kind::Off:
        return w.stopButton()->isVisibleTo(&w) && w.stopButton()->isEnabled();
    case Kind::Code:
    case Kind::Command:
        return relayLinkUsable();
    case Kind::RelayDrop:
        return links_.relay.isConnected();
    case Kind::RelayMode:
        return true;
    case Kind::StatusLine:
        return unitAlive() && w.kelvoserial()->isOpen();
    case Kind::Silent:
        return !unit().isSilent();
    case Kind::Speak:
        return unit().isSilent();
    case Kind::HangUp:
        return unitAlive();
    case Kind::Replug:
        return !unitAlive();
    case Kind::Tick:
        return w.ping()->isArmed();
    case Kind::Fade:
        return w.fadetimer()->isArmed();
    case Kind::Find:
        // The menu item is enabled, and its handler runs, only then.
        return w.allowScan;
    case Kind::ProbeTimer:
        return w.probeTimer()->isArmed();
    }
    return false;
}

QStringList WindowStateRig::play(const LinkEvent &event, bool *played)
{
    const bool applicable = applies(event);
    if (played)
        *played = applicable;
    if (!applicable)
        return {};

    test::clearLog();
    eventFaults_.clear();
    if (event.inBox >= 0)
        boxEvent_ = boxEvents().at(event.inBox);
    act(event);
    boxEvent_.reset();
    settle();

    if (!window().serverconnected)
        issuedKey_.clear();
    return violations() + eventFaults_;
}

void WindowStateRig::act(const LinkEvent &event)
{
    KelvoBridge &w = *links_.window;
    ScriptedServices &services = links_.services;
    const auto keepAlivesLogged = [this] {
        return links_.log().filter(QRegularExpression(QStringLiteral("^>SERVER\\|;ping="))).size();
    };
    switch (event.kind) {
    case Kind::Connect:
        w.connectButton()->click();
        break;
    case Kind::Off:
        w.stopButton()->click();
        break;
    case Kind::Code: {
        const QByteArray code = relayCodes().at(event.arg);
        QByteArray rest;
        if (code == "203") {
            // 17 characters, a new one each time.
            rest = " KEYS-0000-0000-" + QByteArray::number(10 + keysIssued_++ % 90);
            issuedKey_ = QString::fromLatin1(rest.mid(1));
        } else if (code == "210") {
            rest = " 12345678901 notice";
        } else if (code == "500") {
            rest = " fault";
        } else if (code == "401" || code == "402") {
            issuedKey_.clear();
        }
        const bool linkedBefore = w.linked;
        deliver(";" + code + rest);
        const QStringList log = links_.log();
        if (code == "500" && linkedBefore && !log.contains(QStringLiteral(">SERIAL|K"))
            && !log.contains(QStringLiteral(" SERIAL|Q6 port closed, not sent: K")))
            eventFaults_ << QStringLiteral("a server error in remote control left the outputs on");
        break;
    }
    case Kind::Command:
        deliver(remoteCommands().at(event.arg));
        break;
    case Kind::RelayDrop:
        links_.relay.dropConnection();
        break;
    case Kind::RelayMode:
        setRelayMode(static_cast<RelayMode>(event.arg));
        break;
    case Kind::StatusLine:
        unit().send(unit().statusReply());
        break;
    case Kind::Silent:
        unit().setSilent(true);
        break;
    case Kind::Speak:
        unit().setSilent(false);
        break;
    case Kind::HangUp:
        unit().hangUp();
        QFile::remove(devices_.filePath(QStringLiteral("q6")));
        hungUp_ = true;
        break;
    case Kind::Replug:
        replugged_.push_back(std::make_unique<Q6Simulator>());
        unit_ = replugged_.back().get();
        hungUp_ = !plugIn(*unit_);
        break;
    case Kind::Tick:
        services.clearAnswers();
        services.pushAnswer(event.arg == 0 ? platform::MsgBoxAnswer::Retry : platform::MsgBoxAnswer::Cancel);
        services.clock += 5.0;
        w.ping()->fire();
        services.clearAnswers();
        break;
    case Kind::Fade: {
        const bool linkedBefore = w.linked;
        const qsizetype before = keepAlivesLogged();
        w.fadetimer()->fire();
        if (linkedBefore && keepAlivesLogged() > before)
            eventFaults_ << QStringLiteral("a keep-alive went over a link in remote control");
        break;
    }
    case Kind::Find:
        w._detectSerial_Action();
        break;
    case Kind::ProbeTimer:
        w.probeTimer()->fire();
        break;
    }
}

void WindowStateRig::deliver(const QByteArray &text)
{
    const bool outer = inRelayRead_;
    inRelayRead_ = true;
    const auto restore = qScopeGuard([&] { inRelayRead_ = outer; });
    // A send right behind another may wait for the relay's delayed ACK: the quiet of settle()
    // is no sign that it has arrived.
    QSignalSpy handled(window().kelvoconnect(), &platform::TlsSocket::dataAvailable);
    if (links_.relay.send(text))
        handled.wait(2000);
}

void WindowStateRig::settle()
{
    struct Snapshot {
        qsizetype relayBytes, unitBytes, logLines;
        int connections, encrypted, failures, unverifiedFailures;
        bool relayConnected, up, linked, alive, portOpen, probeOpen;
        bool operator==(const Snapshot &) const = default;
    };
    const KelvoBridge &w = window();
    const auto snapshot = [&] {
        return Snapshot{links_.relay.received().size(),
                        unitAlive() ? unit().received().size() : -1,
                        test::logLines().size(),
                        links_.relay.connectionCount(),
                        links_.relay.encryptedCount(),
                        links_.relay.handshakeFailures(),
                        unverifiedRelay_.handshakeFailures(),
                        links_.relay.isConnected(),
                        w.serverconnected,
                        w.linked,
                        w.itsAlive,
                        w.kelvoserial()->isOpen(),
                        w.probe()->isOpen()};
    };
    QTimer wake; // the wait below wakes now and then with nothing coming
    wake.start(2);
    QElapsedTimer total;
    total.start();
    QElapsedTimer quiet;
    quiet.start();
    Snapshot last = snapshot();
    while (total.elapsed() < settleLimitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const Snapshot now = snapshot();
        if (!(now == last) || handshaking(w)) {
            last = now;
            quiet.restart();
        } else if (quiet.elapsed() >= quietMs) {
            return;
        }
    }
}

QStringList WindowStateRig::violations() const
{
    const KelvoBridge &w = window();
    const bool up = w.serverconnected;
    const bool linked = w.linked;
    const QString lamp = lampOf(w);
    const QString caption = w.connectButton()->text();
    const QString key = w.connectionKey()->text();
    const bool offShown = w.stopButton()->isVisibleTo(&w);
    const bool offEnabled = w.stopButton()->isEnabled();
    QStringList found;
    const auto expect = [&](bool holds, const QString &what) {
        if (!holds)
            found << what;
    };

    expect(!linked || up, QStringLiteral("a remote user linked with the relay link down"));
    if (up && linked) {
        expect(lamp == u"green", QStringLiteral("remote control, but the lamp is ") + lamp);
    } else if (up) {
        expect(lamp == u"amber" || (lamp == u"grey" && w.fadetimer()->isArmed()),
               QStringLiteral("relay up with no remote user, but the lamp is ") + lamp
                   + (lamp == u"grey" ? QStringLiteral(" with no fade due") : QString()));
    } else {
        expect(lamp == u"red" || (lamp == u"grey" && w.probeTimer()->isArmed()),
               QStringLiteral("relay link down, but the lamp is ") + lamp
                   + (lamp == u"grey" ? QStringLiteral(" with no scan running") : QString()));
    }
    // With the link down a press connects; with it up a press disconnects.
    const QString wanted = up ? QStringLiteral("Disconnect") : QStringLiteral("Connect");
    expect(caption == wanted, QStringLiteral("the caption reads \"") + caption + QStringLiteral("\" but a press would ")
                                  + (up ? QStringLiteral("disconnect") : QStringLiteral("connect")));
    if (up) {
        expect(key == issuedKey_, QStringLiteral("the key shown is \"") + key + QStringLiteral("\", the relay issued \"")
                                      + issuedKey_ + u'"');
    } else {
        expect(key.isEmpty(), QStringLiteral("relay link down, but the key \"") + key + QStringLiteral("\" is shown"));
        expect(w.infoLabel()->text() != shareText, QStringLiteral("relay link down, but the key is offered to share"));
    }
    expect(!offShown || offEnabled, QStringLiteral("a visible OFF button that is disabled"));
    if (linked)
        expect(offShown && offEnabled, QStringLiteral("remote control, but no working OFF button"));
    if (!up)
        expect(!offShown, QStringLiteral("relay link down, but the OFF button is shown"));
    return found;
}

} // namespace test
