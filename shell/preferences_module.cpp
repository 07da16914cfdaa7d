#include "shell/preferences_module.h"

#include "shell/json_reader.h"
#include "shell/json_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

namespace PreferencesModule {

namespace {

std::unique_ptr<Prefs> &globalStore()
{
    static std::unique_ptr<Prefs> store;
    return store;
}

const QByteArray byteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

// Names tried for a file that did not load: "<file>.damaged", then "<file>.damaged.2" and on.
constexpr int maxKeptFiles = 999;

QString keptFileName(const QString &file, int number)
{
    const QString first = file + QStringLiteral(".damaged");
    return number == 1 ? first : first + u'.' + QString::number(number);
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Prefs::Prefs(const QString &appName) : mAppName(appName) {}

bool Prefs::Load()
{
    mFoundUnusableFile = false;
    mKeptFile.clear();
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        return false;
    const QString folder = dataHome + u'/' + mAppName;
    // The path is kept whatever happens next, so a later Save can create the file.
    mPreferencesFile = folder + u'/' + mAppName + QStringLiteral(".txt");
    if (!QDir().mkpath(folder))
        return false;

    QFile file(mPreferencesFile);
    if (!file.exists())
        return false;
    // A folder in the file's place is no file to keep, and no Save can replace it either.
    if (!QFileInfo(mPreferencesFile).isFile())
        return false;
    if (!file.open(QIODevice::ReadOnly)) {
        keepUnusableFile(std::nullopt);
        return false;
    }
    const QByteArray bytes = file.readAll();
    const bool read = file.error() == QFileDevice::NoError;
    file.close();
    if (!read) {
        keepUnusableFile(std::nullopt);
        return false;
    }

    // Editors on some systems start UTF-8 text with a byte order mark: no part of the JSON.
    const QByteArray text = bytes.startsWith(byteOrderMark) ? bytes.mid(byteOrderMark.size()) : bytes;
    if (QString::fromUtf8(text).trimmed().isEmpty())
        return true;
    const JsonReadResult parsed = readJson(text);
    // A top-level array holds no keys: treated like text that does not parse.
    if (!parsed.ok() || !parsed.value->isObject()) {
        keepUnusableFile(bytes);
        return false;
    }
    mPreferences = parsed.value->toObject();
    return true;
}

void Prefs::keepUnusableFile(const std::optional<QByteArray> &bytes)
{
    mFoundUnusableFile = true;
    for (int number = 1; number <= maxKeptFiles; ++number) {
        const QString kept = keptFileName(mPreferencesFile, number);
        if (QFileInfo::exists(kept)) {
            // Never over an earlier one; the same bytes kept before serve again.
            if (bytes && QFileInfo(kept).isFile() && contentsOf(kept) == *bytes) {
                mKeptFile = kept;
                return;
            }
            continue;
        }
        // A copy leaves the file where it is until the next Save; one that cannot be read can
        // still be moved aside.
        if (QFile::copy(mPreferencesFile, kept) || QFile::rename(mPreferencesFile, kept))
            mKeptFile = kept;
        return;
    }
}

bool Prefs::Save() const
{
    if (mPreferencesFile.isEmpty())
        return false;
    // The only copy of what the user had: left alone rather than lost.
    if (mFoundUnusableFile && mKeptFile.isEmpty())
        return false;
    // Written beside the file and renamed over it, so a crash or a full disk never leaves half
    // a file; in a folder that cannot take the new file it is written in place instead.
    QSaveFile file(mPreferencesFile);
    file.setDirectWriteFallback(true);
    // Unbuffered, so a short write (disk full) shows here: buffered, Qt commits the torn text.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray text = writeJson(mPreferences);
    for (qint64 written = 0; written < text.size();) {
        const qint64 count = file.write(text.constData() + written, text.size() - written);
        if (count <= 0)
            return false; // not committed: the old file stays
        written += count;
    }
    return file.commit();
}

const JsonValue *Prefs::find(const QString &key) const
{
    return mPreferences.find(key.toUtf8());
}

JsonValue Prefs::Get(const QString &key) const
{
    const JsonValue *value = find(key);
    if (!value)
        throw PreferenceNotFoundException(key);
    return *value;
}

void Prefs::Set(const QString &key, const JsonValue &value)
{
    mPreferences.set(key.toUtf8(), value);
}

const JsonObject &Prefs::values() const
{
    return mPreferences;
}

QString Prefs::preferencesFile() const
{
    return mPreferencesFile;
}

bool Prefs::foundUnusableFile() const
{
    return mFoundUnusableFile;
}

QString Prefs::keptFile() const
{
    return mKeptFile;
}

void Initialize(const QString &applicationName)
{
    globalStore() = std::make_unique<Prefs>(applicationName);
}

Prefs *Preferences()
{
    return globalStore().get();
}

} // namespace PreferencesModule
