// Timer modes and the enabled flag: by hand with fire(), and once with real QTimers.

#include "platform/timer.h"
#include "support/scripted_services.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

using platform::Timer;

TEST(TimerManual, ModesAndEnabledFlag)
{
    ScriptedServices scripted;
    Timer timer(5000);
    QSignalSpy shots(&timer, &Timer::action);
    EXPECT_EQ(timer.Period(), 5000);
    EXPECT_EQ(timer.Mode(), 0);
    EXPECT_TRUE(timer.Enabled());
    timer.fire();
    EXPECT_EQ(shots.count(), 0) << "mode 0 never fires";

    timer.setMode(Timer::modeSingle); // mode alone starts a new timer
    timer.fire();
    timer.fire();
    EXPECT_EQ(shots.count(), 1) << "single fires once";
    EXPECT_EQ(timer.Mode(), 1);
    timer.setMode(Timer::modeSingle); // each setting gives one more shot
    timer.fire();
    timer.fire();
    EXPECT_EQ(shots.count(), 2);

    shots.clear();
    timer.setMode(Timer::modeMultiple);
    timer.fire();
    timer.fire();
    EXPECT_EQ(shots.count(), 2);
    timer.setEnabled(false);
    timer.fire();
    EXPECT_EQ(shots.count(), 2) << "disabled never fires";
    EXPECT_EQ(timer.Mode(), 2) << "disabling keeps the mode";
    timer.setEnabled(true);
    timer.fire();
    EXPECT_EQ(shots.count(), 3);

    timer.setMode(Timer::modeOff);
    EXPECT_FALSE(timer.isArmed());
    timer.setMode(7);
    EXPECT_EQ(timer.Mode(), 0);
    EXPECT_FALSE(timer.isArmed());
}

TEST(TimerManual, SingleShotMayRearmItselfInItsHandler)
{
    ScriptedServices scripted;
    Timer timer(200);
    int shots = 0;
    QObject::connect(&timer, &Timer::action, &timer, [&] {
        if (++shots == 1)
            timer.setMode(Timer::modeSingle);
    });
    timer.setMode(Timer::modeSingle);
    timer.fire();
    timer.fire();
    timer.fire();
    EXPECT_EQ(shots, 2);
}

TEST(TimerRealTime, PeriodsModesAndEnabled)
{
    ScriptedServices scripted;
    scripted.realTimers = true;

    Timer single(30);
    QSignalSpy singleShots(&single, &Timer::action);
    single.setMode(Timer::modeSingle);
    QTest::qWait(200);
    EXPECT_EQ(singleShots.count(), 1);

    Timer multiple(30);
    QSignalSpy multipleShots(&multiple, &Timer::action);
    multiple.setMode(Timer::modeMultiple);
    QTest::qWait(200);
    EXPECT_GE(multipleShots.count(), 3);
    multiple.setEnabled(false);
    QTest::qWait(10);
    multipleShots.clear();
    QTest::qWait(150);
    EXPECT_EQ(multipleShots.count(), 0);
    multiple.setEnabled(true);
    QTest::qWait(200);
    EXPECT_GE(multipleShots.count(), 2);

    // Setting the mode restarts the period: a timer set again before it is due stays quiet.
    Timer restarted(150);
    QSignalSpy restartedShots(&restarted, &Timer::action);
    restarted.setMode(Timer::modeSingle);
    QTest::qWait(100);
    restarted.setMode(Timer::modeSingle);
    QTest::qWait(100);
    EXPECT_EQ(restartedShots.count(), 0);
    EXPECT_TRUE(restartedShots.wait(500));
    QTest::qWait(200);
    EXPECT_EQ(restartedShots.count(), 1);
}

TEST(TimerRealTime, ManualModeNeverStartsRealTimers)
{
    ScriptedServices scripted;
    Timer timer(10);
    QSignalSpy shots(&timer, &Timer::action);
    timer.setMode(Timer::modeMultiple);
    QTest::qWait(100);
    EXPECT_EQ(shots.count(), 0);
}

} // namespace
