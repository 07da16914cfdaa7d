#pragma once
// The bridge on its real links, driven one event at a time, with what the window shows checked
// against the link's state after each: the lamp, the Connect button's caption, the key (and the
// text that offers it) and the OFF button. Every event a user, the relay, the unit or a timer can
// bring is here; one that cannot happen in the state reached (a relay code with no relay link,
// a tick of a stopped timer) is skipped, so any list of events can be played.

#include "support/bridge_fixture.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace test {

struct LinkEvent {
    enum class Kind {
        Connect,    // the Connect/Disconnect button pressed
        Off,        // the OFF button pressed
        Code,       // the relay sends a server message; arg: index in relayCodes()
        Command,    // the relay passes a remote command on; arg: index in remoteCommands()
        RelayDrop,  // the relay connection breaks
        RelayMode,  // what the next Connect reaches; arg: a RelayMode
        StatusLine, // the unit sends a status line unasked
        Silent,     // the unit stops answering
        Speak,      // the unit answers again
        HangUp,     // the unit's cable pulled
        Replug,     // and plugged back in
        Tick,       // a ping tick, 5 s later; arg: 0 Retry, 1 Cancel for a no-response box
        Fade,       // the keep-alive fade fires
        Find,       // Find (port scan) chosen in the menu
        ProbeTimer, // the scan's timer fires
    };
    Kind kind;
    int arg = 0;
    // An event from boxEvents() that comes while the first message box of this one waits for
    // the user; none when negative.
    int inBox = -1;
};

enum class RelayMode { Good, Refusing, Unverified, HostNotFound };

[[nodiscard]] const std::vector<QByteArray> &relayCodes();
[[nodiscard]] const std::vector<QByteArray> &remoteCommands();
// What may come while a box waits: the relay's events, a tick, the fade, a status line.
[[nodiscard]] const std::vector<LinkEvent> &boxEvents();
[[nodiscard]] QString describe(const LinkEvent &event);

// Settings that hold for a whole sequence.
struct SequenceSettings {
    int monitorIndex = 1;
    bool inactivityTimeout = false; // 0.5 minutes when on
};

class WindowStateRig {
public:
    explicit WindowStateRig(const SequenceSettings &settings);
    ~WindowStateRig();
    WindowStateRig(const WindowStateRig &) = delete;
    WindowStateRig &operator=(const WindowStateRig &) = delete;

    // False when the links could not be set up.
    [[nodiscard]] bool ready() const { return ready_; }

    // Whether the event can happen in the present state.
    [[nodiscard]] bool applies(const LinkEvent &event) const;
    // Plays the event (when it applies), lets its consequences run out, and returns what the
    // window shows wrongly then; empty when all is as it should be. `played` tells whether it
    // applied.
    QStringList play(const LinkEvent &event, bool *played = nullptr);

    // What the window shows wrongly now.
    [[nodiscard]] QStringList violations() const;

    [[nodiscard]] const KelvoBridge &window() const { return *links_.window; }

private:
    [[nodiscard]] Q6Simulator &unit() const { return *unit_; }
    [[nodiscard]] bool unitAlive() const { return !hungUp_; }
    // The unit's device node made to lead to this unit.
    [[nodiscard]] bool plugIn(const Q6Simulator &unit);
    void setRelayMode(RelayMode mode);
    // The event itself; faults that only the moment shows go to eventFaults_.
    void act(const LinkEvent &event);
    // One read from the relay, waited for until the bridge has handled it.
    void deliver(const QByteArray &text);
    // Runs the event loop until nothing has changed for a while and no handshake is under way.
    void settle();
    [[nodiscard]] bool relayLinkUsable() const;

    BridgeFixture links_;
    TlsTestRelay unverifiedRelay_ {TlsTestRelay::Certificate::Untrusted};
    QTemporaryDir devices_;
    std::vector<std::unique_ptr<Q6Simulator>> replugged_;
    Q6Simulator *unit_ = nullptr; // the one plugged in last
    bool hungUp_ = false;
    bool ready_ = false;
    int keysIssued_ = 0;
    // The key the relay issued on the present link, as the window should show it.
    QString issuedKey_;
    QStringList eventFaults_;
    // To come when the next box shows.
    std::optional<LinkEvent> boxEvent_;
    // A read from the relay is being handled.
    bool inRelayRead_ = false;
};

} // namespace test
