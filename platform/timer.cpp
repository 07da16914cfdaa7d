#include "platform/timer.h"

#include "platform/timer_driver.h"

#include <QTimer>

namespace kelvo::platform {

Timer::Timer(int periodMs, QObject *parent)
    : QObject(parent), timer_(new QTimer(this)), period_(periodMs)
{
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &Timer::fire);
}

void Timer::setMode(int mode)
{
    mode_ = (mode == modeSingle || mode == modeMultiple) ? mode : modeOff;
    singleFired_ = false;
    restart();
}

void Timer::setEnabled(bool enabled)
{
    // Enabling a running timer again keeps its rhythm.
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    restart();
}

bool Timer::isArmed() const
{
    if (!enabled_)
        return false;
    return mode_ == modeMultiple || (mode_ == modeSingle && !singleFired_);
}

void Timer::fire()
{
    // A stopped timer never fires, whoever asks.
    if (!isArmed())
        return;
    if (mode_ == modeSingle) {
        singleFired_ = true;
        timer_->stop();
    }
    emit action();
}

void Timer::restart()
{
    timer_->stop();
    if (isArmed())
        timerDriver().start(*timer_, period_, mode_ == modeSingle);
}

} // namespace kelvo::platform
