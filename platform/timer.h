#pragma once
// A timer with a period, a mode (0 off, 1 single, 2 multiple) and an enabled flag, over QTimer.
// Created with mode 0 and enabled, so setting mode 1 or 2 alone starts it; setting mode 1 or 2
// restarts the period from that moment. Enabled false stops the firing and keeps the mode;
// true lets it fire again in its mode, one period later. A single shot fires once per setting
// of mode 1. The timer driver in force runs the shots in time (platform/timer_driver.h).

#include <QObject>

class QTimer;

namespace kelvo::platform {

class Timer : public QObject {
    Q_OBJECT
public:
    enum Mode : int { modeOff = 0, modeSingle = 1, modeMultiple = 2 };

    explicit Timer(int periodMs, QObject *parent = nullptr);

    [[nodiscard]] int Period() const { return period_; }
    [[nodiscard]] int Mode() const { return mode_; }
    // Any value but 1 or 2 means off.
    void setMode(int mode);
    [[nodiscard]] bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // True while a shot is due: mode 1 or 2, enabled, and a single shot not yet fired.
    [[nodiscard]] bool isArmed() const;
    // Runs one shot now, as if the period had passed, when one is due (tests drive timers
    // through it).
    void fire();

signals:
    void action();

private:
    void restart();

    QTimer *timer_;
    int period_;
    int mode_ = modeOff;
    bool enabled_ = true;
    bool singleFired_ = false;
};

} // namespace kelvo::platform
