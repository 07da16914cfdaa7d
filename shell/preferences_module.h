#pragma once
// The preferences store: the program's settings in memory as one JSON object, kept between runs
// in "<name>/<name>.txt" in the user's application-data folder. Setting a key changes memory
// only; the file changes at Save.

#include "shell/json_value.h"
#include "shell/preferences_not_found_exception.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace PreferencesModule {

class Prefs {
public:
    // An empty store with no file path yet; the name names the folder and the file.
    explicit Prefs(const QString &appName);

    // Creates the folder, keeps the file's path, then reads the file. True when the file was
    // read: blank text leaves the store as it is, an object replaces it; a UTF-8 byte order
    // mark in front is skipped. False when the file is missing, cannot be read, or does not
    // hold a JSON object; the store is then unchanged, and a file that was there but could not
    // be used is kept beside it (see keptFile), so the next Save loses nothing.
    [[nodiscard]] bool Load();
    // Writes the whole store over the file, which always holds either the old text or the new
    // one. False before any Load, on any input/output error, and while a file that could not
    // be used could not be kept either: it is then left as it is.
    [[nodiscard]] bool Save() const;

    // After a Load: whether it found a file that it could not use, and where that file was
    // kept (empty when it could not be kept).
    [[nodiscard]] bool foundUnusableFile() const;
    [[nodiscard]] QString keptFile() const;

    // The value under the key (matched byte for byte); throws PreferenceNotFoundException.
    [[nodiscard]] JsonValue Get(const QString &key) const;
    // Adds the key, or replaces its value where it stands.
    void Set(const QString &key, const JsonValue &value);

    // Reads that never throw, for controls that must show something: a missing key or a value
    // that does not convert gives the fallback. Boolean: a Boolean, or the text "true"/"false".
    [[nodiscard]] bool boolOr(const QString &key, bool fallback) const;
    // Text: a string; null is the empty text; a number is its decimal text.
    [[nodiscard]] QString textOr(const QString &key, const QString &fallback) const;
    // Integer: either width; a double with no fraction; a text of decimal digits.
    [[nodiscard]] qint64 integerOr(const QString &key, qint64 fallback) const;

    // Every entry, in the order in which the keys were first set or read from the file.
    [[nodiscard]] const JsonObject &values() const;
    // The file's path, empty until the first Load.
    [[nodiscard]] QString preferencesFile() const;

private:
    [[nodiscard]] const JsonValue *find(const QString &key) const;
    // Keeps the file that did not load under a name of its own beside it; its bytes, when
    // they could be read, let a copy kept by an earlier run serve again.
    void keepUnusableFile(const std::optional<QByteArray> &bytes);

    QString mAppName;
    JsonObject mPreferences;
    QString mPreferencesFile;
    bool mFoundUnusableFile = false;
    QString mKeptFile;
};

// Makes a new, empty store the global one, releasing any earlier store. Does not load.
void Initialize(const QString &applicationName);
// The global store; nullptr until Initialize.
[[nodiscard]] Prefs *Preferences();

} // namespace PreferencesModule
