// The unit's line protocol on the link port: commands out, status lines in.

#include "window/kelvo_bridge.h"

#include "core/rules/protocol_words.h"
#include "core/rules/status_line.h"
#include "core/rules/text_rules.h"
#include "platform/serial_port.h"
#include "shell/log_window.h"
#include "shell/pictures.h"

#include <QLabel>

using namespace kelvo;

namespace {

const QString corruptDataText = QStringLiteral("Invalid or corrupt data received from Q6");

} // namespace

void KelvoBridge::sendStimCommand(const QByteArray &command)
{
    // Stamped even when the port is closed: the no-response check counts from the moment a
    // command was due.
    lastWrite = wholeSecondsNow();
    if (command == kelvo::protocol::statusRequest && unansweredSince == 0)
        unansweredSince = lastWrite;
    platform::SerialPort *port = kelvoserial();
    if (port->isClosedAfterError()) {
        logNotSentToUnit(command);
        return;
    }
    const bool outputsOff = command == kelvo::protocol::outputsOff;
    QByteArray bytes = command + '\r';
    if (outputsOff) {
        takeBackWaitingCommands();
        // The discard may cut a command whose start the device already holds, and not every
        // driver says how much it threw away: a CR ends such a part there, so that it cannot
        // swallow the OFF.
        bytes.prepend('\r');
    }
    port->Write(bytes);
    port->Flush();
    if (logging)
        log(logwindow::serialOutTag, kelvo::shown(kelvo::trimmed(command)));
    // A status request among what was thrown away was never asked: asked again, its time kept,
    // so a unit that does not answer is still judged from the first.
    if (outputsOff && unansweredSince != 0)
        sendStimCommand(kelvo::protocol::statusRequest);
}

void KelvoBridge::takeBackWaitingCommands()
{
    // The line is slow: whatever waits for it would reach the unit ahead of the OFF.
    const qint64 discarded = kelvoserial()->discardWaiting();
    // The unit never reads what was thrown away, and not every driver counts all it throws
    // away (a pseudo-terminal counts none): the filter no longer knows the levels, either way.
    filterMemory = kelvo::afterCommandsTakenBack(filterMemory);
    if (discarded > 0)
        log(logwindow::serialTag,
            QStringLiteral("Discarded %1 bytes still waiting for the Q6, so the outputs go off at once").arg(discarded));
}

void KelvoBridge::kelvoserial_DataAvailable()
{
    kelvoResults += kelvoserial()->ReadAll();
    const kelvo::UnitFrame frame = kelvo::frameUnitLine(kelvoResults);
    switch (frame.kind) {
    case kelvo::UnitFrame::Kind::Incomplete:
        return;
    case kelvo::UnitFrame::Kind::Overflow:
        // No line end in sight after this much: drop it rather than let it grow.
        kelvoResults.clear();
        log(logwindow::errorTag, corruptDataText);
        return;
    case kelvo::UnitFrame::Kind::Line:
        break;
    }

    const QByteArray line = frame.line;
    kelvoResults = line;
    parseStimData(line);
    if (logging)
        log(logwindow::serialInTag, kelvo::shown(line));
    if (serverconnected && linked)
        sendToRelay(line, RelayLog::none); // no log line of its own: "<SERIAL" has it
    kelvoResults.clear();
}

void KelvoBridge::kelvoserial_Error()
{
    log(logwindow::serialTag,
        QStringLiteral("Serial port error ") + QString::number(kelvoserial()->LastErrorCode()));
    // The next no-response check then finds the unit silent.
    lastRead = 0;
}

void KelvoBridge::parseStimData(const QByteArray &line)
{
    const std::optional<kelvo::StatusLine> status = kelvo::parseStatusLine(line);
    if (!status) {
        log(logwindow::errorTag, corruptDataText);
        return;
    }

    levelA = status->levelA;
    levelB = status->levelB;
    version()->setText(kelvo::shown(status->version)); // an unchanged text costs nothing
    // The same cached picture again would still cost a relayout and a repaint.
    const QPixmap battery = pictures::battery(status->battery);
    if (batteryIcon()->pixmap().cacheKey() != battery.cacheKey())
        batteryIcon()->setPixmap(battery);
    if (!firmwareChecked) {
        log(logwindow::statusTag, status->supportsRelativeLevels
                ? QStringLiteral("Q6 firmware supports relative levels")
                : QStringLiteral("Q6 firmware does not support relative levels"));
        allowPrefs = true;
        firmwareChecked = true;
    }
    lastRead = wholeSecondsNow();
    unansweredSince = 0;
    filterMemory.levelsReported = true;
    if (!itsAlive) {
        itsAlive = true;
        createServerConnection();
    }
}
