// The unit's port after an error that closed it underneath (a pulled cable, a re-plugged
// adapter): opened again on the user's Retry, and nothing logged as sent while it is closed.

#include "window/kelvo_bridge.h"

#include "core/rules/text_rules.h"
#include "platform/serial_port.h"
#include "shell/log_window.h"

#include <QComboBox>

using namespace kelvo;

void KelvoBridge::reopenUnitPort()
{
    // The same device path as at Connect: a re-plugged adapter comes back under its old name.
    platform::SerialPort *port = kelvoserial();
    const QString name = portselector()->currentText();
    if (!port->Open()) {
        log(logwindow::errorTag, QStringLiteral("Unable to open serial port ") + name);
        return;
    }
    log(logwindow::statusTag, QStringLiteral("Opened serial port ") + name);
    // The port is the unit's again, as after Connect: a scan would take it from the links.
    allowScan = false;
    // A half line from before the error belongs to no line. Whatever still waited for the unit
    // went with the closed port, a lowering perhaps among it: the filter no longer knows the
    // levels.
    kelvoResults.clear();
    filterMemory = kelvo::afterCommandsTakenBack(filterMemory);
}

void KelvoBridge::logNotSentToUnit(const QByteArray &command) const
{
    log(logwindow::serialTag,
        QStringLiteral("Q6 port closed, not sent: ") + kelvo::shown(kelvo::trimmed(command)));
}
