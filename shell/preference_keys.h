#pragma once
// The ten keys of the preferences file, each with its kind and its first-run value: what a first
// run stores, and what a reader gets when the store has nothing usable under the key. The kind
// is the key's type, so a key is only ever written and read as its own kind.

#include <QLatin1StringView>
#include <QString>
#include <QtGlobal>

namespace PreferencesModule {
class Prefs;
} // namespace PreferencesModule

namespace preferenceKeys {

struct FlagKey {
    QLatin1StringView name;
    bool firstRun;
};
struct TextKey {
    QLatin1StringView name;
    QLatin1StringView firstRun;
};
struct IntegerKey {
    QLatin1StringView name;
    qint64 firstRun;
};

inline constexpr FlagKey limitA{QLatin1StringView("limitA"), false};
inline constexpr FlagKey limitB{QLatin1StringView("limitB"), false};
inline constexpr FlagKey power{QLatin1StringView("power"), false};
inline constexpr FlagKey program{QLatin1StringView("program"), false};
inline constexpr TextKey maxA{QLatin1StringView("maxA"), QLatin1StringView("100")};
inline constexpr TextKey maxB{QLatin1StringView("maxB"), QLatin1StringView("100")};
inline constexpr IntegerKey monitor{QLatin1StringView("monitor"), 1};
inline constexpr TextKey serial{QLatin1StringView("serial"), QLatin1StringView("")};
inline constexpr TextKey timeoutMinutes{QLatin1StringView("timeoutMinutes"), QLatin1StringView("")};
inline constexpr FlagKey slaveTimeout{QLatin1StringView("slaveTimeout"), false};

// Every key with its first-run value, in the order above: a first run's file lists them so.
void storeFirstRunValues(PreferencesModule::Prefs &prefs);

void store(PreferencesModule::Prefs &prefs, FlagKey key, bool value);
void store(PreferencesModule::Prefs &prefs, TextKey key, const QString &value);
void store(PreferencesModule::Prefs &prefs, IntegerKey key, qint64 value);

// The stored value, or the first-run value when there is no store (nullptr), no such key or a
// value that does not convert; never throws.
[[nodiscard]] bool stored(const PreferencesModule::Prefs *prefs, FlagKey key);
[[nodiscard]] QString stored(const PreferencesModule::Prefs *prefs, TextKey key);
[[nodiscard]] qint64 stored(const PreferencesModule::Prefs *prefs, IntegerKey key);

} // namespace preferenceKeys
