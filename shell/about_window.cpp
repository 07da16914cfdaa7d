#include "shell/about_window.h"

#include "build_settings.h"
#include "platform/desktop.h"
#include "shell/app.h"
#include "window/control_fonts.h"

#include <QColor>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QUrl>

using namespace kelvo;

namespace {

QPointer<about> theAboutWindow;

struct LabelSettings {
    const char *name;
    QRect geometry;
    bool multiline;
    bool bold;
    Qt::Alignment alignment;
    QColor colour;
    QString text;
};

QLabel *createLabel(QWidget &window, const LabelSettings &settings)
{
    auto *label = new QLabel(&window);
    label->setObjectName(QString::fromLatin1(settings.name));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setGeometry(settings.geometry);
    label->setWordWrap(settings.multiline);
    label->setAlignment(settings.alignment | Qt::AlignVCenter);
    label->setFont(controlFonts::controlFont(label->font(), controlFonts::standardPixelSize,
                                             settings.bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, settings.colour);
    label->setPalette(palette);
    label->setText(settings.text);
    return label;
}

} // namespace

QString versionLine(qint64 major, qint64 minor, qint64 bug, qint64 build)
{
    return QStringLiteral("Version: ") + QString::number(major) + QLatin1Char('.')
        + QString::number(minor) + QLatin1Char('.') + QString::number(bug)
        + QStringLiteral(" (build ") + QString::number(build) + QLatin1Char(')');
}

about *about::instance()
{
    if (!theAboutWindow) {
        theAboutWindow = new about; // owns itself: deleted when it closes
        theAboutWindow->show();
        theAboutWindow->Event_Open();
    }
    return theAboutWindow;
}

about *about::openInstance()
{
    return theAboutWindow;
}

about::about(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
}

about::~about()
{
    if (theAboutWindow == this)
        theAboutWindow = nullptr;
}

void about::Layout()
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("About Kelvo Connect"));
    // Only a close button: no resizing, minimising, maximising or full screen.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(320, 120);
}

void about::CreateControls()
{
    _CreateControls0();
}

void about::_CreateControls0()
{
    const QColor black(0x00, 0x00, 0x00);
    const QColor blue(0x00, 0x00, 0xFF);
    const LabelSettings labels[] = {
        {"Label1", QRect(20, 20, 280, 31), true, false, Qt::AlignLeft, black,
         QStringLiteral("Kelvo Connect is made by Kelvo.")},
        {"version", QRect(20, 50, 280, 20), false, false, Qt::AlignLeft, black,
         QStringLiteral("Untitled")},
        {"url", QRect(20, 82, 280, 20), false, true, Qt::AlignHCenter, blue,
         QString::fromLatin1(buildSettings::relayHost)},
    };
    QWidget *previous = nullptr;
    for (const LabelSettings &settings : labels) {
        QLabel *label = createLabel(*this, settings);
        if (previous)
            setTabOrder(previous, label);
        previous = label;
    }
    url()->setCursor(Qt::PointingHandCursor);
    url()->installEventFilter(this);
}

bool about::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == url() && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        return url_MouseDown(at.x(), at.y());
    }
    return QWidget::eventFilter(watched, event);
}

QLabel *about::Label1() const { return findChild<QLabel *>(QStringLiteral("Label1")); }
QLabel *about::version() const { return findChild<QLabel *>(QStringLiteral("version")); }
QLabel *about::url() const { return findChild<QLabel *>(QStringLiteral("url")); }

bool about::url_MouseDown(int, int)
{
    platform::desktop().openUrl(QUrl(QString::fromLatin1(buildSettings::makerUrl)));
    return false;
}

void about::Event_Open()
{
    // Read from the application object at the moment they are needed; without one (a window
    // built on its own) the build's own numbers stand.
    const App *app = App::instance();
    version()->setText(versionLine(app ? app->MajorVersion() : buildSettings::majorVersion,
                                   app ? app->MinorVersion() : buildSettings::minorVersion,
                                   app ? app->BugVersion() : buildSettings::bugVersion,
                                   app ? app->NonReleaseVersion() : buildSettings::buildNumber));
}
