#include "platform/timer_driver.h"

#include "platform/installed.h"

#include <QTimer>

namespace kelvo::platform {

TimerDriver::~TimerDriver() = default;

void TimerDriver::start(QTimer &timer, int periodMs, bool single)
{
    timer.setSingleShot(single);
    timer.start(periodMs);
}

TimerDriver &timerDriver() { return Installed<TimerDriver>::get(); }

void setTimerDriver(TimerDriver *replacement) { Installed<TimerDriver>::set(replacement); }

} // namespace kelvo::platform
