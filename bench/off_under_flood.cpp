// The local OFF under a flood: the relay sends 20,000 commands that the filter lets through
// (60,000 bytes, a minute of a 9600 bit/s line) while the unit does not read, then the user
// presses OFF. Counts the bytes that reach the unit ahead of its "K" beyond what the unit's side
// of the line already held at the press, and what they mean in time on a real line. The whole
// road is real: the window, QSerialPort on a pseudo-terminal, QSslSocket to the TLS test relay.
//
// Goal: at most 64 bytes (a UART's FIFO, under 70 ms at 9600 bit/s).

#include "support/bridge_fixture.h"

#include <QApplication>
#include <QList>

#include <cstdio>

namespace {

constexpr int floodCommands = 20000;
constexpr qint64 goalBytes = 64;
constexpr double lineBytesPerSecond = 960.0;

struct Figures {
    qint64 floodBytes = 0;
    qint64 held = 0;
    qint64 ahead = -1; // beyond what was held; -1 when no "K" came
    qsizetype refused = 0;
};

bool bringUpRemoteControl(test::RealLinks &links)
{
    if (!links.openIdle())
        return false;
    links.window->connectButton()->click();
    if (!links.relay.waitForLine(test::keyRequest()) || !links.relay.sendCode("203", " BENCH-KEY")
        || !links.relay.sendCode("201"))
        return false;
    return links.relay.waitForLine(links.unit.statusLine());
}

bool measure(Figures &figures)
{
    test::RealLinks links;
    if (!bringUpRemoteControl(links))
        return false;
    links.window->logging = false; // the log window's own cost is not the road's
    links.unit.clearRecords();
    links.relay.clearRecords();
    links.unit.stopReading();

    // Writes of at most 4 KB, each decrypted whole, so no command is cut between two reads.
    const QByteArray chunk = QByteArray("B5\n").repeated(500);
    for (int sent = 0; sent < floodCommands; sent += 500) {
        if (!links.relay.send(chunk))
            return false;
        figures.floodBytes += chunk.size();
    }
    if (!links.relay.send("ZEND")
        || !test::waitUntil([&] { return links.window->serverinfo()->text().endsWith(QLatin1String("ZEND")); }, 60000))
        return false;

    figures.held = links.unit.bytesHeld();
    links.window->stopButton()->click();
    links.unit.resumeReading();
    if (!links.unit.waitForCommand("K", 120000))
        return true;
    figures.ahead = links.unit.received().indexOf("K\r") - figures.held;
    QTest::qWait(200); // the last refusals reach the relay
    figures.refused = links.relay.lines().count(";701:command blocked");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Figures figures;
    if (!measure(figures)) {
        std::printf("off_under_flood: the road did not come up or the flood was not worked through FAIL\n");
        return 1;
    }
    const bool pass = figures.ahead >= 0 && figures.ahead <= goalBytes;
    std::printf("flood: %lld bytes; the unit's side held %lld at the press; %lld remote commands refused\n",
                static_cast<long long>(figures.floodBytes), static_cast<long long>(figures.held),
                static_cast<long long>(figures.refused));
    std::printf("off_under_flood: bytes_ahead_of_off=%lld (%.0f ms at 9600 bit/s; goal <= %lld) %s\n",
                static_cast<long long>(figures.ahead), figures.ahead < 0 ? -1.0 : 1000.0 * double(figures.ahead) / lineBytesPerSecond,
                static_cast<long long>(goalBytes), pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
