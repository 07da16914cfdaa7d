// The unit's line protocol on the link port: commands out, status lines in.

#include "window/kelvo_bridge.h"

#include "core/rules/status_line.h"
#include "core/rules/text_number.h"
#include "core/rules/text_rules.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "shell/pictures.h"

#include <QLabel>

namespace {

const QString corruptDataText = QStringLiteral("Invalid or corrupt data received from Q6");

[[nodiscard]] qint64 nowSeconds()
{
    return kelvo::truncateToInt64(platform::clock().now());
}

[[nodiscard]] QPixmap batteryPicture(kelvo::BatteryPicture level)
{
    switch (level) {
    case kelvo::BatteryPicture::Low:
        return pictures::batterylow();
    case kelvo::BatteryPicture::Quarter:
        return pictures::battery25();
    case kelvo::BatteryPicture::Half:
        return pictures::battery50();
    case kelvo::BatteryPicture::ThreeQuarters:
        return pictures::battery75();
    case kelvo::BatteryPicture::Full:
        return pictures::batteryfull();
    }
    return pictures::batterylow();
}

// Unit bytes are 8-bit text; Latin-1 shows every byte as one character.
[[nodiscard]] QString shown(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

void KelvoBridge::sendStimCommand(const QByteArray &command)
{
    // Stamped first: the no-response check counts from the moment a command was due.
    lastWrite = nowSeconds();
    platform::SerialPort *port = kelvoserial();
    if (port->isClosedAfterError()) {
        logNotSentToUnit(command);
        return;
    }
    port->Write(command + '\r');
    port->Flush();
    if (logging)
        log(logwindow::serialOutTag, shown(kelvo::trimmed(command)));
}

void KelvoBridge::kelvoserial_DataAvailable()
{
    kelvoResults += kelvoserial()->ReadAll();
    const kelvo::UnitFrame frame = kelvo::frameUnitLine(kelvoResults);
    switch (frame.kind) {
    case kelvo::UnitFrame::Kind::Incomplete:
        return;
    case kelvo::UnitFrame::Kind::Overflow:
        // No line end in sight after this much: drop it rather than let it grow.
        kelvoResults.clear();
        log(logwindow::errorTag, corruptDataText);
        return;
    case kelvo::UnitFrame::Kind::Line:
        break;
    }

    const QByteArray line = frame.line;
    kelvoResults = line;
    parseStimData(line);
    if (logging)
        log(logwindow::serialInTag, shown(line));
    if (serverconnected && linked) {
        platform::TlsSocket *relay = kelvoconnect();
        relay->Write(line + '\r');
        relay->Flush();
    }
    kelvoResults.clear();
}

void KelvoBridge::kelvoserial_Error()
{
    log(logwindow::serialTag,
        QStringLiteral("Serial port error ") + QString::number(kelvoserial()->LastErrorCode()));
    // The next no-response check then finds the unit silent.
    lastRead = 0;
}

void KelvoBridge::parseStimData(const QByteArray &line)
{
    const std::optional<kelvo::StatusLine> status = kelvo::parseStatusLine(line);
    if (!status) {
        log(logwindow::errorTag, corruptDataText);
        return;
    }

    levelA = status->levelA;
    levelB = status->levelB;
    version()->setText(shown(status->version)); // an unchanged text costs nothing
    // The same cached picture again would still cost a relayout and a repaint.
    const QPixmap battery = batteryPicture(status->battery);
    if (batteryIcon()->pixmap().cacheKey() != battery.cacheKey())
        batteryIcon()->setPixmap(battery);
    if (!firmwareChecked) {
        log(logwindow::statusTag, status->supportsRelativeLevels
                ? QStringLiteral("Q6 firmware supports relative levels")
                : QStringLiteral("Q6 firmware does not support relative levels"));
        allowPrefs = true;
        firmwareChecked = true;
    }
    lastRead = nowSeconds();
    filterMemory.levelsReported = true;
    if (!itsAlive) {
        itsAlive = true;
        createServerConnection();
    }
}
