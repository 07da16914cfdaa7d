// The application object's open event and start-up: the no-serial-port warning, and the store
// made, loaded or given its defaults before the main window is built.

#include "app_test_fixture.h"

#include "build_settings.h"
#include "platform/dialogs.h"
#include "shell/main_menu_bar.h"
#include "shell/preferences_module.h"

#include <QFileInfo>

using namespace kelvo;

namespace {

using PreferencesModule::Preferences;

const QByteArray defaultsText = QByteArrayLiteral("limitA,limitB,power,program,maxA,maxB,monitor,serial,timeoutMinutes,slaveTimeout");

QByteArray keysInOrder()
{
    QByteArrayList keys;
    for (const auto &member : Preferences()->values().members())
        keys << member.key;
    return keys.join(',');
}

TEST_F(AppTest, NoSerialPortWarnsOnceRequestsTheQuitAndStillMakesTheStore)
{
    ScriptedServices services; // no ports
    services.onBox = [&](const ScriptedServices::ShownBox &) {
        EXPECT_TRUE(services.quitRequests.isEmpty()) << "the quit is requested after the box";
    };
    App app;
    app.Event_Open();

    ASSERT_EQ(services.boxes.size(), 1u);
    const auto &box = services.boxes.front();
    EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
    EXPECT_EQ(box.text, QStringLiteral(
        "No serial ports found. Have you plugged in the Brevant cable, and installed any "
        "drivers? Check your connections and restart Kelvo Connect"));
    EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
    EXPECT_TRUE(box.title.isEmpty());
    EXPECT_EQ(services.quitRequests, QList<int>{0});
    ASSERT_NE(Preferences(), nullptr);
    EXPECT_EQ(Preferences()->preferencesFile(), filePath());
    EXPECT_EQ(keysInOrder(), defaultsText);
}

TEST_F(AppTest, FirstRunHoldsTheTenDefaultsInMemoryAndWritesNoFile)
{
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();

    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(services.quitRequests.isEmpty());
    EXPECT_EQ(keysInOrder(), defaultsText);
    const auto &prefs = *Preferences();
    for (const char *key : {"limitA", "limitB", "power", "program", "slaveTimeout"})
        EXPECT_EQ(prefs.Get(QString::fromLatin1(key)), JsonValue(false)) << key;
    EXPECT_EQ(prefs.Get(QStringLiteral("maxA")), JsonValue("100"));
    EXPECT_EQ(prefs.Get(QStringLiteral("maxB")), JsonValue("100"));
    EXPECT_EQ(prefs.Get(QStringLiteral("monitor")), JsonValue(qint64{1}));
    EXPECT_EQ(prefs.Get(QStringLiteral("monitor")).type(), JsonValue::Type::Int64);
    EXPECT_EQ(prefs.Get(QStringLiteral("serial")), JsonValue(""));
    EXPECT_EQ(prefs.Get(QStringLiteral("timeoutMinutes")), JsonValue(""));
    EXPECT_FALSE(QFileInfo::exists(filePath()));
}

TEST_F(AppTest, AFileThatLoadsIsUsedAsItIsEvenWithKeysMissing)
{
    writeFile("{\"power\": true, \"maxA\": \"42\"}");
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();

    EXPECT_EQ(keysInOrder(), QByteArray("power,maxA"));
    EXPECT_EQ(Preferences()->Get(QStringLiteral("power")), JsonValue(true));
    EXPECT_THROW((void)Preferences()->Get(QStringLiteral("limitA")), PreferencesModule::PreferenceNotFoundException);
}

TEST_F(AppTest, AFileThatIsNotJsonStaysUntilTheSaveAtQuitReplacesIt)
{
    const QByteArray garbage("this is not { json");
    writeFile(garbage);
    LoopServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.startUp();
    EXPECT_EQ(readFile(), garbage);
    EXPECT_EQ(keysInOrder(), defaultsText);
    // What the run changes goes to the file with the defaults.
    Preferences()->Set(QStringLiteral("serial"), QStringLiteral("ttyUSB7"));

    EXPECT_EQ(runLoop(app, [] { App::instance()->quitRoad(); }), 0);

    const QByteArray written = readFile();
    EXPECT_NE(written, garbage);
    EXPECT_TRUE(written.contains("\"maxA\"")) << written.constData();
    EXPECT_TRUE(written.contains("\"slaveTimeout\"")) << written.constData();
    EXPECT_TRUE(written.contains("\"serial\":\"ttyUSB7\"")) << written.constData();
}

// The main window is built only once the store is ready, so its open event finds the keys.
TEST_F(AppTest, StartUpBuildsTheMainWindowAfterTheStore)
{
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    ASSERT_EQ(KelvoBridge::openInstance(), nullptr);
    App app;
    app.startUp();
    ASSERT_NE(KelvoBridge::openInstance(), nullptr);
    EXPECT_TRUE(KelvoBridge::openInstance()->isVisible());
    // The one menu bar, built with the application object, is the window's.
    EXPECT_EQ(KelvoBridge::openInstance()->menuWidget(), MainMenuBar::instance());
    EXPECT_NE(Preferences(), nullptr);
    EXPECT_EQ(App::instance(), &app);
}

TEST_F(AppTest, AStartUpWithAFileLackingKeysOpensTheWindow)
{
    writeFile("{\"serial\": \"ttyFAKE0\"}");
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    EXPECT_NO_THROW(app.startUp());
    ASSERT_NE(KelvoBridge::openInstance(), nullptr);
    EXPECT_TRUE(KelvoBridge::openInstance()->isVisible());
}

// A title left empty, as the message boxes' are, shows the program's name.
TEST_F(AppTest, TheProgramsNameStandsForEmptyTitles)
{
    ScriptedServices services;
    App app;
    EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString(), "Kelvo Connect");
}

TEST_F(AppTest, VersionNumbersComeFromTheBuild)
{
    ScriptedServices services;
    App app;
    EXPECT_EQ(app.MajorVersion(), buildSettings::majorVersion);
    EXPECT_EQ(app.MinorVersion(), buildSettings::minorVersion);
    EXPECT_EQ(app.BugVersion(), buildSettings::bugVersion);
    EXPECT_EQ(app.NonReleaseVersion(), buildSettings::buildNumber);
}

} // namespace
