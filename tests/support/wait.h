#pragma once
// Waiting in tests: the event loop runs until a condition holds. Client and server share the
// test's thread, so a wait must keep both turning, never block one of them.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace test {

// Runs the event loop one pass at a time until the condition holds, so a state that lasts
// only a few passes is seen; false when the time runs out. Sleeps while nothing happens.
template <typename Condition>
bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the wait below now and then, so the deadline is seen with no event coming.
    QTimer wake;
    wake.start(2);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Outside a running event loop, objects deleted later would wait for the end.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace test
