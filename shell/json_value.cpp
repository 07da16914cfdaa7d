#include "shell/json_value.h"

JsonObject::JsonObject() = default;
JsonObject::JsonObject(const JsonObject &other) = default;
JsonObject::JsonObject(JsonObject &&other) noexcept = default;
JsonObject &JsonObject::operator=(const JsonObject &other) = default;
JsonObject &JsonObject::operator=(JsonObject &&other) noexcept = default;
JsonObject::~JsonObject() = default;

bool JsonObject::isEmpty() const
{
    return m_members.empty();
}

qsizetype JsonObject::size() const
{
    return static_cast<qsizetype>(m_members.size());
}

const JsonValue *JsonObject::find(const QByteArray &key) const
{
    const auto position = m_index.constFind(key);
    if (position == m_index.cend())
        return nullptr;
    return &m_members[static_cast<std::size_t>(*position)].value;
}

void JsonObject::set(const QByteArray &key, JsonValue value)
{
    const auto position = m_index.constFind(key);
    if (position != m_index.cend()) {
        m_members[static_cast<std::size_t>(*position)].value = std::move(value);
        return;
    }
    m_index.insert(key, size());
    m_members.push_back(JsonMember{key, std::move(value)});
}

const std::vector<JsonMember> &JsonObject::members() const
{
    return m_members;
}

bool JsonObject::operator==(const JsonObject &other) const
{
    return m_members == other.m_members;
}

JsonValue::JsonValue(JsonObject object) : m_value(std::move(object)) {}

JsonValue::JsonValue(JsonArray array) : m_value(std::move(array)) {}

JsonValue::JsonValue(const JsonValue &other) = default;
JsonValue::JsonValue(JsonValue &&other) noexcept = default;
JsonValue &JsonValue::operator=(const JsonValue &other) = default;
JsonValue &JsonValue::operator=(JsonValue &&other) noexcept = default;
JsonValue::~JsonValue() = default;

JsonValue::Type JsonValue::type() const
{
    // The alternatives of m_value stand in the order of Type.
    return static_cast<Type>(m_value.index());
}

bool JsonValue::isInteger() const
{
    return type() == Type::Int32 || type() == Type::Int64;
}

bool JsonValue::toBool() const
{
    const bool *value = std::get_if<bool>(&m_value);
    return value && *value;
}

qint64 JsonValue::toInteger() const
{
    if (const qint32 *value = std::get_if<qint32>(&m_value))
        return *value;
    if (const qint64 *value = std::get_if<qint64>(&m_value))
        return *value;
    return 0;
}

double JsonValue::toDouble() const
{
    if (const double *value = std::get_if<double>(&m_value))
        return *value;
    return static_cast<double>(toInteger());
}

QByteArray JsonValue::toUtf8() const
{
    const QByteArray *value = std::get_if<QByteArray>(&m_value);
    return value ? *value : QByteArray();
}

QString JsonValue::toText() const
{
    return QString::fromUtf8(toUtf8());
}

const JsonObject &JsonValue::toObject() const
{
    static const JsonObject empty;
    const JsonObject *value = std::get_if<JsonObject>(&m_value);
    return value ? *value : empty;
}

const JsonArray &JsonValue::toArray() const
{
    static const JsonArray empty;
    const JsonArray *value = std::get_if<JsonArray>(&m_value);
    return value ? *value : empty;
}

bool JsonValue::operator==(const JsonValue &other) const
{
    return m_value == other.m_value;
}
