// The store's non-throwing reads: values of another JSON kind convert only where the meaning is
// plain, so a hand-edited or foreign file never ends in an unhandled exception.

#include "shell/json_writer.h"
#include "shell/preferences_module.h"

#include <charconv>
#include <cmath>

namespace PreferencesModule {

bool Prefs::boolOr(const QString &key, bool fallback) const
{
    const JsonValue *value = find(key);
    if (!value)
        return fallback;
    if (value->isBool())
        return value->toBool();
    if (value->isString()) {
        const QByteArray text = value->toUtf8();
        if (text == "true")
            return true;
        if (text == "false")
            return false;
    }
    return fallback;
}

QString Prefs::textOr(const QString &key, const QString &fallback) const
{
    const JsonValue *value = find(key);
    if (!value)
        return fallback;
    switch (value->type()) {
    case JsonValue::Type::String:
        return value->toText();
    case JsonValue::Type::Null:
        return QString();
    case JsonValue::Type::Int32:
    case JsonValue::Type::Int64:
        return QString::number(value->toInteger());
    case JsonValue::Type::Double:
        return QString::fromLatin1(formatJsonDouble(value->toDouble()));
    default:
        return fallback;
    }
}

qint64 Prefs::integerOr(const QString &key, qint64 fallback) const
{
    const JsonValue *value = find(key);
    if (!value)
        return fallback;
    if (value->isInteger())
        return value->toInteger();
    if (value->isDouble()) {
        const double real = value->toDouble();
        // 2^63 is the first double past the 64-bit range.
        if (std::trunc(real) == real && real >= -9223372036854775808.0
            && real < 9223372036854775808.0)
            return static_cast<qint64>(real);
        return fallback;
    }
    if (value->isString()) {
        const QByteArray text = value->toUtf8();
        qint64 integer = 0;
        const char *last = text.constData() + text.size();
        const auto [end, error] = std::from_chars(text.constData(), last, integer);
        if (!text.isEmpty() && error == std::errc() && end == last)
            return integer;
    }
    return fallback;
}

} // namespace PreferencesModule
