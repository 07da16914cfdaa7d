#include "core/rules/link_failure_text.h"

namespace kelvo {

LinkFailureText relayLostText(const QString &reason)
{
    return {QStringLiteral("Connection to the server lost"),
            QStringLiteral("The connection to the server was lost: %1. Click Connect to try again.").arg(reason)};
}

LinkFailureText relayNotReachedText(const QString &reason)
{
    return {QStringLiteral("Could not reach the server"),
            QStringLiteral("Could not reach the server: %1. Click Connect to try again.").arg(reason)};
}

LinkFailureText relayErrorText()
{
    return {QStringLiteral("Server reported an error"),
            QStringLiteral("The server reported a serious error and the connection to it was closed. "
                           "Click Connect to try again.")};
}

} // namespace kelvo
