#include "platform/desktop.h"

#include "platform/installed.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QTimer>
#include <QToolTip>

namespace kelvo::platform {

namespace {

// How long a tooltip that confirms an action stays.
constexpr int tooltipShowMs = 2000;

void showTooltipNow(const QPoint &screenPosition, const QString &text)
{
    QToolTip::showText(screenPosition, text, nullptr, QRect(), tooltipShowMs);
}

// A tooltip hides at the next mouse release. One asked for while a button is held (from a
// press handler) waits for the release and then shows, so the user sees it.
class TooltipAfterRelease : public QObject {
public:
    TooltipAfterRelease(const QPoint &screenPosition, const QString &text)
        : QObject(qApp), position_(screenPosition), text_(text)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease
            && QGuiApplication::mouseButtons() == Qt::NoButton && !released_) {
            released_ = true;
            // After the release has been handled everywhere, or the tooltip would see it too.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    showTooltipNow(position_, text_);
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QPoint position_;
    QString text_;
    bool released_ = false;
};

} // namespace

Desktop::~Desktop() = default;

void Desktop::setClipboardText(const QString &text)
{
    QApplication::clipboard()->setText(text);
}

void Desktop::showTooltip(const QPoint &screenPosition, const QString &text)
{
    if (QGuiApplication::mouseButtons() == Qt::NoButton)
        showTooltipNow(screenPosition, text);
    else
        new TooltipAfterRelease(screenPosition, text); // owned by the application; goes once shown
}

QPoint Desktop::pointerPosition() const
{
    return QCursor::pos();
}

void Desktop::openUrl(const QUrl &address)
{
    QDesktopServices::openUrl(address);
}

void Desktop::quit(int exitStatus)
{
    // Queued, so the caller's handler finishes before the event loop ends.
    QTimer::singleShot(0, qApp, [exitStatus] { QCoreApplication::exit(exitStatus); });
}

Desktop &desktop() { return Installed<Desktop>::get(); }

void setDesktop(Desktop *replacement) { Installed<Desktop>::set(replacement); }

} // namespace kelvo::platform
