#pragma once
// The fixed words the bridge sends: its lines to the relay (each goes out with a CR) and its own
// commands to the unit.

#include <QByteArray>
#include <QtGlobal>

namespace kelvo::protocol {

// The key request, ";getkey:Kelvo Connect build " and the build number; logged as ";getkey".
[[nodiscard]] inline QByteArray getkeyRequest(qint64 buildNumber)
{
    return QByteArrayLiteral(";getkey:Kelvo Connect build ") + QByteArray::number(buildNumber);
}
inline constexpr char getkeyLogged[] = ";getkey";
// The answer to an issued key, and the keep-alive with the key shown.
[[nodiscard]] inline QByteArray waitReply(const QByteArray &key) { return ";wait=" + key; }
[[nodiscard]] inline QByteArray keepAlive(const QByteArray &key) { return ";ping=" + key; }
inline constexpr char endRequest[] = ";end";
inline constexpr char quitNotice[] = ";quit";
inline constexpr char commandBlocked[] = ";701:command blocked";

// To the unit: report the status line; switch the outputs off.
inline constexpr char statusRequest[] = "S";
inline constexpr char outputsOff[] = "K";

} // namespace kelvo::protocol
