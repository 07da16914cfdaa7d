#include "shell/json_value.h"

JsonObject::JsonObject() = default;
JsonObject::JsonObject(const JsonObject &other) = default;
JsonObject::JsonObject(JsonObject &&other) noexcept = default;
JsonObject &JsonObject::operator=(const JsonObject &other) = default;
JsonObject &JsonObject::operator=(JsonObject &&other) noexcept = default;
JsonObject::~JsonObject() = default;

bool JsonObject::isEmpty() const
{
    return members_.empty();
}

qsizetype JsonObject::size() const
{
    return static_cast<qsizetype>(members_.size());
}

const JsonValue *JsonObject::find(const QByteArray &key) const
{
    const auto position = index_.constFind(key);
    if (position == index_.cend())
        return nullptr;
    return &members_[static_cast<std::size_t>(*position)].value;
}

void JsonObject::set(const QByteArray &key, JsonValue value)
{
    const auto position = index_.constFind(key);
    if (position != index_.cend()) {
        members_[static_cast<std::size_t>(*position)].value = std::move(value);
        return;
    }
    index_.insert(key, size());
    members_.push_back(JsonMember{key, std::move(value)});
}

const std::vector<JsonMember> &JsonObject::members() const
{
    return members_;
}

bool JsonObject::operator==(const JsonObject &other) const
{
    return members_ == other.members_;
}

JsonValue::JsonValue(JsonObject object) : value_(std::move(object)) {}

JsonValue::JsonValue(JsonArray array) : value_(std::move(array)) {}

JsonValue::JsonValue(const JsonValue &other) = default;
JsonValue::JsonValue(JsonValue &&other) noexcept = default;
JsonValue &JsonValue::operator=(const JsonValue &other) = default;
JsonValue &JsonValue::operator=(JsonValue &&other) noexcept = default;
JsonValue::~JsonValue() = default;

JsonValue::Type JsonValue::type() const
{
    // The alternatives of value_ stand in the order of Type.
    return static_cast<Type>(value_.index());
}

bool JsonValue::isInteger() const
{
    return type() == Type::Int32 || type() == Type::Int64;
}

bool JsonValue::toBool() const
{
    const bool *value = std::get_if<bool>(&value_);
    return value && *value;
}

qint64 JsonValue::toInteger() const
{
    if (const qint32 *value = std::get_if<qint32>(&value_))
        return *value;
    if (const qint64 *value = std::get_if<qint64>(&value_))
        return *value;
    return 0;
}

double JsonValue::toDouble() const
{
    if (const double *value = std::get_if<double>(&value_))
        return *value;
    return static_cast<double>(toInteger());
}

QByteArray JsonValue::toUtf8() const
{
    const QByteArray *value = std::get_if<QByteArray>(&value_);
    return value ? *value : QByteArray();
}

QString JsonValue::toText() const
{
    return QString::fromUtf8(toUtf8());
}

const JsonObject &JsonValue::toObject() const
{
    static const JsonObject empty;
    const JsonObject *value = std::get_if<JsonObject>(&value_);
    return value ? *value : empty;
}

const JsonArray &JsonValue::toArray() const
{
    static const JsonArray empty;
    const JsonArray *value = std::get_if<JsonArray>(&value_);
    return value ? *value : empty;
}

bool JsonValue::operator==(const JsonValue &other) const
{
    return value_ == other.value_;
}
