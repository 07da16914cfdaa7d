#include "shell/preference_keys.h"

#include "shell/preferences_module.h"

#include <tuple>

namespace preferenceKeys {

void storeFirstRunValues(PreferencesModule::Prefs &prefs)
{
    const auto inOrder = std::tuple{limitA, limitB, power, program, maxA, maxB, monitor, serial,
                                    timeoutMinutes, slaveTimeout};
    std::apply([&prefs](auto... key) { (store(prefs, key, key.firstRun), ...); }, inOrder);
}

void store(PreferencesModule::Prefs &prefs, FlagKey key, bool value)
{
    prefs.Set(key.name, value);
}

void store(PreferencesModule::Prefs &prefs, TextKey key, const QString &value)
{
    prefs.Set(key.name, value);
}

void store(PreferencesModule::Prefs &prefs, IntegerKey key, qint64 value)
{
    prefs.Set(key.name, value);
}

bool stored(const PreferencesModule::Prefs *prefs, FlagKey key)
{
    return prefs ? prefs->boolOr(key.name, key.firstRun) : key.firstRun;
}

QString stored(const PreferencesModule::Prefs *prefs, TextKey key)
{
    return prefs ? prefs->textOr(key.name, key.firstRun) : QString(key.firstRun);
}

qint64 stored(const PreferencesModule::Prefs *prefs, IntegerKey key)
{
    return prefs ? prefs->integerOr(key.name, key.firstRun) : key.firstRun;
}

} // namespace preferenceKeys
