#pragma once
// The bridge window on real services for fault tests: the Q6 simulator on a pseudo-terminal,
// the TLS test relay with certificate checks on, Connect pressed through the real button.
// Helpers bring the link to each state and read the connection log back.

#include "core/relay_protocol_fixture.h"

#include "build_settings.h"
#include "platform/dialogs.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>

#include <sys/resource.h>

#include <algorithm>

namespace faulttest {

using bridgetest::waitUntil;

// CPU time (user + system) this process has used so far, in seconds.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline QByteArray keyRequest()
{
    return ";getkey:Kelvo Connect build " + QByteArray::number(buildSettings::buildNumber);
}

class FaultBridge : public bridgetest::BridgeOnRealLinks {
protected:
    using BridgeOnRealLinks::BridgeOnRealLinks;

    void press() { window->connectButton()->click(); }

    // Connect pressed from a state with the relay link down, up to the key request on a new
    // connection of the relay.
    void connectToRelay()
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

    // The relay issues a key and gets the bridge's wait reply.
    void exchangeKey(const QByteArray &key)
    {
        ASSERT_TRUE(relay.sendCode("203", " " + key));
        ASSERT_TRUE(relay.waitForLine(";wait=" + key));
        EXPECT_EQ(window->connectionKey()->text(), QString::fromLatin1(key));
    }

    // Relay up with a key, then a remote user linked whose first status line reached the relay.
    void bringUpRemoteControl(const QByteArray &key = "ABCD-EFGH-IJKL-MN")
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

    [[nodiscard]] QStringList log() const { return bridgetest::logEntries(services.dateText); }

    [[nodiscard]] qsizetype logCount(const QString &entry) const { return log().count(entry); }

    [[nodiscard]] QStringList logStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &e : log())
            if (e.startsWith(prefix))
                found << e;
        return found;
    }

    [[nodiscard]] QString lamp() const { return bridgetest::lampOf(*window); }

    // Whole seconds on the scripted clock.
    [[nodiscard]] qint64 clockSeconds() const { return qint64(services.clock); }

    // One tick of the ping timer, the clock moved on by its period first.
    void tick()
    {
        services.clock += 5.0;
        window->ping()->fire();
    }

    [[nodiscard]] qsizetype noResponseBoxes() const
    {
        return std::count_if(services.boxes.begin(), services.boxes.end(), [](const auto &box) {
            return box.code == platform::MsgBoxCode::CautionRetryCancel;
        });
    }
};

inline const QString noResponseText = QStringLiteral(
    "No response from the Q6. Please check the connection then click Retry, or click Cancel to disconnect");

} // namespace faulttest
