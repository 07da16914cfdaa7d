#pragma once
// The desktop session the program runs in: clipboard, tooltip, pointer, web browser and the
// application's end. Production is plain Qt; a test installs a desktop of its own that records
// what it was asked to do.

#include <QPoint>
#include <QString>
#include <QUrl>

namespace kelvo::platform {

class Desktop {
public:
    virtual ~Desktop();

    virtual void setClipboardText(const QString &text);
    // Shows a tooltip at a screen position for about two seconds, then hides it. Asked for
    // while a mouse button is held, it shows once the button is released.
    virtual void showTooltip(const QPoint &screenPosition, const QString &text);
    [[nodiscard]] virtual QPoint pointerPosition() const;
    virtual void openUrl(const QUrl &address);
    // Asks the application to quit once control is back in the event loop.
    virtual void quit(int exitStatus);
};

// The desktop in force: Qt's unless another is installed.
Desktop &desktop();
// Installs a replacement desktop (not owned), or restores Qt's with nullptr.
void setDesktop(Desktop *replacement);

} // namespace kelvo::platform
