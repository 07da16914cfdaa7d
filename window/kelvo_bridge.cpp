#include "window/kelvo_bridge.h"

#include "platform/serial_port.h"
#include "platform/timer.h"
#include "platform/tls_socket.h"
#include "shell/log_window.h"
#include "shell/main_menu_bar.h"
#include "window/control_fonts.h"
#include "window/eliding_label.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStackedWidget>

#include <algorithm>
#include <type_traits>
#include <vector>

using namespace kelvo;

namespace {

QPointer<KelvoBridge> theWindow;

constexpr int contentWidth = 450;
constexpr int contentHeight = 250;
constexpr int mainPage = KelvoBridge::mainPage;
constexpr int prefsPage = KelvoBridge::prefsPage;
constexpr int noPage = -1;
constexpr int noTab = -1;
constexpr int noIndex = -1;
constexpr auto monitorIndexProperty = "index";

enum class Kind {
    serialPort,
    tlsSocket,
    timer,
    pagePanel,
    bevelButton,
    pushButton,
    popupMenu,
    label,
    checkBox,
    textField,
    groupBox,
    radioButton,
    canvas,
    line,
};

// Differences from the common settings (enabled, visible, standard font, left aligned).
enum Flag : unsigned {
    bold = 1U << 0,
    italic = 1U << 1,
    wrapped = 1U << 2,
    hidden = 1U << 3,
    disabled = 1U << 4,
    defaultButton = 1U << 5,
    cancelButton = 1U << 6,
    checked = 1U << 7,
    lampIcon = 1U << 8,
    elided = 1U << 9, // a one-line label for outside texts that may not fit (ElidingLabel)
};

// One control's initial settings. Geometry is in window content coordinates, whatever the
// control's parent; tab is the position within its page (within GroupBox1 for monitor10).
struct ControlSettings {
    int number;
    const char *name;
    Kind kind;
    int page = noPage;
    QRect geometry = {};
    int tab = noTab;
    const char *text = "";
    unsigned flags = 0;
    int index = noIndex;
    int periodMs = 0;
    int alignmentCode = 0;
    int pixelSize = controlFonts::standardPixelSize; // font size in pixels, see control_fonts.h
    const char *family = nullptr;
};

// Every control of the window, in creation order.
const ControlSettings controlTable[] = {
    {.number = 1, .name = "kelvoserial", .kind = Kind::serialPort},
    {.number = 2, .name = "kelvoconnect", .kind = Kind::tlsSocket},
    {.number = 3, .name = "ping", .kind = Kind::timer, .periodMs = 5000},
    {.number = 4, .name = "bridgeUI", .kind = Kind::pagePanel,
     .geometry = {0, 0, contentWidth, contentHeight}},
    {.number = 5, .name = "connectButton", .kind = Kind::bevelButton, .page = mainPage,
     .geometry = {264, 67, 157, 50}, .tab = 1, .text = "Connect", .flags = lampIcon},
    {.number = 6, .name = "portselector", .kind = Kind::popupMenu, .page = mainPage,
     .geometry = {29, 75, 98, 22}, .tab = 2},
    {.number = 7, .name = "serverinfo", .kind = Kind::label, .page = mainPage,
     .geometry = {9, 225, 292, 20}, .tab = 3, .text = "Not connected", .flags = elided,
     .pixelSize = 11, .family = "Courier New"},
    {.number = 8, .name = "infoLabel", .kind = Kind::label, .page = mainPage,
     .geometry = {29, 9, 401, 54}, .tab = 0,
     .text = "Welcome to Kelvo Connect. Select the serial port your Q6 is connected to, or "
             "choose Find from the File menu, then click Connect to link your Q6 to the server.",
     .flags = bold | wrapped},
    {.number = 9, .name = "savePrefs", .kind = Kind::pushButton, .page = prefsPage,
     .geometry = {350, 208, 80, 22}, .tab = 0, .text = "Save", .flags = defaultButton},
    {.number = 10, .name = "prefsIntro", .kind = Kind::label, .page = prefsPage,
     .geometry = {20, 11, 410, 37}, .tab = 1,
     .text = "You can use the options on this screen to limit what a remote user can do with "
             "your Q6. Select your options, then click Save.",
     .flags = bold | wrapped},
    {.number = 11, .name = "blockPower", .kind = Kind::checkBox, .page = prefsPage,
     .geometry = {20, 87, 198, 20}, .tab = 2, .text = "Prevent power level change"},
    {.number = 12, .name = "blockProgram", .kind = Kind::checkBox, .page = prefsPage,
     .geometry = {219, 87, 211, 20}, .tab = 3, .text = "Prevent program mode change"},
    {.number = 13, .name = "limitA", .kind = Kind::checkBox, .page = prefsPage,
     .geometry = {20, 119, 232, 20}, .tab = 4, .text = "Set maximum level for channel A"},
    {.number = 14, .name = "maxA", .kind = Kind::textField, .page = prefsPage,
     .geometry = {251, 118, 41, 22}, .tab = 5},
    {.number = 15, .name = "limitB", .kind = Kind::checkBox, .page = prefsPage,
     .geometry = {20, 151, 219, 20}, .tab = 6, .text = "Set maximum level for channel B"},
    {.number = 16, .name = "maxB", .kind = Kind::textField, .page = prefsPage,
     .geometry = {251, 150, 41, 22}, .tab = 7},
    {.number = 17, .name = "prefsNotes", .kind = Kind::label, .page = prefsPage,
     .geometry = {20, 39, 410, 20}, .tab = 8,
     .text = "To set a maximum level, your Q6 must have firmware 2.107 or later",
     .flags = italic | hidden},
    {.number = 18, .name = "GroupBox1", .kind = Kind::groupBox, .page = prefsPage,
     .geometry = {20, 180, 298, 51}, .tab = 9, .text = "Monitor Q6 controls"},
    {.number = 19, .name = "monitor10", .kind = Kind::radioButton, .page = prefsPage,
     .geometry = {28, 202, 53, 20}, .tab = 0, .text = "Off", .flags = checked, .index = 0},
    {.number = 20, .name = "monitor10", .kind = Kind::radioButton, .page = prefsPage,
     .geometry = {93, 202, 100, 20}, .tab = 1, .text = "every 5 secs", .index = 1},
    {.number = 21, .name = "monitor10", .kind = Kind::radioButton, .page = prefsPage,
     .geometry = {198, 202, 120, 20}, .tab = 2, .text = "every 10 secs", .index = 2},
    {.number = 22, .name = "batteryIcon", .kind = Kind::canvas, .page = mainPage,
     .geometry = {326, 228, 35, 20}, .tab = 6},
    // 10 px: a dotted version of up to eight digits fits its 59 px ("10.107.888" needs 57, and
    // 63 at 11 px); a longer text is cut ("2.10712345" needs 60), the whole of it in the tooltip.
    {.number = 23, .name = "version", .kind = Kind::label, .page = mainPage,
     .geometry = {368, 224, 59, 20}, .tab = 7, .flags = elided, .alignmentCode = 2,
     .pixelSize = 10},
    {.number = 24, .name = "exitPrefs", .kind = Kind::pushButton, .page = prefsPage,
     .geometry = {350, 174, 80, 22}, .tab = 10, .text = "Cancel", .flags = cancelButton},
    {.number = 25, .name = "stopButton", .kind = Kind::bevelButton, .page = mainPage,
     .geometry = {178, 179, 95, 32}, .tab = 8, .text = "OFF", .flags = hidden | disabled},
    // 22 px: a key of sixteen of the face's widest letters fits; at 24 px it needs 424 of its
    // 392 px.
    {.number = 26, .name = "connectionKey", .kind = Kind::label, .page = mainPage,
     .geometry = {29, 127, 392, 40}, .tab = 4, .flags = bold | elided, .alignmentCode = 1,
     .pixelSize = 22},
    // From (-2, 222) to (455, 222): both ends lie outside the window so it spans the width.
    {.number = 27, .name = "Line1", .kind = Kind::line, .page = mainPage,
     .geometry = {-2, 222, 457, 1}},
    {.number = 28, .name = "slaveTimeout", .kind = Kind::checkBox, .page = prefsPage,
     .geometry = {20, 56, 232, 20}, .tab = 11, .text = "Switch off after timeout (minutes)"},
    {.number = 29, .name = "timeoutMinutes", .kind = Kind::textField, .page = prefsPage,
     .geometry = {251, 55, 41, 22}, .tab = 12},
    {.number = 30, .name = "fadetimer", .kind = Kind::timer, .periodMs = 200},
    {.number = 31, .name = "probe", .kind = Kind::serialPort},
    {.number = 32, .name = "probeTimer", .kind = Kind::timer, .periodMs = 5000},
};

constexpr int lastOfFirstBatch = 30;

[[nodiscard]] bool has(const ControlSettings &settings, Flag flag)
{
    return (settings.flags & flag) != 0;
}

[[nodiscard]] Qt::Alignment labelAlignment(const ControlSettings &settings)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (settings.alignmentCode == 1)
        horizontal = Qt::AlignHCenter;
    else if (settings.alignmentCode == 2)
        horizontal = Qt::AlignRight;
    // Several-line texts read from the top; one-line texts sit in the middle of their height.
    return horizontal | (has(settings, wrapped) ? Qt::AlignTop : Qt::AlignVCenter);
}

