#include "platform/clock.h"

#include <QLocale>

namespace kelvo::platform {

namespace {

Clock *replacementClock = nullptr;

} // namespace

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

Clock &clock()
{
    static Clock system;
    return replacementClock ? *replacementClock : system;
}

void setClock(Clock *replacement)
{
    replacementClock = replacement;
}

} // namespace kelvo::platform
