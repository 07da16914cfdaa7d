// The ping tick: polls the unit while a remote user is linked, keeps the relay link alive while
// none is, and on every tick checks the inactivity timeout and whether the unit still answers.

#include "window/kelvo_bridge.h"

#include "core/rules/protocol_words.h"
#include "core/rules/text_number.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "shell/log_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <limits>
#include <optional>

using namespace kelvo;

namespace {

constexpr qint64 keepAliveTick = 6;
constexpr qint64 noResponseMargin = 20;
// How long a status request has for its answer before it counts as unanswered.
constexpr qint64 answerSeconds = 2;
constexpr double secondsPerMinute = 60.0;

bool isChecked(const QRadioButton *button) { return button && button->isChecked(); }

// The unit's last status line is more than the margin older than the given time; a sum past
// the 64-bit range lies later than any time.
bool pastMargin(qint64 lastRead, qint64 time)
{
    if (lastRead > std::numeric_limits<qint64>::max() - noResponseMargin)
        return false;
    return lastRead + noResponseMargin < time;
}

// trunc(minutes x 60) + lastRemote, or nothing when it does not fit in 64 bits: such a limit
// lies beyond any clock, so it never fires rather than wrapping into the past.
std::optional<qint64> inactivityLimit(double minutes, qint64 lastRemote)
{
    const double seconds = minutes * secondsPerMinute;
    if (kelvo::exceedsInt64(seconds))
        return std::nullopt;
    const qint64 span = kelvo::truncateToInt64(seconds);
    if (span > std::numeric_limits<qint64>::max() - lastRemote)
        return std::nullopt;
    return span + lastRemote;
}

// The unit is silent when a status request has gone unanswered and its last status line is
// past the margin. A younger request is not judged yet: the line may still carry up to about
// a second of commands ahead of it.
bool unitSilent(qint64 lastRead, qint64 unansweredSince, qint64 now)
{
    if (unansweredSince == 0 || now - unansweredSince <= answerSeconds)
        return false;
    return pastMargin(lastRead, now);
}

// A command has gone to the unit since its last status line and nothing has asked for one
// since: by the next tick that line will be past the margin, so ask now and judge by the
// answer then, not by the command.
bool statusRequestDue(qint64 lastRead, qint64 lastWrite, qint64 unansweredSince, qint64 nextTick)
{
    return unansweredSince == 0 && lastWrite > lastRead && pastMargin(lastRead, nextTick);
}

} // namespace

void KelvoBridge::ping_Action()
{
    if (serverconnected)
        pollOrKeepAlive();
    else
        ping()->setEnabled(false);
    if (!checkInactivityTimeout())
        return; // disconnected while its box waited: nothing left to watch
    checkUnitResponds();
}

// With a remote user linked, the unit is polled at the page's monitor interval; with none, every
// sixth tick greys the lamp and starts the fade that sends the keep-alive.
void KelvoBridge::pollOrKeepAlive()
{
    if (pcount == 7)
        pcount = 1;
    // The monitor interval is read from the page at every tick, saved or not.
    if (linked && !isChecked(monitor10(0))) {
        if (!isChecked(monitor10(2)) || pcount % 2 == 0)
            sendStimCommand(kelvo::protocol::statusRequest);
    }
    if (!linked && pcount == keepAliveTick) {
        setButtonIcon(QStringLiteral("grey"));
        fadetimer()->setMode(platform::Timer::modeSingle);
    }
    pcount = pcount + 1;
}

// No remote command for the page's timeout: the outputs go off and the user is told.
bool KelvoBridge::checkInactivityTimeout()
{
    if (!slaveTimeout()->isChecked() || lastRemote <= 0)
        return true;
    const double minutes = kelvo::textNumber(timeoutMinutes()->text().toUtf8());
    if (minutes <= 0)
        return true;
    const std::optional<qint64> limit = inactivityLimit(minutes, lastRemote);
    if (!limit || platform::clock().now() <= static_cast<double>(*limit))
        return true;

    platform::Timer *tick = ping();
    log(logwindow::statusTag, QStringLiteral("Timeout - no remote commands received"));
    sendStimCommand(kelvo::protocol::outputsOff);
    lastRemote = 0;
    tick->setEnabled(false);
    const quint64 resetsBefore = resetCount;
    {
        const QScopedValueRollback<bool> boxOpen(tickBoxOpen, true);
        platform::dialogs().msgBox(
            QStringLiteral("Outputs turned off. No commands were received by the end of the timeout period"));
    }
    if (resetCount != resetsBefore)
        return false;
    const qint64 now = wholeSecondsNow();
    lastWrite = now;
    lastRead = now;
    tick->setEnabled(true);
    return true;
}

// The unit has not answered a status request for a while, or never answered: Retry asks it
// again, Cancel disconnects. Commands alone prove nothing either way: one the unit has not
// confirmed is followed by a status request in time for the next tick to judge.
void KelvoBridge::checkUnitResponds()
{
    platform::Timer *tick = ping();
    const qint64 now = wholeSecondsNow();
    // lastRead 0 while the unit is alive: its port has reported an error since its last answer.
    const bool silent = !itsAlive || lastRead == 0 || unitSilent(lastRead, unansweredSince, now);
    if (!silent) {
        if (statusRequestDue(lastRead, lastWrite, unansweredSince, now + tick->Period() / 1000))
            sendStimCommand(kelvo::protocol::statusRequest);
        return;
    }
    tick->setEnabled(false);
    log(logwindow::serialTag, QStringLiteral("Timeout - Q6 not responding"));
    const quint64 resetsBefore = resetCount;
    platform::MsgBoxAnswer answer;
    {
        const QScopedValueRollback<bool> boxOpen(tickBoxOpen, true);
        answer = platform::dialogs().msgBox(
            QStringLiteral("No response from the Q6. Please check the connection then click Retry, or click "
                           "Cancel to disconnect"),
            platform::MsgBoxCode::CautionRetryCancel, QString());
    }
    if (resetCount != resetsBefore)
        return; // disconnected while the box waited (the relay lost): the answer has nothing to act on
    if (answer == platform::MsgBoxAnswer::Cancel) {
        resetState();
    } else {
        tick->setEnabled(true);
        // A pulled cable closed the port underneath; checking the connection means plugging
        // it back in, so the port is opened again by the same path.
        if (kelvoserial()->isClosedAfterError())
            reopenUnitPort();
        sendStimCommand(kelvo::protocol::statusRequest);
    }
}

void KelvoBridge::fadetimer_Action()
{
    // A fade still due when the relay link went down (Disconnect, the relay's close) would
    // show the link up again and log a keep-alive that goes nowhere; one due when a remote user
    // linked inside its 200 ms would turn the green lamp amber and ping a link in use.
    if (!serverconnected || linked)
        return;
    setButtonIcon(QStringLiteral("amber"));
    sendToRelay(kelvo::protocol::keepAlive(connectionKey()->text().toLatin1()), RelayLog::beforeWrite);
}
