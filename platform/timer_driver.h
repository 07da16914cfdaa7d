#pragma once
// What runs a Timer's shots in time. Production runs them on the timer's QTimer; a test
// installs a driver that starts nothing, so shots come only from Timer::fire().

class QTimer;

namespace kelvo::platform {

class TimerDriver {
public:
    virtual ~TimerDriver();

    // Starts the timer's shots, the first one period from now: one, or one every period.
    virtual void start(QTimer &timer, int periodMs, bool single);
};

// The driver in force: real time unless another is installed.
TimerDriver &timerDriver();
// Installs a replacement driver (not owned), or restores real time with nullptr.
void setTimerDriver(TimerDriver *replacement);

} // namespace kelvo::platform
