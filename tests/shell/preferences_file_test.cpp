// The store and its file on a temporary application-data folder: where the file goes, what it
// holds byte for byte, and that a failed save or an unreadable file changes nothing.

#include "shell/preferences_module.h"
#include "support/file_size_limit.h"
#include "support/preferences_test_home.h"

#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using PreferencesModule::Prefs;

const QString appName = QStringLiteral("KelvoConnect");

// The ten keys with their first-run defaults, in the order they are assigned.
void setDefaults(Prefs &prefs)
{
    prefs.Set(QStringLiteral("limitA"), false);
    prefs.Set(QStringLiteral("limitB"), false);
    prefs.Set(QStringLiteral("power"), false);
    prefs.Set(QStringLiteral("program"), false);
    prefs.Set(QStringLiteral("maxA"), QStringLiteral("100"));
    prefs.Set(QStringLiteral("maxB"), QStringLiteral("100"));
    prefs.Set(QStringLiteral("monitor"), qint64(1));
    prefs.Set(QStringLiteral("serial"), QString());
    prefs.Set(QStringLiteral("timeoutMinutes"), QString());
    prefs.Set(QStringLiteral("slaveTimeout"), false);
}

bool runningAsRoot()
{
    return geteuid() == 0;
}

class PreferencesFile : public PreferencesTestHome {};

TEST_F(PreferencesFile, LoadCreatesTheFolderAndSaveTheFile)
{
    Prefs prefs(appName);
    EXPECT_FALSE(prefs.Save()); // before any Load: nothing known, nothing written
    EXPECT_FALSE(QFileInfo::exists(folder()));

    EXPECT_FALSE(prefs.Load()); // no file yet
    EXPECT_TRUE(QFileInfo(folder()).isDir());
    EXPECT_EQ(prefs.preferencesFile(), filePath());
    EXPECT_FALSE(QFileInfo::exists(filePath()));

    EXPECT_TRUE(prefs.Save());
    EXPECT_EQ(readFile(), QByteArray("{}"));
}

TEST_F(PreferencesFile, WritesTheDocumentedLayoutByteForByte)
{
    Prefs prefs(appName);
    (void)prefs.Load();
    prefs.Set(QStringLiteral("power"), false);
    prefs.Set(QStringLiteral("maxA"), QStringLiteral("100"));
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readFile(), QByteArray("{\n  \"power\":false,\n  \"maxA\":\"100\"\n}"));
}

TEST_F(PreferencesFile, DefaultsSurviveASaveAndALoad)
{
    Prefs saved(appName);
    EXPECT_FALSE(saved.Load());
    setDefaults(saved);
    saved.Set(QStringLiteral("odd"), QStringLiteral("\\\"/\b\f\n\r\t\u0001\u007f\u00ad\u2028\ufeff Grüße 😀"));
    ASSERT_TRUE(saved.Save());

    Prefs loaded(appName);
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.values().size(), saved.values().size());
    for (const JsonMember &member : saved.values().members()) {
        const JsonValue value = loaded.Get(QString::fromUtf8(member.key));
        if (member.key == "monitor") {
            // Saved as 64-bit, read back in the narrowest width: readers take either.
            EXPECT_TRUE(value.isInteger());
            EXPECT_EQ(value.toInteger(), 1);
        } else {
            EXPECT_EQ(value, member.value) << member.key.constData();
        }
    }
    // Entries come back in the order they were saved.
    EXPECT_EQ(loaded.values().members().front().key, QByteArray("limitA"));
    EXPECT_EQ(loaded.values().members().back().key, QByteArray("odd"));
}

TEST_F(PreferencesFile, AShorterTextLeavesNothingOfALongerOne)
{
    writeFile("{ not JSON, and much longer than what replaces it " + QByteArray(4096, 'x'));
    Prefs prefs(appName);
    prefs.Set(QStringLiteral("power"), true);
    EXPECT_FALSE(prefs.Load());
    EXPECT_EQ(prefs.Get(QStringLiteral("power")), JsonValue(true)); // unchanged
    ASSERT_TRUE(prefs.Save());
    EXPECT_EQ(readFile(), QByteArray("{\n  \"power\":true\n}"));
}

TEST_F(PreferencesFile, AWriteThatFailsLeavesTheOldFileWhole)
{
    const QByteArray old = "{\n  \"power\":true\n}";
    writeFile(old);
    Prefs prefs(appName);
    ASSERT_TRUE(prefs.Load());
    prefs.Set(QStringLiteral("maxA"), QString(200, u'9'));
    {
        const FileSizeLimit limit(64); // the new text is longer than this
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(prefs.Save());
    }
    EXPECT_EQ(readFile(), old);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"KelvoConnect.txt"});
    EXPECT_TRUE(prefs.Save()); // once there is room again
}

TEST_F(PreferencesFile, AWritableFileInAReadOnlyFolderIsStillSaved)
{
    writeFile("{}");
    Prefs prefs(appName);
    ASSERT_TRUE(prefs.Load());
    prefs.Set(QStringLiteral("power"), true);
    ASSERT_TRUE(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = prefs.Save();
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(), QByteArray("{\n  \"power\":true\n}"));
}

TEST_F(PreferencesFile, ReadOnlyFileAndFolderMakeSaveFail)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root ignores permission bits; AWriteThatFailsLeavesTheOldFileWhole and "
                        "APathThatIsAFolder cover failing writes as root";
    const QByteArray old = "{}";
    writeFile(old);
    Prefs prefs(appName);
    ASSERT_TRUE(prefs.Load());
    prefs.Set(QStringLiteral("power"), true);
    QFile::setPermissions(filePath(), QFile::ReadOwner);
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(prefs.Save());
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readFile(), old);
    // Only the file read-only, in a writable folder: still refused, not replaced behind its back.
    EXPECT_FALSE(prefs.Save());
    EXPECT_EQ(readFile(), old);

    // A file that cannot be read does not load, and the store stays as it was.
    QFile::setPermissions(filePath(), {});
    Prefs other(appName);
    other.Set(QStringLiteral("keep"), true);
    EXPECT_FALSE(other.Load());
    EXPECT_EQ(other.values().size(), 1);
}

TEST_F(PreferencesFile, APathThatIsAFolderNeitherLoadsNorSaves)
{
    ASSERT_TRUE(QDir().mkpath(filePath()));
    Prefs prefs(appName);
    prefs.Set(QStringLiteral("keep"), true);
    EXPECT_FALSE(prefs.Load());
    EXPECT_EQ(prefs.preferencesFile(), filePath());
    EXPECT_EQ(prefs.values().size(), 1);
    EXPECT_FALSE(prefs.Save());
    EXPECT_TRUE(QFileInfo(filePath()).isDir());
}

TEST_F(PreferencesFile, AFolderThatCannotBeCreatedIsAFileThatDoesNotLoad)
{
    ASSERT_TRUE(QDir().mkpath(dataHome()));
    QFile blocker(folder()); // a plain file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Prefs prefs(appName);
    prefs.Set(QStringLiteral("keep"), true);
    EXPECT_FALSE(prefs.Load());
    EXPECT_EQ(prefs.preferencesFile(), filePath());
    EXPECT_EQ(prefs.values().size(), 1);
    EXPECT_FALSE(prefs.Save());
}

} // namespace
