// The port scan: every serial port in index order gets one probeTimer shot's turn on `probe`;
// the first whose answer holds a status line's nine fields becomes the unit's port.

#include "window/kelvo_bridge.h"

#include "core/rules/protocol_words.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "shell/log_window.h"
#include "shell/preference_keys.h"
#include "shell/preferences_module.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

using namespace kelvo;

namespace {

// The listed name of the port `probe` is set to, kept beside its device path for the log and
// the port list (the path alone cannot be turned back into a name the platform listed).
constexpr char probedNameProperty[] = "kelvoProbedPortName";

void setProbedPortName(platform::SerialPort &port, const QString &name)
{
    port.setProperty(probedNameProperty, name);
}

[[nodiscard]] QString probedPortName(const platform::SerialPort &port)
{
    return port.property(probedNameProperty).toString();
}

// Preference `serial`; a store without the key (or no store at all) reads as empty.
[[nodiscard]] QString storedSerial()
{
    return preferenceKeys::stored(PreferencesModule::Preferences(), preferenceKeys::serial);
}

void storeSerial(const QString &name)
{
    if (PreferencesModule::Prefs *prefs = PreferencesModule::Preferences())
        preferenceKeys::store(*prefs, preferenceKeys::serial, name);
}

// A status line splits at ":" into nine fields and ends in a line feed; nothing else is looked at.
[[nodiscard]] bool holdsStatusLine(const QByteArray &buffer)
{
    return buffer.endsWith('\n') && buffer.count(':') == 8;
}

} // namespace

void KelvoBridge::enumeratePorts()
{
    const QString serial = storedSerial();
    qint64 selected = 0;
    // The count is read again for every row: a port may come or go meanwhile.
    for (qint64 i = 0; i <= platform::SerialPortCount() - 1; ++i) {
        const QString name = platform::SerialPortName(i);
        portselector()->addItem(name);
        if (!serial.isEmpty() && serial == name)
            selected = i;
    }
    portselector()->setCurrentIndex(static_cast<int>(selected));
}

bool KelvoBridge::_detectSerial_Action()
{
    currentProbe = 0;
    log(logwindow::serialTag, QStringLiteral("Starting serial port scan"));
    portselector()->clear();
    kelvoserial()->Close();
    // A scan already running starts over on a closed probe, and bytes the unit link left
    // behind must not be joined to port 0's answer.
    probe()->Close();
    kelvoResults.clear();
    connectButton()->setEnabled(false);
    setButtonIcon(QStringLiteral("grey"));
    detectPowerbox();
    return true;
}

void KelvoBridge::detectPowerbox()
{
    platform::SerialPort *port = probe();
    // Empty when the port has gone since the scan began: it is tried as one that does not open.
    const QString name = platform::SerialPortName(currentProbe);
    port->setSerialPort(name.isEmpty() ? QString() : platform::devicePathOf(name));
    setProbedPortName(*port, name);
    log(logwindow::serialTag, QStringLiteral("Port set to ") + name);
    serverinfo()->setText(QStringLiteral("Checking port ") + name);

    if (!name.isEmpty() && port->Open()) {
        log(logwindow::serialTag, QStringLiteral("Port opened, sending data"));
        // Straight to the probe: the unit link's own bookkeeping is not involved.
        port->Write(QByteArray(kelvo::protocol::statusRequest) + '\r');
        port->Flush();
    } else {
        log(logwindow::serialTag, QStringLiteral("Unable to open port"));
    }
    probeTimer()->setMode(platform::Timer::modeSingle);
}

void KelvoBridge::probe_DataAvailable()
{
    platform::SerialPort *port = probe();
    kelvoResults += port->ReadAll();
    if (!kelvoResults.endsWith('\n'))
        return;

    log(logwindow::serialTag,
        QStringLiteral("Data received: ") + QString::fromLatin1(kelvoResults.toHex(' ').toUpper()));

    // The list was emptied when the scan began and only a match adds a row: once the unit is
    // found, later bytes of the same turn must not list its port a second time.
    if (!holdsStatusLine(kelvoResults) || portselector()->count() > 0)
        return;

    const QString name = probedPortName(*port);
    portselector()->addItem(name);
    serverinfo()->setText(QStringLiteral("Found a Q6 on ") + name);
    portselector()->setCurrentIndex(portselector()->count() - 1);
    storeSerial(name);
    log(logwindow::serialTag, QStringLiteral("Q6 detected"));
    // The scan ends when this port's turn ends.
    currentProbe = platform::SerialPortCount() - 1;
}

void KelvoBridge::probe_Error()
{
    log(logwindow::serialTag, QStringLiteral("Port error"));
}

void KelvoBridge::probeTimer_Action()
{
    platform::SerialPort *port = probe();
    log(logwindow::serialTag, QStringLiteral("Timer completed, closing ") + probedPortName(*port));
    port->Close();
    kelvoResults.clear();

    if (currentProbe < platform::SerialPortCount() - 1) {
        ++currentProbe;
        detectPowerbox();
        return;
    }

    serverinfo()->setText(QStringLiteral("Scan completed"));
    log(logwindow::serialTag, QStringLiteral("Scan complete"));

    if (portselector()->count() > 0) {
        platform::dialogs().msgBox(QStringLiteral("Scan completed. Your Q6 is connected to ")
                                   + storedSerial());
    } else {
        log(logwindow::serialTag, QStringLiteral("No Q6 found"));
        enumeratePorts();
        platform::dialogs().msgBox(
            QStringLiteral("Scan completed. No Q6 found. Please check your Q6 is connected to the "
                           "computer and turned on"),
            platform::MsgBoxCode::CautionOk, QString());
    }
    connectButton()->setEnabled(true);
    setButtonIcon(QStringLiteral("red"));
}
