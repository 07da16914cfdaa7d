// The store in memory: keys by exact bytes, the not-found error, access by key name, the global
// store, and the reads that fall back instead of throwing.

#include "shell/preferences_module.h"

#include <gtest/gtest.h>

namespace {

using PreferencesModule::PreferenceNotFoundException;
using PreferencesModule::Prefs;

TEST(PreferencesStore, MissingKeyRaisesNotFoundWithItsMessage)
{
    Prefs prefs(QStringLiteral("KelvoConnect"));
    prefs.Set(QStringLiteral("power"), true);
    try {
        (void)prefs.Get(QStringLiteral("serial"));
        FAIL() << "no exception";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(dynamic_cast<const PreferenceNotFoundException *>(&error), nullptr);
        EXPECT_STREQ(error.what(), "Preference value 'serial' does not exist.");
    }
    // Letter case counts.
    EXPECT_THROW((void)prefs.Get(QStringLiteral("Power")), PreferenceNotFoundException);
    const Prefs &readOnly = prefs;
    EXPECT_THROW((void)readOnly.Get(QStringLiteral("POWER")), PreferenceNotFoundException);
    EXPECT_EQ(prefs.Get(QStringLiteral("power")), JsonValue(true));
}

TEST(PreferencesStore, AccessByKeyNameReadsAndAssigns)
{
    Prefs prefs(QStringLiteral("KelvoConnect"));
    prefs.Set(QStringLiteral("maxA"), "100");
    prefs.Set(QStringLiteral("monitor"), qint64(2));
    prefs.Set(QStringLiteral("maxB"), prefs.Get(QStringLiteral("maxA")));
    prefs.Set(QStringLiteral("maxA"), QStringLiteral("75"));

    const JsonValue maxA = prefs.Get(QStringLiteral("maxA"));
    EXPECT_EQ(maxA, JsonValue("75"));
    EXPECT_EQ(prefs.Get(QStringLiteral("maxB")), JsonValue("100"));
    EXPECT_EQ(prefs.Get(QStringLiteral("monitor")), JsonValue(qint64(2)));
    // Plain literals serve as keys and as text values.
    prefs.Set("serial", "ttyUSB0");
    EXPECT_EQ(prefs.textOr("serial", QString()), QStringLiteral("ttyUSB0"));
    // Replacing a value keeps the key where it was first set.
    ASSERT_EQ(prefs.values().size(), 4);
    EXPECT_EQ(prefs.values().members()[0].key, QByteArray("maxA"));
}

TEST(PreferencesStore, InitializeMakesANewEmptyStoreWithoutLoading)
{
    PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
    Prefs *first = PreferencesModule::Preferences();
    ASSERT_NE(first, nullptr);
    first->Set(QStringLiteral("power"), true);

    PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
    Prefs *second = PreferencesModule::Preferences();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->values().isEmpty());
    EXPECT_TRUE(second->preferencesFile().isEmpty());
    EXPECT_FALSE(second->Save()); // no Load yet: no path
}

TEST(PreferencesStore, FallbackReadsConvertOnlyPlainMeanings)
{
    Prefs prefs(QStringLiteral("KelvoConnect"));
    prefs.Set(QStringLiteral("bool"), true);
    prefs.Set(QStringLiteral("textTrue"), "true");
    prefs.Set(QStringLiteral("textFalse"), "false");
    prefs.Set(QStringLiteral("textOther"), "yes");
    prefs.Set(QStringLiteral("text"), QStringLiteral("Grüße"));
    prefs.Set(QStringLiteral("null"), JsonValue());
    prefs.Set(QStringLiteral("int32"), 2);
    prefs.Set(QStringLiteral("int64"), qint64(-5'000'000'000));
    prefs.Set(QStringLiteral("double"), 2.5);
    prefs.Set(QStringLiteral("wholeDouble"), 2.0);
    prefs.Set(QStringLiteral("digits"), "-12");
    prefs.Set(QStringLiteral("object"), JsonObject());

    const QString fallback = QStringLiteral("fallback");
    const struct {
        const char *key;
        bool asBool;      // fallback false
        QString asText;   // fallback "fallback"
        qint64 asInteger; // fallback 7
    } cases[] = {
        {"missing", false, fallback, 7},
        {"bool", true, fallback, 7},
        {"textTrue", true, QStringLiteral("true"), 7},
        {"textFalse", false, QStringLiteral("false"), 7},
        {"textOther", false, QStringLiteral("yes"), 7},
        {"text", false, QStringLiteral("Grüße"), 7},
        {"null", false, QString(), 7},
        {"int32", false, QStringLiteral("2"), 2},
        {"int64", false, QStringLiteral("-5000000000"), -5'000'000'000},
        {"double", false, QStringLiteral("2.5"), 7},
        {"wholeDouble", false, QStringLiteral("2.0"), 2},
        {"digits", false, QStringLiteral("-12"), -12},
        {"object", false, fallback, 7},
    };
    for (const auto &c : cases) {
        const QString key = QString::fromLatin1(c.key);
        EXPECT_EQ(prefs.boolOr(key, false), c.asBool) << c.key;
        EXPECT_EQ(prefs.textOr(key, fallback), c.asText) << c.key;
        EXPECT_EQ(prefs.integerOr(key, 7), c.asInteger) << c.key;
    }
    // A fallback of true shows that "yes" and a number are not taken as Booleans.
    EXPECT_TRUE(prefs.boolOr(QStringLiteral("textOther"), true));
    EXPECT_TRUE(prefs.boolOr(QStringLiteral("int32"), true));
    EXPECT_FALSE(prefs.boolOr(QStringLiteral("textFalse"), true));
}

} // namespace
