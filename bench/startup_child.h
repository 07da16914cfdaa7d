#pragma once
// What both start-up children share: once the window is shown and the event loop is about to
// wait with nothing left to do, print the time since the benchmark spawned this process and
// hand over to `finish`. The spawn time comes from the benchmark in KELVO_BENCH_SPAWN_NS
// (CLOCK_MONOTONIC nanoseconds), so the figure includes loading the program and its libraries.

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <QtGlobal>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace benchChild {

inline qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64 {now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

inline void reportWhenIdle(QWidget *window, std::function<void()> finish)
{
    bool given = false;
    const qint64 fromSpawn = qgetenv("KELVO_BENCH_SPAWN_NS").toLongLong(&given);
    const qint64 spawned = given ? fromSpawn : monotonicNs();
    auto *dispatcher = QThread::currentThread()->eventDispatcher();
    auto connection = std::make_shared<QMetaObject::Connection>();
    QPointer<QWidget> watched(window);
    *connection = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher,
                                   [=] {
        if (!watched || !watched->windowHandle() || !watched->windowHandle()->isExposed())
            return;
        QObject::disconnect(*connection);
        std::printf("idle_ms=%.3f\n", double(monotonicNs() - spawned) / 1e6);
        std::fflush(stdout);
        finish();
    });
}

} // namespace benchChild
