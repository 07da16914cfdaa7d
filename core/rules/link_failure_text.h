#pragma once
// What the main window says when the relay link fails: a short status text that fits its line,
// and the reason in Qt's words, whole, with what to do next, in the instruction text above.

#include <QString>

namespace kelvo {

struct LinkFailureText {
    QString status;
    QString explanation;
};

[[nodiscard]] LinkFailureText relayLostText(const QString &reason);
[[nodiscard]] LinkFailureText relayNotReachedText(const QString &reason);
// The relay's own serious error, after which this side closes the link.
[[nodiscard]] LinkFailureText relayErrorText();

} // namespace kelvo
