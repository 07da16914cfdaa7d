#pragma once
// KelvoBridge, the main window: the controls the user works with, the bridge's link controls
// (both serial ports, the relay socket, the three timers) and the bridge state they share.
// The bridge core's methods are defined by concern in core/, the window's own in window/.

#include "core/relay_settings.h"
#include "core/rules/command_filter.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace kelvo::platform {
class SerialPort;
class TlsSocket;
class Timer;
} // namespace kelvo::platform

namespace kelvo {
struct LinkFailureText;
} // namespace kelvo

class KelvoBridge : public QMainWindow {
    Q_OBJECT
public:
    // The one open main window, built and shown on the first call.
    static KelvoBridge *instance();
    // The open main window, or nullptr; never creates one.
    static KelvoBridge *openInstance();

    explicit KelvoBridge(QWidget *parent = nullptr);
    ~KelvoBridge() override;

    // Bridge state: shared by the serial and relay sides, read and written in place.
    bool allowPrefs = true;
    bool allowScan = true;
    qint64 currentProbe = 0;
    QByteArray kelvoResults;
    bool firmwareChecked = false;
    bool itsAlive = false;
    qint64 lastRead = 0;
    qint64 lastRemote = 0;
    qint64 lastWrite = 0;
    qint64 levelA = 0;
    qint64 levelB = 0;
    bool linked = false;
    bool logging = false;
    qint64 pcount = 1;
    qint64 prefmonitor = 1;
    bool serverconnected = false;
    // The remote-command filter's own memory of what it has commanded the unit.
    kelvo::FilterMemory filterMemory;
    // When the oldest status request still unanswered was sent ("S", however it was asked),
    // 0 when every one has had its status line: the no-response check judges by it.
    qint64 unansweredSince = 0;
    // One of the ping tick's boxes waits for the user: the tick stays off until its answer.
    bool tickBoxOpen = false;
    // Counts returns to the disconnected state, so a handler that waited in a modal box can
    // tell that the bridge was reset meanwhile (the relay link lost while the box was open).
    quint64 resetCount = 0;
    // Now, as the bridge's times hold it: whole seconds since 1970, the fraction cut off
    // (core/bridge_clock.cpp).
    [[nodiscard]] static qint64 wholeSecondsNow();

    // The two pages of bridgeUI, by index.
    static constexpr int mainPage = 0;
    static constexpr int prefsPage = 1;

    // Where Connect reaches the relay (and the key link's host): the build's relay unless set
    // otherwise before Connect.
    kelvo::RelaySettings relaySettings = kelvo::RelaySettings::fromBuildSettings();

    // Control accessors: each returns its control as kept when it was created (null once gone).
    [[nodiscard]] kelvo::platform::SerialPort *kelvoserial() const;
    [[nodiscard]] kelvo::platform::TlsSocket *kelvoconnect() const;
    [[nodiscard]] kelvo::platform::Timer *ping() const;
    [[nodiscard]] QStackedWidget *bridgeUI() const;
    [[nodiscard]] QPushButton *connectButton() const;
    [[nodiscard]] QComboBox *portselector() const;
    [[nodiscard]] QLabel *serverinfo() const;
    [[nodiscard]] QLabel *infoLabel() const;
    [[nodiscard]] QPushButton *savePrefs() const;
    [[nodiscard]] QLabel *prefsIntro() const;
    [[nodiscard]] QCheckBox *blockPower() const;
    [[nodiscard]] QCheckBox *blockProgram() const;
    [[nodiscard]] QCheckBox *limitA() const;
    [[nodiscard]] QLineEdit *maxA() const;
    [[nodiscard]] QCheckBox *limitB() const;
    [[nodiscard]] QLineEdit *maxB() const;
    [[nodiscard]] QLabel *prefsNotes() const;
    [[nodiscard]] QGroupBox *GroupBox1() const;
    // The member of the monitor10 set with that index (0, 1, 2), else nullptr.
    [[nodiscard]] QRadioButton *monitor10(qint64 index) const;
    [[nodiscard]] QLabel *batteryIcon() const;
    [[nodiscard]] QLabel *version() const;
    [[nodiscard]] QPushButton *exitPrefs() const;
    [[nodiscard]] QPushButton *stopButton() const;
    [[nodiscard]] QLabel *connectionKey() const;
    [[nodiscard]] QFrame *Line1() const;
    [[nodiscard]] QCheckBox *slaveTimeout() const;
    [[nodiscard]] QLineEdit *timeoutMinutes() const;
    [[nodiscard]] kelvo::platform::Timer *fadetimer() const;
    [[nodiscard]] kelvo::platform::SerialPort *probe() const;
    [[nodiscard]] kelvo::platform::Timer *probeTimer() const;

    // Unit line protocol (core/unit_link.cpp).
    void sendStimCommand(const QByteArray &command);
    void kelvoserial_DataAvailable();
    void kelvoserial_Error();
    void parseStimData(const QByteArray &line);
    // Ahead of an OFF: throws away what still waits for the unit and says so in the log.
    void takeBackWaitingCommands();

