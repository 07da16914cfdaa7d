// Every way of quitting takes one road: the cancel-close event saves and ends the loop once,
// the close event saves once more after it; the main window's own close saves nothing.

#include "app_test_fixture.h"

#include "platform/dialogs.h"
#include "shell/main_menu_bar.h"

#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QTest>
#include <QThread>

using namespace kelvo;

namespace {

enum class Road { quitItem, quitShortcut, closeMainWindow, applicationQuit, noSerialPort };

struct RoadCase {
    const char *name;
    Road road;
    // The no-port request asks the platform to end the loop directly; the cancel-close event
    // then runs once the loop has ended, still before the close event.
    bool cancelCloseWhileLoopRuns;
};

void startQuitting(Road road)
{
    switch (road) {
    case Road::quitItem:
        MainMenuBar::instance()->findChild<QAction *>(QStringLiteral("FileQuit"))->trigger();
        break;
    case Road::quitShortcut: {
        KelvoBridge *window = KelvoBridge::openInstance();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+Q")));
        break;
    }
    case Road::closeMainWindow:
        KelvoBridge::openInstance()->close();
        break;
    case Road::applicationQuit:
        QCoreApplication::quit();
        break;
    case Road::noSerialPort:
        break; // the open event has asked for it already
    }
}

class QuitRoadTest : public AppTest, public ::testing::WithParamInterface<RoadCase> {
protected:
    void startProgram(LoopServices &services, App &app) const
    {
        if (GetParam().road != Road::noSerialPort)
            services.ports = {QStringLiteral("ttyFAKE0")};
        app.startUp();
    }
};

TEST_P(QuitRoadTest, SavesAtCancelCloseAndAtCloseAndEndsTheProgram)
{
    LoopServices services;
    App app;
    startProgram(services, app);
    ASSERT_FALSE(QFileInfo::exists(filePath()));

    EXPECT_EQ(runLoop(app, [] { startQuitting(GetParam().road); }), 0);

    EXPECT_TRUE(QFileInfo::exists(filePath()));
    EXPECT_TRUE(readFile().contains("\"monitor\":1")) << readFile().constData();
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 0);
    EXPECT_EQ(services.quitRequests, QList<int>{0});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(KelvoBridge::openInstance(), nullptr);
}

// A failing save is reported once by each event: first while the event loop still runs, then
// after it has ended; the program ends all the same.
TEST_P(QuitRoadTest, AFailingSaveShowsOneBoxFromEachEventAndStillEnds)
{
    blockTheFile();
    LoopServices services;
    App app;
    startProgram(services, app);
    std::vector<bool> loopRunningAtBox;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        if (box.text == couldNotSaveMessage())
            loopRunningAtBox.push_back(QThread::currentThread()->loopLevel() > 0);
    };

    EXPECT_EQ(runLoop(app, [] { startQuitting(GetParam().road); }), 0);

    EXPECT_EQ(loopRunningAtBox, (std::vector<bool>{GetParam().cancelCloseWhileLoopRuns, false}));
    for (const auto &box : services.boxes)
        if (box.text == couldNotSaveMessage()) {
            EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
            EXPECT_TRUE(box.title.isEmpty());
        }
    EXPECT_EQ(services.quitRequests, QList<int>{0});
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, QuitRoadTest,
                         ::testing::Values(RoadCase{"QuitItem", Road::quitItem, true},
                                           RoadCase{"QuitShortcut", Road::quitShortcut, true},
                                           RoadCase{"CloseMainWindow", Road::closeMainWindow, true},
                                           RoadCase{"ApplicationQuit", Road::applicationQuit, true},
                                           RoadCase{"NoSerialPort", Road::noSerialPort, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AppTest, CancelCloseNeverCancelsAndTheRoadRunsOnce)
{
    blockTheFile();
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.startUp();

    app.quitRoad();
    app.quitRoad();
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 1);
    EXPECT_EQ(services.quitRequests, QList<int>{0});
    EXPECT_FALSE(app.Event_CancelClose());
}

TEST_F(AppTest, TheMainWindowsOwnCloseSavesNothing)
{
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();
    {
        KelvoBridge window;
        window.show();
        window.Event_Close();
    }
    EXPECT_FALSE(QFileInfo::exists(filePath()));
}

} // namespace
