#include "core/rules/relay_framing.h"

#include "core/rules/text_rules.h"

#include <array>
#include <utility>

namespace kelvo {

RelayFrame frameRelayRead(QByteArrayView raw)
{
    QByteArray text = normaliseLineEnds(raw);
    const qsizetype semicolon = text.indexOf(';');
    if (semicolon < 0)
        return {RelayFrame::Kind::RemoteCommand, text};
    return {RelayFrame::Kind::ServerMessage, text.sliced(semicolon)};
}

QByteArray serverCode(QByteArrayView message)
{
    if (message.size() < 4)
        return {};
    return message.sliced(1, 3).toByteArray();
}

ServerCode serverCodeOf(QByteArrayView code)
{
    static constexpr std::array<std::pair<const char *, ServerCode>, 10> codes{{
        {"200", ServerCode::serverOk},
        {"201", ServerCode::remoteLinked},
        {"202", ServerCode::remoteGone},
        {"203", ServerCode::keyIssued},
        {"210", ServerCode::serverMessage},
        {"300", ServerCode::waitingForRemote},
        {"400", ServerCode::remoteDisconnected},
        {"401", ServerCode::keyRenew},
        {"402", ServerCode::newKey},
        {"500", ServerCode::serverError},
    }};
    for (const auto &[text, name] : codes)
        if (code == QByteArrayView(text))
            return name;
    return ServerCode::other;
}

QByteArray issuedKey(QByteArrayView message)
{
    constexpr qsizetype keyWindow = 17;
    return trimmedEnd(message.size() > keyWindow ? message.last(keyWindow) : message);
}

QByteArray serverNotice(QByteArrayView message)
{
    constexpr qsizetype hidden = 15;
    QByteArray notice("Server message: ");
    if (message.size() > hidden)
        notice.append(message.sliced(hidden));
    return notice;
}

QList<QByteArray> splitRemoteCommands(QByteArrayView commandText)
{
    QList<QByteArray> commands;
    for (const QByteArray &piece : commandText.toByteArray().split('\n'))
        if (!piece.isEmpty())
            commands.append(piece);
    if (commands.isEmpty())
        commands.append(QByteArray());
    return commands;
}

} // namespace kelvo
