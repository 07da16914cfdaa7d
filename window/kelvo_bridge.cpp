#include "window/kelvo_bridge.h"

#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

namespace {
QPointer<KelvoBridge> theWindow;
} // namespace

KelvoBridge *KelvoBridge::instance()
{
    if (!theWindow) {
        theWindow = new KelvoBridge; // owns itself: deleted when it closes
        theWindow->show();
    }
    return theWindow;
}

KelvoBridge *KelvoBridge::openInstance()
{
    return theWindow;
}

KelvoBridge::KelvoBridge(QWidget *parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
    bindEvents();
    AddMenuHandlers();
    Event_Open();
}

KelvoBridge::~KelvoBridge() = default;

void KelvoBridge::Layout() {}
void KelvoBridge::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
}
void KelvoBridge::_CreateControls0() {}
void KelvoBridge::_CreateControls1() {}
void KelvoBridge::bindEvents() {}

bool KelvoBridge::eventFilter(QObject *watched, QEvent *event)
{
    return QMainWindow::eventFilter(watched, event);
}

void KelvoBridge::closeEvent(QCloseEvent *event)
{
    Event_Close();
    QMainWindow::closeEvent(event);
}

platform::SerialPort *KelvoBridge::kelvoserial() const { return findChild<platform::SerialPort *>(QStringLiteral("kelvoserial")); }
platform::TlsSocket *KelvoBridge::kelvoconnect() const { return findChild<platform::TlsSocket *>(QStringLiteral("kelvoconnect")); }
platform::Timer *KelvoBridge::ping() const { return findChild<platform::Timer *>(QStringLiteral("ping")); }
QStackedWidget *KelvoBridge::bridgeUI() const { return findChild<QStackedWidget *>(QStringLiteral("bridgeUI")); }
QPushButton *KelvoBridge::connectButton() const { return findChild<QPushButton *>(QStringLiteral("connectButton")); }
QComboBox *KelvoBridge::portselector() const { return findChild<QComboBox *>(QStringLiteral("portselector")); }
QLabel *KelvoBridge::serverinfo() const { return findChild<QLabel *>(QStringLiteral("serverinfo")); }
QLabel *KelvoBridge::infoLabel() const { return findChild<QLabel *>(QStringLiteral("infoLabel")); }
QPushButton *KelvoBridge::savePrefs() const { return findChild<QPushButton *>(QStringLiteral("savePrefs")); }
QLabel *KelvoBridge::prefsIntro() const { return findChild<QLabel *>(QStringLiteral("prefsIntro")); }
QCheckBox *KelvoBridge::blockPower() const { return findChild<QCheckBox *>(QStringLiteral("blockPower")); }
QCheckBox *KelvoBridge::blockProgram() const { return findChild<QCheckBox *>(QStringLiteral("blockProgram")); }
QCheckBox *KelvoBridge::limitA() const { return findChild<QCheckBox *>(QStringLiteral("limitA")); }
QLineEdit *KelvoBridge::maxA() const { return findChild<QLineEdit *>(QStringLiteral("maxA")); }
QCheckBox *KelvoBridge::limitB() const { return findChild<QCheckBox *>(QStringLiteral("limitB")); }
QLineEdit *KelvoBridge::maxB() const { return findChild<QLineEdit *>(QStringLiteral("maxB")); }
QLabel *KelvoBridge::prefsNotes() const { return findChild<QLabel *>(QStringLiteral("prefsNotes")); }
QGroupBox *KelvoBridge::GroupBox1() const { return findChild<QGroupBox *>(QStringLiteral("GroupBox1")); }
QRadioButton *KelvoBridge::monitor10(qint64) const { return nullptr; }
QLabel *KelvoBridge::batteryIcon() const { return findChild<QLabel *>(QStringLiteral("batteryIcon")); }
QLabel *KelvoBridge::version() const { return findChild<QLabel *>(QStringLiteral("version")); }
QPushButton *KelvoBridge::exitPrefs() const { return findChild<QPushButton *>(QStringLiteral("exitPrefs")); }
QPushButton *KelvoBridge::stopButton() const { return findChild<QPushButton *>(QStringLiteral("stopButton")); }
QLabel *KelvoBridge::connectionKey() const { return findChild<QLabel *>(QStringLiteral("connectionKey")); }
QFrame *KelvoBridge::Line1() const { return findChild<QFrame *>(QStringLiteral("Line1")); }
QCheckBox *KelvoBridge::slaveTimeout() const { return findChild<QCheckBox *>(QStringLiteral("slaveTimeout")); }
QLineEdit *KelvoBridge::timeoutMinutes() const { return findChild<QLineEdit *>(QStringLiteral("timeoutMinutes")); }
platform::Timer *KelvoBridge::fadetimer() const { return findChild<platform::Timer *>(QStringLiteral("fadetimer")); }
platform::SerialPort *KelvoBridge::probe() const { return findChild<platform::SerialPort *>(QStringLiteral("probe")); }
platform::Timer *KelvoBridge::probeTimer() const { return findChild<platform::Timer *>(QStringLiteral("probeTimer")); }
