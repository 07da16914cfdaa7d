// Renders every window of the program to a PNG file, offscreen, so the windows can be looked
// at without a unit attached or a display: the main page as it opens and as it is while a
// remote user is linked (with the longest texts it shows: the widest key, a ten-character
// firmware version, the widest date), the status text with a relay message too long for it,
// the preferences page, the File menu, the log window with a few lines, the about window and
// the message box that names a found port; then the main page after the relay link was lost
// in remote control, after the relay could not be reached, after the relay's serious error in
// remote control, and with a remote user linked inside the keep-alive's fade, driven through the
// real road (the Q6 simulator and the TLS test relay). Usage: kelvo-screenshots <output folder>.
// The store lives in a temporary folder; one fake port is listed so the start-up opens the
// window without its no-port warning.

#include "platform/clock.h"
#include "platform/timer.h"
#include "shell/about_window.h"
#include "shell/app.h"
#include "shell/log_window.h"
#include "support/q6_simulator.h"
#include "shell/main_menu_bar.h"
#include "shell/pictures.h"
#include "support/scripted_services.h"
#include "support/tls_test_relay.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtGlobal>

#include <cstdio>

using namespace kelvo;

namespace {

bool save(QWidget &window, const QDir &folder, const char *name)
{
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const QPixmap picture = window.grab();
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d %s\n", name, picture.width(), picture.height(), qPrintable(path));
    return true;
}

// Connect pressed with the simulator's port chosen.
void connectTo(KelvoBridge &window, const Q6Simulator &unit)
{
    window.portselector()->clear();
    window.portselector()->addItem(unit.listedName());
    window.portselector()->setCurrentIndex(0);
    window.connectButton()->click();
}

// Connect pressed, the relay link up through the test relay and a key issued.
bool connectWithKey(KelvoBridge &window, const Q6Simulator &unit, TlsTestRelay &relay)
{
    window.relaySettings = relay.settings();
    connectTo(window, unit);
    if (!relay.waitForLineMatching(QRegularExpression(QStringLiteral("^;getkey:"))))
        return false;
    const QByteArray key = "ABCD-EFGH-IJKL-MN";
    return relay.sendCode("203", " " + key) && relay.waitForLine(";wait=" + key);
}

// A remote user linked through the test relay.
bool remoteControl(KelvoBridge &window, const Q6Simulator &unit, TlsTestRelay &relay)
{
    return relay.listen() && connectWithKey(window, unit, relay) && relay.sendCode("201")
        && relay.waitForLine(unit.statusLine());
}

// Remote control through the test relay, then the relay drops the connection.
bool showRelayLost(KelvoBridge &window)
{
    Q6Simulator unit;
    TlsTestRelay relay;
    if (!remoteControl(window, unit, relay))
        return false;
    relay.dropConnection();
    return QTest::qWaitFor([&] { return !window.serverconnected; }, 5000);
}

// Connect with nothing listening at the relay's port.
bool showRelayNotReached(KelvoBridge &window, Q6Simulator &unit)
{
    QTcpServer closed;
    if (!closed.listen(QHostAddress::LocalHost, 0))
        return false;
    window.relaySettings.host = TlsTestRelay::host();
    window.relaySettings.port = closed.serverPort();
    closed.close();
    connectTo(window, unit);
    return QTest::qWaitFor(
        [&] { return window.serverinfo()->text() == QLatin1String("Could not reach the server"); }, 5000);
}

// Remote control through the test relay, then the relay's serious error (code 500), its box
// answered; saved while the relay and the unit are still there.
bool saveServerError(KelvoBridge &window, const QDir &folder)
{
    Q6Simulator unit;
    TlsTestRelay relay;
    if (!remoteControl(window, unit, relay))
        return false;
    if (!relay.sendCode("500", " fault") || !QTest::qWaitFor([&] { return !window.serverconnected; }, 5000))
        return false;
    return save(window, folder, "server_error");
}

// A remote user links between the keep-alive's grey blink and its fade, and the fade fires;
// saved while the link is up.
bool saveLinkInsideTheFade(KelvoBridge &window, ScriptedServices &services, const QDir &folder)
{
    Q6Simulator unit;
    TlsTestRelay relay;
    if (!relay.listen())
        return false;
    if (!connectWithKey(window, unit, relay))
        return false;
    while (!window.fadetimer()->isArmed() && window.pcount <= 6) {
        services.clock += 5.0;
        window.ping()->fire();
    }
    if (!window.fadetimer()->isArmed() || !relay.sendCode("201") || !relay.waitForLine(unit.statusLine()))
        return false;
    window.fadetimer()->fire();
    QTest::qWait(50);
    return window.linked && save(window, folder, "link_inside_the_fade");
}

// What the bridge shows while a remote user is linked, at the longest.
void showLinked(KelvoBridge &window)
{
    window.setButtonIcon(QStringLiteral("green"));
    window.connectButton()->setText(QStringLiteral("Disconnect"));
    window.stopButton()->setEnabled(true);
    window.stopButton()->setVisible(true);
    window.infoLabel()->setText(
        QStringLiteral("Share the connection key below to allow someone to control your Q6. "
                       "Click on the key to copy it to the clipboard."));
    window.connectionKey()->setText(QStringLiteral("WWWWWWWWWWWWWWWW"));
    window.serverinfo()->setText(
        QStringLiteral("Server connection ok at ")
        + platform::dateTimeText(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))));
    window.version()->setText(QStringLiteral("10.107.888"));
    window.batteryIcon()->setPixmap(pictures::battery75());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path()))
        return 1;

    ScriptedServices services;
    services.ports = {QStringLiteral("ttyUSB0"), QStringLiteral("ttyS0")};
    App app;
    app.startUp();
    KelvoBridge &window = *KelvoBridge::instance();

    bool written = save(window, folder, "main_page");
    window.bridgeUI()->setCurrentIndex(1);
    written = save(window, folder, "preferences_page") && written;
    window.bridgeUI()->setCurrentIndex(0);
    showLinked(window);
    written = save(window, folder, "main_page_linked") && written;
    window.serverinfo()->setText(QStringLiteral(
        "Server message: the relay restarts at midnight,\nplease reconnect afterwards"));
    written = save(window, folder, "main_page_relay_message") && written;

    QMenu &fileMenu = *MainMenuBar::instance()->menuNamed(QStringLiteral("FileMenu"));
    fileMenu.popup(window.mapToGlobal(QPoint(0, 20)));
    written = save(fileMenu, folder, "file_menu") && written;
    fileMenu.hide();

    logwindow &log = *logwindow::instance();
    log.logdata(logwindow::statusTag, QStringLiteral("Logging started"));
    log.logdata(logwindow::serialOutTag, QStringLiteral("S"));
    log.logdata(logwindow::serialInTag, QStringLiteral("50:50:0:0:0:0:1.20:85:1"));
    written = save(log, folder, "log_window") && written;

    written = save(*about::instance(), folder, "about_window") && written;

    // As the platform shows a plain box: no title of its own, plain text.
    QMessageBox box(QMessageBox::NoIcon, QString(),
                    QStringLiteral("Scan completed. Your Q6 is connected to tty.Bluetooth-Incoming-Port"),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.show();
    written = save(box, folder, "message_box") && written;

    written = showRelayLost(window) && save(window, folder, "relay_lost") && written;
    Q6Simulator unit;
    written = showRelayNotReached(window, unit) && save(window, folder, "relay_not_reached") && written;
    written = saveServerError(window, folder) && written;
    written = saveLinkInsideTheFade(window, services, folder) && written;
    return written ? 0 : 1;
}
