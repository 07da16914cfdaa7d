// Every line the bridge sends the relay goes out here: written with its CR, flushed at once,
// and logged with ">SERVER" where that line's order puts it.

#include "window/kelvo_bridge.h"

#include "build_settings.h"
#include "core/rules/protocol_words.h"
#include "core/rules/text_rules.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"

using namespace kelvo;

void KelvoBridge::sendToRelay(const QByteArray &line, RelayLog logAt, const QString &logText)
{
    const auto logLine = [&] { log(logwindow::serverOutTag, logText.isNull() ? kelvo::shown(line) : logText); };
    platform::TlsSocket *relay = kelvoconnect();
    if (logAt == RelayLog::beforeWrite)
        logLine();
    relay->Write(line + '\r');
    if (logAt == RelayLog::beforeFlush)
        logLine();
    relay->Flush();
    if (logAt == RelayLog::afterFlush)
        logLine();
}

void KelvoBridge::requestKey()
{
    sendToRelay(kelvo::protocol::getkeyRequest(buildSettings::buildNumber), RelayLog::beforeFlush,
                QString::fromLatin1(kelvo::protocol::getkeyLogged));
}