    // The unit's port closed under the bridge by an error (core/unit_port_recovery.cpp).
    void reopenUnitPort();
    void logNotSentToUnit(const QByteArray &command) const;

    // Relay handler (core/relay_protocol.cpp).
    void kelvoconnect_DataAvailable();

    // Lines to the relay (core/relay_writer.cpp). Each goes out with a CR and is flushed at
    // once; where its ">SERVER" log line stands, before the write, between write and flush or
    // after the flush, is each line's own. `none`: no log line here (a relayed status line, or
    // a line its caller has logged already).
    enum class RelayLog { beforeWrite, beforeFlush, afterFlush, none };
    // The log text is the line itself unless one is given.
    void sendToRelay(const QByteArray &line, RelayLog logAt, const QString &logText = QString());
    // The key request: on connection, and when the relay asks for a new key.
    void requestKey();

    // Link lifecycle (core/link_lifecycle.cpp).
    void connectButton_Action();
    void stopButton_Action();
    // The OFF button shown and enabled, or hidden and disabled: it follows `linked`.
    void setOffButtonShown(bool shown);
    void createServerConnection();
    void kelvoconnect_Connected();
    void kelvoconnect_Error();
    void showLinkFailure(const kelvo::LinkFailureText &text);
    void resetState();

    // Ping tick (core/ping_tick.cpp).
    void ping_Action();
    void fadetimer_Action();

    // Key sharing (core/key_sharing.cpp).
    bool connectionKey_MouseDown(int x, int y);
    bool _EditCopy_Action();

    // Serial port scan (core/port_scan.cpp).
    void enumeratePorts();
    bool _detectSerial_Action();
    void detectPowerbox();
    void probe_DataAvailable();
    void probe_Error();
    void probeTimer_Action();

    // One line of the connection log, written only while `logging` is on (core/bridge_log.cpp).
    void log(QLatin1StringView tag, const QString &text) const;

    // Status lamp (window/status_lamp.cpp).
    void setButtonIcon(const QString &colourName);

    // Preferences page (window/preferences_page.cpp).
    void savePrefs_Action();
    void exitPrefs_Action();
    void monitor10_Action(qint64 index);

    // Window events and menu handlers (window/window_events.cpp).
    void AddMenuHandlers();
    void Event_Open();
    void Event_Close();
    void Event_EnableMenuItems();
    bool _EditPrefs_Action();
    bool _FileAbout_Action();
    bool _showLog_Action(qint64 index);
    // A log window has closed: logging ends with it.
    void logWindowClosed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The relay handler's two kinds of message: remote commands (core/remote_commands.cpp) and
    // server messages (core/relay_protocol.cpp).
    void handleRemoteCommands(const QByteArray &commandText);
    void handleServerMessage(const QByteArray &message);

    // The ping tick's steps (core/ping_tick.cpp). The inactivity timeout returns false when the
    // bridge was reset while its box waited: the tick then ends there.
    void pollOrKeepAlive();
    [[nodiscard]] bool checkInactivityTimeout();
    void checkUnitResponds();

    // Window construction (window/kelvo_bridge.cpp).
    void Layout();
    void CreateControls();
    void _CreateControls0();
    void _CreateControls1();
    void createControls(int firstNumber, int lastNumber);
    void keepControl(QObject *control);
    void bindEvents();

    // The controls, kept at creation for the accessors: the per-message handlers reach them
    // with no search of the widget tree.
    QPointer<kelvo::platform::SerialPort> kelvoserial_;
    QPointer<kelvo::platform::TlsSocket> kelvoconnect_;
    QPointer<kelvo::platform::Timer> ping_;
    QPointer<QStackedWidget> bridgeUI_;
    QPointer<QPushButton> connectButton_;
    QPointer<QComboBox> portselector_;
    QPointer<QLabel> serverinfo_;
    QPointer<QLabel> infoLabel_;
    QPointer<QPushButton> savePrefs_;
    QPointer<QLabel> prefsIntro_;
    QPointer<QCheckBox> blockPower_;
    QPointer<QCheckBox> blockProgram_;
    QPointer<QCheckBox> limitA_;
    QPointer<QLineEdit> maxA_;
    QPointer<QCheckBox> limitB_;
    QPointer<QLineEdit> maxB_;
    QPointer<QLabel> prefsNotes_;
    QPointer<QGroupBox> GroupBox1_;
    std::array<QPointer<QRadioButton>, 3> monitor10_;
    QPointer<QLabel> batteryIcon_;
    QPointer<QLabel> version_;
    QPointer<QPushButton> exitPrefs_;
    QPointer<QPushButton> stopButton_;
    QPointer<QLabel> connectionKey_;
    QPointer<QFrame> Line1_;
    QPointer<QCheckBox> slaveTimeout_;
    QPointer<QLineEdit> timeoutMinutes_;
    QPointer<kelvo::platform::Timer> fadetimer_;
    QPointer<kelvo::platform::SerialPort> probe_;
    QPointer<kelvo::platform::Timer> probeTimer_;
};
