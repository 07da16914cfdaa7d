#include "shell/preferences_not_found_exception.h"

namespace PreferencesModule {

PreferenceNotFoundException::PreferenceNotFoundException(const QString &key)
    : std::runtime_error(
        (QStringLiteral("Preference value '") + key + QStringLiteral("' does not exist."))
            .toStdString())
{
}

} // namespace PreferencesModule
