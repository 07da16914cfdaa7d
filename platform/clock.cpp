#include "platform/clock.h"

#include "platform/installed.h"

#include <QLocale>

namespace kelvo::platform {

Clock::~Clock() = default;

double Clock::now() const
{
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

QString Clock::dateTimeText() const
{
    return platform::dateTimeText(QDateTime::currentDateTime());
}

QString dateTimeText(const QDateTime &moment)
{
    return QLocale::system().toString(moment, QLocale::ShortFormat);
}

Clock &clock() { return Installed<Clock>::get(); }

void setClock(Clock *replacement) { Installed<Clock>::set(replacement); }

} // namespace kelvo::platform
