// The relay handler: one read from the relay is one message, either remote commands (no ";" in
// it) passed through the user's blocks and limits to the unit, or a server message acted on by
// its code.

#include "window/kelvo_bridge.h"

#include "core/rules/link_failure_text.h"
#include "core/rules/protocol_words.h"
#include "core/rules/relay_framing.h"
#include "core/rules/text_rules.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"

#include <QLabel>
#include <QPushButton>

using namespace kelvo;


void KelvoBridge::kelvoconnect_DataAvailable()
{
    const QByteArray raw = kelvoconnect()->ReadAll();
    const kelvo::RelayFrame frame = kelvo::frameRelayRead(raw);
    const QString statusText = shown(kelvo::trimmed(frame.text));

    if (frame.kind == kelvo::RelayFrame::Kind::RemoteCommand) {
        handleRemoteCommands(frame.text);
        serverinfo()->setText(statusText);
        return;
    }
    // A server message's text shows before its code acts: its message boxes show it.
    serverinfo()->setText(statusText);
    handleServerMessage(frame.text);
}

void KelvoBridge::handleServerMessage(const QByteArray &message)
{
    const kelvo::ServerCode code = kelvo::serverCodeOf(kelvo::serverCode(message));
    // Every server message is logged, known code or not, before its code acts.
    log(logwindow::serverInTag, shown(kelvo::trimmed(message)));

    using Code = kelvo::ServerCode;
    switch (code) {
    case Code::serverOk:
        serverinfo()->setText(QStringLiteral("Server connection ok at ") + platform::clock().dateTimeText());
        // The relay's word that the link is fine does not end a remote user's control.
        if (!linked)
            setButtonIcon(QStringLiteral("amber"));
        return;
    case Code::remoteLinked:
        linked = true;
        setOffButtonShown(true);
        lastRead = wholeSecondsNow();
        sendStimCommand(protocol::statusRequest);
        setButtonIcon(QStringLiteral("green"));
        serverinfo()->setText(QStringLiteral("Remote control established"));
        return;
    case Code::remoteGone:
        if (linked) {
            linked = false;
            setOffButtonShown(false);
        }
        serverinfo()->setText(QStringLiteral("Waiting for a new connection"));
        setButtonIcon(QStringLiteral("amber"));
        return;
    case Code::keyIssued: {
        const QByteArray key = kelvo::issuedKey(message);
        connectionKey()->setText(shown(key));
        infoLabel()->setText(QStringLiteral("Share the connection key below to allow someone to control your Q6. "
                                            "Click on the key to copy it to the clipboard."));
        sendToRelay(protocol::waitReply(key), RelayLog::beforeFlush);
        return;
    }
    case Code::serverMessage:
        platform::dialogs().msgBox(shown(kelvo::serverNotice(message)));
        return;
    case Code::waitingForRemote:
        serverinfo()->setText(QStringLiteral("Waiting for a connection"));
        return;
    case Code::remoteDisconnected:
        linked = false;
        setOffButtonShown(false);
        platform::dialogs().msgBox(QStringLiteral("Remote user has been disconnected"));
        if (!serverconnected)
            return; // the relay link was lost while the box waited
        serverinfo()->setText(QStringLiteral("Waiting for a new connection"));
        setButtonIcon(QStringLiteral("amber"));
        return;
    case Code::keyRenew:
    case Code::newKey:
        connectionKey()->setText(QString());
        requestKey();
        if (code == Code::newKey)
            serverinfo()->setText(QStringLiteral("Getting a new key"));
        return;
    case Code::serverError: {
        // Whoever had the unit loses it with the link, and the tick that would time them out
        // stops with it: the outputs go off now, not once the box is answered.
        if (linked) {
            log(logwindow::statusTag, QStringLiteral("Server error - outputs turned off"));
            sendStimCommand(protocol::outputsOff);
        }
        linked = false;
        stopButton()->setEnabled(false); // it stays visible while the box waits
        const quint64 resetsBefore = resetCount;
        platform::dialogs().msgBox(QStringLiteral("Server reported a serious error"), platform::MsgBoxCode::CautionOk,
                                   QString());
        if (resetCount != resetsBefore)
            return; // the link was lost while the box waited, and the window says so already
        kelvoconnect()->Close();
        serverconnected = false;
        setButtonIcon(QStringLiteral("red"));
        log(logwindow::statusTag, QStringLiteral("Server connection closed"));
        // As for a lost link: disconnected, saying why, so that the button reads "Connect" and
        // connects, and no key or OFF button is left from the link that is gone.
        resetState();
        showLinkFailure(kelvo::relayErrorText());
        return;
    }
    case Code::other:
        return; // logged and shown, nothing more
    }
}