void applyFont(QWidget &widget, const ControlSettings &settings)
{
    widget.setFont(controlFonts::controlFont(widget.font(), settings.pixelSize,
                                             has(settings, bold), has(settings, italic),
                                             settings.family));
}

// A button that the keys trigger while it can be seen and used, as a dialog's default and
// cancel buttons are.
void triggerByKeys(QPushButton &button, const QList<QKeySequence> &keys)
{
    auto *shortcut = new QShortcut(&button);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &button, [target = &button] {
        if (target->isVisible() && target->isEnabled())
            target->click();
    });
}

[[nodiscard]] QWidget *makeVisual(const ControlSettings &settings, QWidget *parent)
{
    const auto text = QString::fromUtf8(settings.text);
    switch (settings.kind) {
    case Kind::bevelButton:
    case Kind::pushButton: {
        auto *button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        if (has(settings, lampIcon))
            button->setIconSize(QSize(40, 40)); // the lamp picture beside the caption
        if (has(settings, defaultButton)) {
            button->setDefault(true);
            triggerByKeys(*button, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
        }
        if (has(settings, cancelButton))
            triggerByKeys(*button, {QKeySequence(Qt::Key_Escape)});
        return button;
    }
    case Kind::popupMenu:
        return new QComboBox(parent);
    case Kind::label: {
        auto *label = has(settings, elided) ? new ElidingLabel(parent) : new QLabel(parent);
        label->setTextFormat(Qt::PlainText); // texts from outside are never rich text
        label->setText(text);
        label->setWordWrap(has(settings, wrapped));
        label->setAlignment(labelAlignment(settings));
        return label;
    }
    case Kind::checkBox:
        return new QCheckBox(text, parent);
    case Kind::textField: {
        auto *field = new QLineEdit(parent);
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return field;
    }
    case Kind::groupBox:
        return new QGroupBox(text, parent);
    case Kind::radioButton: {
        auto *radio = new QRadioButton(text, parent);
        radio->setProperty(monitorIndexProperty, qint64{settings.index});
        return radio;
    }
    case Kind::canvas: {
        // Shows its backdrop picture only; it draws no background and takes no focus.
        auto *canvas = new QLabel(parent);
        canvas->setTextFormat(Qt::PlainText);
        canvas->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        canvas->setAutoFillBackground(false);
        canvas->setFocusPolicy(Qt::NoFocus);
        return canvas;
    }
    case Kind::line: {
        auto *line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        line->setLineWidth(1);
        QPalette palette = line->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        line->setPalette(palette);
        return line;
    }
    case Kind::serialPort:
    case Kind::tlsSocket:
    case Kind::timer:
    case Kind::pagePanel:
        break;
    }
    return nullptr;
}

// Places a visual control on its page (a monitor10 member in GroupBox1) and applies its
// settings; the control is left where the table's window coordinates put it.
QWidget *createVisual(KelvoBridge &window, const ControlSettings &settings)
{
    QWidget *parent = window.bridgeUI()->widget(settings.page);
    QRect geometry = settings.geometry;
    if (settings.kind == Kind::radioButton) {
        QGroupBox *group = window.GroupBox1();
        parent = group;
        geometry.translate(-group->geometry().topLeft());
    }
    QWidget *widget = makeVisual(settings, parent);
    widget->setObjectName(QString::fromLatin1(settings.name));
    widget->setGeometry(geometry);
    applyFont(*widget, settings);
    if (has(settings, disabled))
        widget->setEnabled(false);
    if (has(settings, hidden))
        widget->hide();
    if (has(settings, checked))
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            button->setChecked(true);
    return widget;
}

QStackedWidget *createPagePanel(KelvoBridge &window, const ControlSettings &settings)
{
    auto *panel = new QStackedWidget(&window);
    panel->setObjectName(QString::fromLatin1(settings.name));
    for (int page = mainPage; page <= prefsPage; ++page)
        panel->addWidget(new QWidget(panel));
    panel->setCurrentIndex(mainPage);
    panel->setFixedSize(settings.geometry.size());
    window.setCentralWidget(panel);
    return panel;
}

// The control made from its settings, named; owned by the window.
QObject *createControl(KelvoBridge &window, const ControlSettings &settings)
{
    QObject *created = nullptr;
    switch (settings.kind) {
    case Kind::serialPort:
        created = new platform::SerialPort(&window);
        break;
    case Kind::tlsSocket:
        created = new platform::TlsSocket(&window);
        break;
    case Kind::timer:
        created = new platform::Timer(settings.periodMs, &window);
        break;
    case Kind::pagePanel:
        return createPagePanel(window, settings);
    default:
        return createVisual(window, settings);
    }
    created->setObjectName(QString::fromLatin1(settings.name));
    return created;
}

// Tab order within each page by the table's tab positions; the radio buttons follow their
// group box, in their own order. Qt leaves controls that take no focus (labels) out of it.
void applyTabOrder(KelvoBridge &window)
{
    for (int page = mainPage; page <= prefsPage; ++page) {
        std::vector<const ControlSettings *> onPage;
        for (const ControlSettings &settings : controlTable)
            if (settings.page == page && settings.tab != noTab
                && settings.kind != Kind::radioButton)
                onPage.push_back(&settings);
        std::ranges::stable_sort(onPage, {}, &ControlSettings::tab);
        std::vector<QWidget *> chain;
        for (const ControlSettings *settings : onPage) {
            chain.push_back(window.findChild<QWidget *>(QString::fromLatin1(settings->name)));
            if (settings->kind == Kind::groupBox)
                for (qint64 index = 0; index <= 2; ++index)
                    chain.push_back(window.monitor10(index));
        }
        for (std::size_t i = 1; i < chain.size(); ++i)
            QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

} // namespace

KelvoBridge *KelvoBridge::instance()
{
    if (!theWindow) {
        theWindow = new KelvoBridge; // owns itself: deleted when it closes
        // The open handling fills the built window from the bridge's surroundings (ports,
        // stored preferences); a window built alone, as in tests, shows its initial settings.
        theWindow->Event_Open();
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
}

KelvoBridge::~KelvoBridge()
{
    // The base class deletes the children after this body: the key label's last events must
    // not reach a window that is half gone.
    if (QLabel *key = connectionKey())
        key->removeEventFilter(this);
    // The menu bar is shared and outlives the window: hand it back before the children go.
    if (auto *bar = qobject_cast<MainMenuBar *>(menuWidget()))
        bar->setParent(nullptr);
}

void KelvoBridge::Layout()
{
    // The one shared menu bar, before the window settings; the destructor gives it back.
    setMenuBar(MainMenuBar::instance());
    setWindowTitle(QStringLiteral("Kelvo Connect"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    // The window takes the size of its content (and of a menu bar where it has one) and keeps it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void KelvoBridge::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
}

void KelvoBridge::_CreateControls0()
{
    createControls(1, lastOfFirstBatch);
    applyTabOrder(*this);
}

void KelvoBridge::_CreateControls1()
{
    createControls(lastOfFirstBatch + 1, std::end(controlTable)[-1].number);
}

// Each control is kept as soon as it exists: later ones are placed through earlier ones
// (the pages of bridgeUI, GroupBox1).
void KelvoBridge::createControls(int firstNumber, int lastNumber)
{
    for (const ControlSettings &settings : controlTable)
        if (settings.number >= firstNumber && settings.number <= lastNumber)
            keepControl(createControl(*this, settings));
}

void KelvoBridge::keepControl(QObject *control)
{
    const QString name = control->objectName();
    const auto keep = [&](auto &slot, QLatin1StringView controlName) {
        using Control = std::remove_pointer_t<decltype(slot.data())>;
        if (name == controlName)
            slot = qobject_cast<Control *>(control);
    };
    keep(kelvoserial_, QLatin1StringView("kelvoserial"));
    keep(kelvoconnect_, QLatin1StringView("kelvoconnect"));
    keep(ping_, QLatin1StringView("ping"));
    keep(bridgeUI_, QLatin1StringView("bridgeUI"));
    keep(connectButton_, QLatin1StringView("connectButton"));
    keep(portselector_, QLatin1StringView("portselector"));
    keep(serverinfo_, QLatin1StringView("serverinfo"));
    keep(infoLabel_, QLatin1StringView("infoLabel"));
    keep(savePrefs_, QLatin1StringView("savePrefs"));
    keep(prefsIntro_, QLatin1StringView("prefsIntro"));
    keep(blockPower_, QLatin1StringView("blockPower"));
    keep(blockProgram_, QLatin1StringView("blockProgram"));
    keep(limitA_, QLatin1StringView("limitA"));
    keep(maxA_, QLatin1StringView("maxA"));
    keep(limitB_, QLatin1StringView("limitB"));
    keep(maxB_, QLatin1StringView("maxB"));
    keep(prefsNotes_, QLatin1StringView("prefsNotes"));
    keep(GroupBox1_, QLatin1StringView("GroupBox1"));
    if (name == QLatin1StringView("monitor10")) {
        const qint64 index = control->property(monitorIndexProperty).toLongLong();
        if (index >= 0 && index < qint64(monitor10_.size()))
            monitor10_[size_t(index)] = qobject_cast<QRadioButton *>(control);
    }
    keep(batteryIcon_, QLatin1StringView("batteryIcon"));
    keep(version_, QLatin1StringView("version"));
    keep(exitPrefs_, QLatin1StringView("exitPrefs"));
    keep(stopButton_, QLatin1StringView("stopButton"));
    keep(connectionKey_, QLatin1StringView("connectionKey"));
    keep(Line1_, QLatin1StringView("Line1"));
    keep(slaveTimeout_, QLatin1StringView("slaveTimeout"));
    keep(timeoutMinutes_, QLatin1StringView("timeoutMinutes"));
    keep(fadetimer_, QLatin1StringView("fadetimer"));
    keep(probe_, QLatin1StringView("probe"));
    keep(probeTimer_, QLatin1StringView("probeTimer"));
}

void KelvoBridge::bindEvents()
{
    platform::SerialPort *serial = kelvoserial();
    connect(serial, &platform::SerialPort::dataAvailable, this, &KelvoBridge::kelvoserial_DataAvailable);
    connect(serial, &platform::SerialPort::error, this, &KelvoBridge::kelvoserial_Error);
    platform::TlsSocket *relay = kelvoconnect();
    connect(relay, &platform::TlsSocket::connected, this, &KelvoBridge::kelvoconnect_Connected);
    connect(relay, &platform::TlsSocket::dataAvailable, this, &KelvoBridge::kelvoconnect_DataAvailable);
    connect(relay, &platform::TlsSocket::error, this, &KelvoBridge::kelvoconnect_Error);
    connect(ping(), &platform::Timer::action, this, &KelvoBridge::ping_Action);
    connect(connectButton(), &QPushButton::clicked, this, &KelvoBridge::connectButton_Action);
    connect(savePrefs(), &QPushButton::clicked, this, &KelvoBridge::savePrefs_Action);

    // One exclusive set; only a choice made by the user (a click or the arrow keys) runs the
    // handler, so selecting a member from code does not.
    auto *monitorSet = new QButtonGroup(this);
    monitorSet->setExclusive(true);
    for (qint64 index = 0; index <= 2; ++index)
        monitorSet->addButton(monitor10(index), static_cast<int>(index));
    connect(monitorSet, &QButtonGroup::idClicked, this,
            [this](int index) { monitor10_Action(index); });

    connect(exitPrefs(), &QPushButton::clicked, this, &KelvoBridge::exitPrefs_Action);
    connect(stopButton(), &QPushButton::clicked, this, &KelvoBridge::stopButton_Action);
    connectionKey()->installEventFilter(this);
    connect(fadetimer(), &platform::Timer::action, this, &KelvoBridge::fadetimer_Action);
    platform::SerialPort *scanPort = probe();
    connect(scanPort, &platform::SerialPort::dataAvailable, this, &KelvoBridge::probe_DataAvailable);
    connect(scanPort, &platform::SerialPort::error, this, &KelvoBridge::probe_Error);
    connect(probeTimer(), &platform::Timer::action, this, &KelvoBridge::probeTimer_Action);
    connect(&logwindow::notices(), &LogWindowNotices::closed, this, &KelvoBridge::logWindowClosed);
}

bool KelvoBridge::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::MouseButtonPress
        || event->type() == QEvent::MouseButtonDblClick;
    if (press && watched == connectionKey()) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        return connectionKey_MouseDown(at.x(), at.y());
    }
    return QMainWindow::eventFilter(watched, event);
}

void KelvoBridge::closeEvent(QCloseEvent *event)
{
    Event_Close();
    QMainWindow::closeEvent(event);
}

platform::SerialPort *KelvoBridge::kelvoserial() const { return kelvoserial_; }
platform::TlsSocket *KelvoBridge::kelvoconnect() const { return kelvoconnect_; }
platform::Timer *KelvoBridge::ping() const { return ping_; }
QStackedWidget *KelvoBridge::bridgeUI() const { return bridgeUI_; }
QPushButton *KelvoBridge::connectButton() const { return connectButton_; }
QComboBox *KelvoBridge::portselector() const { return portselector_; }
QLabel *KelvoBridge::serverinfo() const { return serverinfo_; }
QLabel *KelvoBridge::infoLabel() const { return infoLabel_; }
QPushButton *KelvoBridge::savePrefs() const { return savePrefs_; }
QLabel *KelvoBridge::prefsIntro() const { return prefsIntro_; }
QCheckBox *KelvoBridge::blockPower() const { return blockPower_; }
QCheckBox *KelvoBridge::blockProgram() const { return blockProgram_; }
QCheckBox *KelvoBridge::limitA() const { return limitA_; }
QLineEdit *KelvoBridge::maxA() const { return maxA_; }
QCheckBox *KelvoBridge::limitB() const { return limitB_; }
QLineEdit *KelvoBridge::maxB() const { return maxB_; }
QLabel *KelvoBridge::prefsNotes() const { return prefsNotes_; }
QGroupBox *KelvoBridge::GroupBox1() const { return GroupBox1_; }

QRadioButton *KelvoBridge::monitor10(qint64 index) const
{
    if (index < 0 || index >= qint64(monitor10_.size()))
        return nullptr;
    return monitor10_[size_t(index)];
}

QLabel *KelvoBridge::batteryIcon() const { return batteryIcon_; }
QLabel *KelvoBridge::version() const { return version_; }
QPushButton *KelvoBridge::exitPrefs() const { return exitPrefs_; }
QPushButton *KelvoBridge::stopButton() const { return stopButton_; }
QLabel *KelvoBridge::connectionKey() const { return connectionKey_; }
QFrame *KelvoBridge::Line1() const { return Line1_; }
QCheckBox *KelvoBridge::slaveTimeout() const { return slaveTimeout_; }
QLineEdit *KelvoBridge::timeoutMinutes() const { return timeoutMinutes_; }
platform::Timer *KelvoBridge::fadetimer() const { return fadetimer_; }
platform::SerialPort *KelvoBridge::probe() const { return probe_; }
platform::Timer *KelvoBridge::probeTimer() const { return probeTimer_; }
