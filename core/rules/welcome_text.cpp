#include "core/rules/welcome_text.h"

namespace {

[[nodiscard]] QString commandKeySign()
{
#ifdef Q_OS_MACOS
    return QString(QChar(0x2318)); // the place-of-interest sign on the Command key
#else
    return QStringLiteral("Ctrl");
#endif
}

} // namespace

QString welcomeText()
{
    // The blanks around the sign and the one at the end are part of the text.
    return QStringLiteral("Welcome to Kelvo Connect. Select the serial port your Q6 is connected "
                          "to, or press  ")
        + commandKeySign()
        + QStringLiteral(" + F to find it, then click Connect to link your Q6 to the server. ");
}
