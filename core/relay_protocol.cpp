// The relay handler: one read from the relay is one message, either a server message acted on
// by its code or remote commands passed through the user's blocks and limits to the unit.

#include "window/kelvo_bridge.h"

#include "build_settings.h"
#include "core/rules/command_filter.h"
#include "core/rules/relay_framing.h"
#include "core/rules/text_number.h"
#include "core/rules/text_rules.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Relay bytes become user-visible text one byte per character, so a key shown and read back
// gives the same bytes.
QString shown(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

QByteArray getkeyRequest()
{
    return QByteArrayLiteral(";getkey:Kelvo Connect build ") + QByteArray::number(buildSettings::buildNumber);
}

constexpr char commandBlocked[] = ";701:command blocked";

qint64 wholeSecondsNow() { return kelvo::truncateToInt64(platform::clock().now()); }

} // namespace

void KelvoBridge::kelvoconnect_DataAvailable()
{
    platform::TlsSocket *relay = kelvoconnect();
    const QByteArray raw = relay->ReadAll();
    const kelvo::RelayFrame frame = kelvo::frameRelayRead(raw);
    const QString statusText = shown(kelvo::trimmed(frame.text));

    if (frame.kind == kelvo::RelayFrame::Kind::RemoteCommand) {
        // Each line of the text is judged and sent on its own, so nothing the filter has not
        // seen reaches the unit behind a line end.
        for (const QByteArray &piece : kelvo::splitRemoteCommands(frame.text)) {
            const qint64 now = wholeSecondsNow();
            lastWrite = now;
            lastRemote = now;
            if (kelvoserial()->isClosedAfterError()) {
                // The unit cannot get it: the remote is told as for a refused command.
                logNotSentToUnit(piece);
                log(logwindow::serverOutTag, QString::fromLatin1(commandBlocked));
                relay->Write(QByteArray(commandBlocked) + '\r');
                relay->Flush();
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
            log(logwindow::serverOutTag, QString::fromLatin1(commandBlocked));
            sendStimCommand("S");
            relay->Write(QByteArray(commandBlocked) + '\r');
            relay->Flush();
        }
        // Shown once the commands are out: the label is only seen after this handler returns.
        serverinfo()->setText(statusText);
        return;
    }
    // A server message's text shows before its code acts: its message boxes show it.
    serverinfo()->setText(statusText);

    const QByteArray &message = frame.text;
    const QByteArray code = kelvo::serverCode(message);
    log(logwindow::serverInTag, shown(kelvo::trimmed(message)));

    if (code == "200") {
        serverinfo()->setText(QStringLiteral("Server connection ok at ") + platform::clock().dateTimeText());
        setButtonIcon(QStringLiteral("amber"));
    } else if (code == "201") {
        linked = true;
        stopButton()->setEnabled(true);
        stopButton()->setVisible(true);
        lastRead = wholeSecondsNow();
        sendStimCommand("S");
        setButtonIcon(QStringLiteral("green"));
        serverinfo()->setText(QStringLiteral("Remote control established"));
    } else if (code == "202") {
        if (linked) {
            linked = false;
            stopButton()->setEnabled(false);
            stopButton()->setVisible(false);
        }
        serverinfo()->setText(QStringLiteral("Waiting for a new connection"));
        setButtonIcon(QStringLiteral("amber"));
    } else if (code == "203") {
        const QByteArray key = kelvo::issuedKey(message);
        connectionKey()->setText(shown(key));
        infoLabel()->setText(QStringLiteral("Share the connection key below to allow someone to control your Q6. "
                                            "Click on the key to copy it to the clipboard."));
        relay->Write(";wait=" + key + '\r');
        log(logwindow::serverOutTag, QStringLiteral(";wait=") + shown(key));
        relay->Flush();
    } else if (code == "210") {
        platform::dialogs().msgBox(shown(kelvo::serverNotice(message)));
    } else if (code == "300") {
        serverinfo()->setText(QStringLiteral("Waiting for a connection"));
    } else if (code == "400") {
        linked = false;
        stopButton()->setEnabled(false);
        stopButton()->setVisible(false);
        platform::dialogs().msgBox(QStringLiteral("Remote user has been disconnected"));
        if (!serverconnected)
            return; // the relay link was lost while the box waited
        serverinfo()->setText(QStringLiteral("Waiting for a new connection"));
        setButtonIcon(QStringLiteral("amber"));
    } else if (code == "401" || code == "402") {
        connectionKey()->setText(QString());
        relay->Write(getkeyRequest() + '\r');
        log(logwindow::serverOutTag, QStringLiteral(";getkey"));
        relay->Flush();
        if (code == "402")
            serverinfo()->setText(QStringLiteral("Getting a new key"));
    } else if (code == "500") {
        linked = false;
        stopButton()->setEnabled(false);
        platform::dialogs().msgBox(QStringLiteral("Server reported a serious error"), platform::MsgBoxCode::CautionOk,
                                   QString());
        relay->Close();
        serverconnected = false;
        setButtonIcon(QStringLiteral("red"));
        log(logwindow::statusTag, QStringLiteral("Server connection closed"));
    }
}
