// The preferences file under faults on a real, temporary application-data folder: a save that
// cannot be written, the process killed in the middle of saves, and a damaged file at start-up.

#include "platform/dialogs.h"
#include "shell/app.h"
#include "shell/json_reader.h"
#include "shell/json_writer.h"
#include "shell/preferences_module.h"
#include "support/preferences_test_home.h"
#include "support/file_size_limit.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvo;

namespace {

using PreferencesModule::Prefs;

const QString appName = QStringLiteral("KelvoConnect");
const QStringList tenKeys = {"limitA", "limitB", "power", "program", "maxA", "maxB", "monitor",
                             "serial", "timeoutMinutes", "slaveTimeout"};

class PreferencesFaults : public PreferencesTestHome {
protected:
    void TearDown() override
    {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PreferencesTestHome::TearDown();
    }

    [[nodiscard]] static int boxesWithText(const ScriptedServices &services, const QString &text)
    {
        int count = 0;
        for (const auto &box : services.boxes)
            count += box.text == text && box.code == platform::MsgBoxCode::CautionOk ? 1 : 0;
        return count;
    }
};

// A store of about `size` bytes of text whose every entry says which version it is.
JsonObject bigStore(char version, int size)
{
    JsonObject store;
    for (int i = 0; i < 16; ++i)
        store.set("key" + QByteArray::number(i), JsonValue(QString(size / 16, QLatin1Char(version))));
    store.set("version", JsonValue(QString(QLatin1Char(version))));
    return store;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void fillStore(Prefs &prefs, const JsonObject &store)
{
    for (const JsonMember &member : store.members())
        prefs.Set(QString::fromUtf8(member.key), member.value);
}

// The quit road with a file that cannot be written: the box, and every value still in memory.
TEST_F(PreferencesFaults, AnUnwritableFileShowsTheBoxAtQuitAndLosesNothingInMemory)
{
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();
    Prefs *prefs = PreferencesModule::Preferences();
    ASSERT_NE(prefs, nullptr);
    prefs->Set(QStringLiteral("maxA"), QStringLiteral("42"));
    prefs->Set(QStringLiteral("serial"), QStringLiteral("ttyUSB7"));
    const JsonObject before = prefs->values();

    // A folder where the file should be: no file can be created there, not even by root.
    ASSERT_TRUE(QDir().mkpath(filePath()));
    EXPECT_FALSE(prefs->Save());
    EXPECT_FALSE(app.Event_CancelClose());
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 1);
    EXPECT_EQ(PreferencesModule::Preferences(), prefs);
    EXPECT_TRUE(prefs->values() == before);
    EXPECT_EQ(prefs->Get(QStringLiteral("maxA")).toText(), QStringLiteral("42"));
    EXPECT_TRUE(QFileInfo(filePath()).isDir()) << "the obstacle was replaced";

    // Once the obstacle is gone the same store saves what it held.
    ASSERT_TRUE(QDir(filePath()).removeRecursively());
    EXPECT_TRUE(prefs->Save());
    EXPECT_EQ(readFile(), writeJson(before));
}

// The preferences page's Save with a file that cannot be written: the box, the page's values
// kept in memory, and written once the file can be.
TEST_F(PreferencesFaults, ThePagesSaveOnAnUnwritableFileShowsTheBoxAndKeepsThePageInMemory)
{
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();
    KelvoBridge window;
    window.maxA()->setText(QStringLiteral("37"));
    window.limitA()->setChecked(true);
    window.timeoutMinutes()->setText(QStringLiteral("2.5"));
    ASSERT_TRUE(QDir().mkpath(filePath()));

    window.bridgeUI()->setCurrentIndex(1);
    window.savePrefs()->click();
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 1);
    const Prefs *prefs = PreferencesModule::Preferences();
    EXPECT_EQ(prefs->textOr(QStringLiteral("maxA"), {}), QStringLiteral("37"));
    EXPECT_TRUE(prefs->boolOr(QStringLiteral("limitA"), false));
    EXPECT_EQ(prefs->textOr(QStringLiteral("timeoutMinutes"), {}), QStringLiteral("2.5"));
    // The live settings stay as typed too.
    EXPECT_EQ(window.maxA()->text(), QStringLiteral("37"));
    EXPECT_TRUE(window.limitA()->isChecked());

