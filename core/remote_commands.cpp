// Remote commands from the relay: each judged by the user's blocks and limits, then sent to the
// unit as it stands, or refused with "S" to the unit and the refusal to the relay. A command the
// unit's slow line could not carry for a while yet is refused too, before it is judged.

#include "window/kelvo_bridge.h"

#include "core/rules/command_filter.h"
#include "core/rules/protocol_words.h"
#include "core/rules/relay_framing.h"
#include "core/rules/text_rules.h"
#include "core/rules/unit_line_budget.h"
#include "platform/serial_port.h"
#include "shell/log_window.h"

#include <QCheckBox>
#include <QLineEdit>

using kelvo::shown;
namespace protocol = kelvo::protocol;

void KelvoBridge::handleRemoteCommands(const QByteArray &commandText)
{
    // Each line of the text is judged and sent on its own, so nothing the filter has not
    // seen reaches the unit behind a line end.
    for (const QByteArray &piece : kelvo::splitRemoteCommands(commandText)) {
        const qint64 now = wholeSecondsNow();
        lastWrite = now;
        lastRemote = now;
        if (kelvoserial()->isClosedAfterError()) {
            // The unit cannot get it: the remote is told as for a refused command.
            logNotSentToUnit(piece);
            sendToRelay(protocol::commandBlocked, RelayLog::beforeWrite);
            continue;
        }
        if (kelvo::unitLineBacklogged(kelvoserial()->bytesWaiting())) {
            // Refused before the filter sees it: a command never written commands nothing.
            log(logwindow::statusTag,
                QStringLiteral("Remote command blocked, the line to the Q6 is still busy: ") + shown(kelvo::trimmed(piece)));
            sendToRelay(protocol::commandBlocked, RelayLog::beforeWrite);
            continue;
        }
        // The page's controls, not the store: a change acts at once, saved or not.
        const kelvo::FilterSettings settings{
            .blockPower = blockPower()->isChecked(),
            .blockProgram = blockProgram()->isChecked(),
            .limitA = limitA()->isChecked(),
            .maxA = maxA()->text().toUtf8(),
            .limitB = limitB()->isChecked(),
            .maxB = maxB()->text().toUtf8(),
        };
        const kelvo::FilterOutcome outcome =
            kelvo::filterRemoteCommand(piece, settings, levelA, levelB, filterMemory);
        if (outcome.allowed) {
            // A command written to a closed port never reaches the unit, so it commands nothing.
            if (kelvoserial()->isOpen())
                filterMemory = outcome.memory;
            sendStimCommand(outcome.command);
            continue;
        }
        log(logwindow::statusTag,
            QStringLiteral("Remote command blocked by preferences: ") + shown(kelvo::trimmed(outcome.command)));
        // The answer to the relay is logged ahead of the unit's "S" and sent after it.
        log(logwindow::serverOutTag, shown(protocol::commandBlocked));
        sendStimCommand(protocol::statusRequest);
        sendToRelay(protocol::commandBlocked, RelayLog::none);
    }
}
