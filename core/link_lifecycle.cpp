// Bringing the unit link and the relay link up and down, and the return to the idle state.

#include "window/kelvo_bridge.h"

#include "core/rules/link_failure_text.h"
#include "core/rules/protocol_words.h"
#include "core/rules/welcome_text.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "shell/pictures.h"
#include "shell/preference_keys.h"
#include "shell/preferences_module.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace kelvo;


void KelvoBridge::connectButton_Action()
{
    // The flags decide, never the caption: after the relay's close it still reads "Disconnect".
    if (serverconnected && linked) {
        // End the remote control only; the relay link stays up.
        const quint64 resetsBefore = resetCount;
        sendToRelay(protocol::endRequest, RelayLog::afterFlush);
        if (resetCount != resetsBefore)
            return; // the write found the relay gone: its reset switched the outputs off already
        linked = false;
        setButtonIcon(QStringLiteral("amber"));
        sendStimCommand(protocol::outputsOff);
        return;
    }
    if (serverconnected) {
        resetState();
        return;
    }

    const QString name = portselector()->currentText();
    platform::SerialPort *port = kelvoserial();
    port->setSerialPort(platform::devicePathOf(name));
    if (port->Open()) {
        allowScan = false;
        log(logwindow::statusTag, QStringLiteral("Opened serial port ") + name);
        if (PreferencesModule::Prefs *prefs = PreferencesModule::Preferences())
            preferenceKeys::store(*prefs, preferenceKeys::serial, name);
        itsAlive = false;
        platform::Timer *tick = ping();
        tick->setMode(platform::Timer::modeMultiple);
        tick->setEnabled(true);
        sendStimCommand(protocol::statusRequest);
        portselector()->setEnabled(false);
        return;
    }

    log(logwindow::errorTag, QStringLiteral("Unable to open serial port ") + name);
    allowScan = true;
    platform::dialogs().msgBox(
        QStringLiteral("Error opening serial port. Please check the cable is connected"),
        platform::MsgBoxCode::CautionOk, QString());
}

void KelvoBridge::stopButton_Action()
{
    sendStimCommand(protocol::outputsOff);
}

void KelvoBridge::setOffButtonShown(bool shown)
{
    QPushButton *off = stopButton();
    off->setEnabled(shown);
    off->setVisible(shown);
}

void KelvoBridge::createServerConnection()
{
    const QString host = relaySettings.host;
    const quint16 relayPort = relaySettings.port;
    platform::TlsSocket *relay = kelvoconnect();
    relay->Address = host;
    relay->Port = relayPort;
    relay->setExtraCaCertificates(relaySettings.extraCaCertificates);
    log(logwindow::statusTag,
        QStringLiteral("Opening connection to ") + host + u':' + QString::number(relayPort));
    relay->Connect();
}

void KelvoBridge::kelvoconnect_Connected()
{
    serverconnected = true;
    const QString connectedText = QStringLiteral("Connected to server");
    serverinfo()->setText(connectedText);
    log(logwindow::statusTag, connectedText);
    requestKey();
    connectButton()->setText(QStringLiteral("Disconnect"));
    setButtonIcon(QStringLiteral("amber"));

    // However late the link came up, the tick watches it from now on: a tick that found it
    // still down stopped itself. A box of the tick that waits turns it on again when answered.
    // A port closed under the bridge by an error still counts as the unit's link: the tick's
    // check is what reports it.
    const platform::SerialPort *unitPort = kelvoserial();
    platform::Timer *tick = ping();
    if ((unitPort->isOpen() || unitPort->isClosedAfterError()) && !tickBoxOpen && !tick->isArmed()) {
        tick->setMode(platform::Timer::modeMultiple);
        tick->setEnabled(true);
    }
}

void KelvoBridge::kelvoconnect_Error()
{
    log(logwindow::errorTag,
        QStringLiteral("Network error ") + QString::number(kelvoconnect()->LastErrorCode()));
    ping()->setEnabled(false);
    // With the relay gone nobody can switch the outputs off remotely any more, and the
    // stopped tick no longer runs the inactivity timeout: switch them off here.
    if (linked)
        sendStimCommand(protocol::outputsOff);

    const QString reason = kelvoconnect()->LastErrorText();
    if (!serverconnected) {
        // Never reached: the link stays pending, and Connect tries again.
        showLinkFailure(kelvo::relayNotReachedText(reason));
        return;
    }
    // The link was up and is gone: nothing can reach the relay any more (so no ";quit"), and a
    // window left showing it up would be a lie. Back to the disconnected state, saying why.
    serverconnected = false;
    linked = false;
    resetState();
    showLinkFailure(kelvo::relayLostText(reason));
}

void KelvoBridge::showLinkFailure(const kelvo::LinkFailureText &text)
{
    serverinfo()->setText(text.status);
    infoLabel()->setText(text.explanation);
}

void KelvoBridge::resetState()
{
    ++resetCount;
    platform::TlsSocket *relay = kelvoconnect();
    if (serverconnected) {
        sendToRelay(protocol::quitNotice, RelayLog::beforeFlush);
        relay->Close();
        serverconnected = false;
        linked = false;
        log(logwindow::statusTag, QStringLiteral("Server connection closed"));
    } else {
        // A connection still being opened is dropped too, so no late Connected event can
        // raise the relay link while the unit's port is closed.
        relay->Close();
    }
    kelvoserial()->Close();
    kelvoResults.clear();
    allowScan = true;
    batteryIcon()->setPixmap(pictures::onepixel());
    version()->setText(QString());
    connectionKey()->setText(QString());
    infoLabel()->setText(welcomeText());
    allowPrefs = false;
    firmwareChecked = false;
    ping()->setEnabled(false);
    lastRead = 0;
    unansweredSince = 0;
    lastRemote = 0;
    portselector()->setEnabled(true);
    connectButton()->setText(QStringLiteral("Connect"));
    setButtonIcon(QStringLiteral("red"));
    serverinfo()->setText(QStringLiteral("Not connected"));
    setOffButtonShown(false);
}
