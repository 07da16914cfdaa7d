#pragma once
// A temporary preferences home, scripted services and clean windows for tests of the
// application object; helpers that run the real event loop until the quit road ends it.

#include "platform/desktop.h"
#include "shell/about_window.h"
#include "shell/app.h"
#include "shell/log_window.h"
#include "support/preferences_test_home.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <functional>

// Scripted services whose quit request also does what the production one does: end the event
// loop once control is back in it.
class LoopServices : public ScriptedServices {
public:
    void quit(int exitStatus) override
    {
        ScriptedServices::quit(exitStatus);
        kelvo::platform::Desktop::quit(exitStatus);
    }
};

class AppTest : public PreferencesTestHome {
protected:
    void TearDown() override
    {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PreferencesTestHome::TearDown();
    }

    // Runs the event loop (with `action` queued in it) the way the program does, guarded so
    // that a road that fails to end the loop fails the test instead of hanging it.
    static int runLoop(App &app, const std::function<void()> &action)
    {
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(99);
        });
        guard.start(10'000);
        if (action)
            QTimer::singleShot(0, action);
        const int status = app.runEventLoop();
        EXPECT_FALSE(timedOut) << "the quit road did not end the event loop";
        return status;
    }

    // Makes the next save fail: a folder where the file should be.
    void blockTheFile() const { ASSERT_TRUE(QDir().mkpath(filePath())); }

    [[nodiscard]] static int boxesWithText(const ScriptedServices &services, const QString &text)
    {
        int count = 0;
        for (const auto &box : services.boxes)
            count += box.text == text ? 1 : 0;
        return count;
    }
};