    ASSERT_TRUE(QDir(filePath()).removeRecursively());
    window.bridgeUI()->setCurrentIndex(1);
    window.savePrefs()->click();
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 1);
    EXPECT_EQ(readFile(), writeJson(prefs->values()));
    EXPECT_TRUE(readFile().contains("\"maxA\":\"37\""));
}

// A disk that fills during the save: false, the old file untouched, memory unchanged.
TEST_F(PreferencesFaults, ASaveCutShortByAFullDiskKeepsTheOldFileByteForByte)
{
    Prefs prefs(appName);
    EXPECT_FALSE(prefs.Load());
    fillStore(prefs, bigStore('o', 4096));
    ASSERT_TRUE(prefs.Save());
    const QByteArray oldText = readFile();

    fillStore(prefs, bigStore('n', 256 * 1024));
    const JsonObject inMemory = prefs.values();
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(prefs.Save());
    }
    EXPECT_EQ(readFile(), oldText);
    EXPECT_TRUE(prefs.values() == inMemory);
    const QStringList leftovers = QDir(folder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("KelvoConnect.txt")}) << leftovers.join(u' ').toStdString();
}

// A child process saves two big stores in turn, and is killed at random moments: each time the
// file holds one of the two texts whole, and loads.
TEST_F(PreferencesFaults, KilledDuringSavesTheFileHoldsTheOldTextOrTheNewNeverAMix)
{
    const JsonObject oldStore = bigStore('o', 512 * 1024);
    const JsonObject newStore = bigStore('n', 512 * 1024);
    const QByteArray oldText = writeJson(oldStore);
    const QByteArray newText = writeJson(newStore);
    // The kills are spread over a few of the child's save cycles, however fast this build is.
    qint64 cycleUs = 0;
    {
        Prefs prefs(appName);
        EXPECT_FALSE(prefs.Load());
        QElapsedTimer cycle;
        cycle.start();
        fillStore(prefs, oldStore);
        ASSERT_TRUE(prefs.Save());
        cycleUs = cycle.nsecsElapsed() / 1000;
        ASSERT_EQ(readFile(), oldText);
    }
    const auto killWindowUs = static_cast<useconds_t>(std::max<qint64>(30000, 4 * cycleUs));

    std::mt19937 rng(20261210);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 30; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            Prefs prefs(appName);
            (void)prefs.Load();
            bool first = true;
            for (int i = 0;; ++i) {
                fillStore(prefs, i % 2 ? oldStore : newStore);
                if (!prefs.Save())
                    _exit(3);
                if (first) {
                    first = false;
                    const char go = 'g';
                    (void)!write(ready[1], &go, 1);
                }
            }
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1) << "the child saved nothing";
        close(ready[0]);
        usleep(std::uniform_int_distribution<useconds_t>(0, killWindowUs)(rng));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself, status " << status;

        const QByteArray text = readFile();
        const bool whole = text == oldText || text == newText;
        ASSERT_TRUE(whole) << "round " << round << ": a torn file of " << text.size() << " bytes";
        (text == oldText ? sawOld : sawNew)++;
        Prefs reread(appName);
        ASSERT_TRUE(reread.Load()) << "round " << round;
    }
    // Both texts seen: the kills did land between and during saves of each.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

