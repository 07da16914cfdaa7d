#pragma once
// Framing of one read from the relay server, server-message fields, and the split of a remote
// command text into single commands.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kelvo {

struct RelayFrame {
    enum class Kind { ServerMessage, RemoteCommand };
    Kind kind = Kind::RemoteCommand;
    QByteArray text; // line ends made LF; from the first ";" on for a server message; untrimmed
};

// Line ends made LF, everything before the first ";" dropped; a text holding ";" is a server
// message, any other text (the empty one included) a remote command.
[[nodiscard]] RelayFrame frameRelayRead(QByteArrayView raw);

// The three characters after the ";" (indexes 1 to 3); empty when the message is shorter.
[[nodiscard]] QByteArray serverCode(QByteArrayView message);

// The codes the bridge acts on, each named for what the relay says with it; any other is `other`.
enum class ServerCode {
    serverOk,           // 200
    remoteLinked,       // 201
    remoteGone,         // 202
    keyIssued,          // 203
    serverMessage,      // 210
    waitingForRemote,   // 300
    remoteDisconnected, // 400
    keyRenew,           // 401
    newKey,             // 402
    serverError,        // 500
    other,
};
// A code as serverCode gives it, compared exactly.
[[nodiscard]] ServerCode serverCodeOf(QByteArrayView code);
// Code 203: the last 17 characters (the whole message when shorter), then trailing whitespace
// removed.
[[nodiscard]] QByteArray issuedKey(QByteArrayView message);
// Code 210: "Server message: " + the message from index 15 on.
[[nodiscard]] QByteArray serverNotice(QByteArrayView message);

// The remote command text split at LF, empty pieces dropped; one empty command when none is
// left. Each piece is filtered and sent on its own, so no line end reaches the unit inside one.
[[nodiscard]] QList<QByteArray> splitRemoteCommands(QByteArrayView commandText);

} // namespace kelvo
