#include "platform/timer_driver.h"

#include <QTimer>

namespace kelvo::platform {

namespace {

TimerDriver *replacementDriver = nullptr;

} // namespace

TimerDriver::~TimerDriver() = default;

void TimerDriver::start(QTimer &timer, int periodMs, bool single)
{
    timer.setSingleShot(single);
    timer.start(periodMs);
}

TimerDriver &timerDriver()
{
    static TimerDriver realTime;
    return replacementDriver ? *replacementDriver : realTime;
}

void setTimerDriver(TimerDriver *replacement)
{
    replacementDriver = replacement;
}

} // namespace kelvo::platform