// A damaged file at start-up: the defaults in memory, one caution box naming the copy kept
// beside the file, the file itself kept as it was until the next save, which writes what memory
// holds. Each start-up keeps its own copy; none is overwritten.
TEST_F(PreferencesFaults, ADamagedFileAtStartUpGivesTheDefaultsAndIsKeptUntilTheNextSave)
{
    QByteArray damaged = "{\n  \"limitA\":true,\n  \"maxA\":\"3";
    damaged += QByteArray("\x00\xff\xfe garbage \x01", 14);
    const QByteArray cases[] = {damaged, "{", "true", QByteArray(3000, '{'), "{\"maxA\" \"50\"}"};
    QList<std::pair<QString, QByteArray>> keptSoFar;
    for (const QByteArray &text : cases) {
        SCOPED_TRACE(text.left(40).toStdString());
        writeFile(text);
        ScriptedServices services;
        services.ports = {QStringLiteral("ttyFAKE0")};
        App app;
        app.Event_Open();
        const Prefs *prefs = PreferencesModule::Preferences();
        ASSERT_NE(prefs, nullptr);
        const QString kept = filePath() + QStringLiteral(".damaged")
            + (keptSoFar.isEmpty() ? QString() : u'.' + QString::number(keptSoFar.size() + 1));
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes.front().code, platform::MsgBoxCode::CautionOk);
        EXPECT_TRUE(services.boxes.front().title.isEmpty());
        EXPECT_EQ(services.boxes.front().text,
                  QStringLiteral("The saved preferences could not be read, so the default settings are in force, "
                                 "with no restrictions for a remote user. The file has been kept as ")
                      + kept);
        EXPECT_EQ(contentsOf(kept), text);
        keptSoFar.append({kept, text});
        for (const QString &key : tenKeys)
            EXPECT_NO_THROW((void)prefs->Get(key)) << key.toStdString();
        EXPECT_FALSE(prefs->boolOr(QStringLiteral("limitA"), true));
        EXPECT_EQ(prefs->textOr(QStringLiteral("maxA"), {}), QStringLiteral("100"));
        EXPECT_EQ(prefs->integerOr(QStringLiteral("monitor"), -1), 1);
        EXPECT_EQ(readFile(), text) << "the damaged file must stay as it was";

        ASSERT_TRUE(prefs->Save());
        EXPECT_EQ(readFile(), writeJson(prefs->values()));
        EXPECT_TRUE(readJson(readFile()).ok());
        for (const auto &[path, bytes] : keptSoFar)
            EXPECT_EQ(contentsOf(path), bytes) << path.toStdString();
    }
}

// The same damaged file met again before any save (the program ended without one) is kept
// once; when no name beside it is free, the file is left as it is and no save replaces it.
TEST_F(PreferencesFaults, AFileKeptOnceServesAgainAndOneThatCannotBeKeptIsNeverReplaced)
{
    writeFile("{\"power\":tru");
    for (int start = 1; start <= 2; ++start) {
        Prefs prefs(appName);
        EXPECT_FALSE(prefs.Load());
        EXPECT_TRUE(prefs.foundUnusableFile());
        EXPECT_EQ(prefs.keptFile(), filePath() + QStringLiteral(".damaged")) << "start " << start;
    }
    EXPECT_FALSE(QFileInfo::exists(filePath() + QStringLiteral(".damaged.2")));

    // Every name taken by something else.
    writeFile("{\"power\":fals");
    for (int number = 2; number <= 999; ++number)
        ASSERT_TRUE(QDir().mkpath(filePath() + QStringLiteral(".damaged.") + QString::number(number)));
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes.front().text,
              QStringLiteral("The saved preferences could not be read, so the default settings are in force, "
                             "with no restrictions for a remote user. The file could not be kept aside, so it is "
                             "left as it is and preferences cannot be saved until it is moved: ")
                  + filePath());
    EXPECT_FALSE(PreferencesModule::Preferences()->Save());
    EXPECT_FALSE(app.Event_CancelClose());
    EXPECT_EQ(boxesWithText(services, couldNotSaveMessage()), 1);
    EXPECT_EQ(readFile(), QByteArray("{\"power\":fals"));
    EXPECT_EQ(contentsOf(filePath() + QStringLiteral(".damaged")), QByteArray("{\"power\":tru"));
}

// A file that an editor began with a UTF-8 byte order mark loads as it stands: the user's
// limits hold, and nothing is said or kept.
TEST_F(PreferencesFaults, AByteOrderMarkAtTheStartIsSkipped)
{
    writeFile("\xEF\xBB\xBF{\n  \"limitA\":true,\n  \"maxA\":\"30\",\n  \"power\":true\n}");
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyFAKE0")};
    App app;
    app.Event_Open();
    EXPECT_TRUE(services.boxes.empty());
    const Prefs *prefs = PreferencesModule::Preferences();
    EXPECT_TRUE(prefs->boolOr(QStringLiteral("limitA"), false));
    EXPECT_EQ(prefs->textOr(QStringLiteral("maxA"), {}), QStringLiteral("30"));
    EXPECT_TRUE(prefs->boolOr(QStringLiteral("power"), false));
    EXPECT_FALSE(QFileInfo::exists(filePath() + QStringLiteral(".damaged")));
}

} // namespace
