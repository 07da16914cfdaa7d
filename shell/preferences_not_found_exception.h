#pragma once
// Raised when the preferences store is asked for a key that it does not hold.

#include <QString>

#include <stdexcept>

namespace PreferencesModule {

class PreferenceNotFoundException : public std::runtime_error {
public:
    // The message reads "Preference value '<key>' does not exist.".
    explicit PreferenceNotFoundException(const QString &key);
};

} // namespace PreferencesModule
