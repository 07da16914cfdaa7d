#include "window/kelvo_bridge.h"

#include "shell/log_window.h"

void KelvoBridge::log(QLatin1StringView tag, const QString &text) const
{
    logIfOn(logging, QString(tag), text);
}
