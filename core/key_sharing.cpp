// Sharing the connection key as a web address on the clipboard.

#include "window/kelvo_bridge.h"

#include "platform/desktop.h"

#include <QLabel>

using namespace kelvo;

namespace {

// On the relay's own site: the host the relay connection uses.
[[nodiscard]] QString keyLink(const QString &relayHost, const QString &key)
{
    return QStringLiteral("https://") + relayHost + QStringLiteral("/connect/?") + key;
}

} // namespace

bool KelvoBridge::connectionKey_MouseDown(int, int)
{
    const QString key = connectionKey()->text();
    if (key.isEmpty())
        return true;
    platform::Desktop &desktop = platform::desktop();
    desktop.setClipboardText(keyLink(relaySettings.host, key));
    // Below the pointer, where the press was, whatever point of the label it hit.
    const QPoint pointer = desktop.pointerPosition();
    desktop.showTooltip(QPoint(pointer.x(), pointer.y() + 20),
                        QStringLiteral("Key copied to the clipboad"));
    return true;
}

bool KelvoBridge::_EditCopy_Action()
{
    const QString key = connectionKey()->text();
    if (!key.isEmpty())
        platform::desktop().setClipboardText(keyLink(relaySettings.host, key));
    return true;
}
