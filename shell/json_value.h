#pragma once
// A JSON value as the preferences store holds it: Boolean, 32- or 64-bit integer, double,
// string (UTF-8 bytes, kept byte for byte), null, and nested objects and arrays.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <variant>
#include <vector>

class JsonValue;
struct JsonMember;

using JsonArray = std::vector<JsonValue>;

// A JSON object that keeps its entries in the order in which their keys first arrived; setting
// a key again replaces its value in place. Keys are UTF-8 bytes and compare byte for byte.
class JsonObject {
public:
    JsonObject();
    JsonObject(const JsonObject &other);
    JsonObject(JsonObject &&other) noexcept;
    JsonObject &operator=(const JsonObject &other);
    JsonObject &operator=(JsonObject &&other) noexcept;
    ~JsonObject();

    [[nodiscard]] bool isEmpty() const;
    [[nodiscard]] qsizetype size() const;
    // The value under the key, or nullptr when the object has no such key.
    [[nodiscard]] const JsonValue *find(const QByteArray &key) const;
    void set(const QByteArray &key, JsonValue value);
    [[nodiscard]] const std::vector<JsonMember> &members() const;

    // Same keys with equal values in the same order.
    [[nodiscard]] bool operator==(const JsonObject &other) const;

private:
    std::vector<JsonMember> members_;
    QHash<QByteArray, qsizetype> index_; // key -> position in members_
};

class JsonValue {
public:
    enum class Type { Null, Boolean, Int32, Int64, Double, String, Object, Array };

    JsonValue() = default; // null
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : value_(value) {}
    JsonValue(qint32 value) : value_(value) {}
    JsonValue(qint64 value) : value_(value) {}
    JsonValue(double value) : value_(value) {}
    JsonValue(const QString &text) : value_(text.toUtf8()) {}
    JsonValue(const QByteArray &utf8) : value_(utf8) {}
    // Without this a string literal would silently become a Boolean.
    JsonValue(const char *utf8) : value_(QByteArray(utf8)) {}
    template <typename T>
    JsonValue(const T *) = delete;
    JsonValue(JsonObject object);
    JsonValue(JsonArray array);
    // Out of line: inlined variant copies make GCC 12 warn falsely under the sanitizers.
    JsonValue(const JsonValue &other);
    JsonValue(JsonValue &&other) noexcept;
    JsonValue &operator=(const JsonValue &other);
    JsonValue &operator=(JsonValue &&other) noexcept;
    ~JsonValue();

    [[nodiscard]] Type type() const;
    [[nodiscard]] bool isNull() const { return type() == Type::Null; }
    [[nodiscard]] bool isBool() const { return type() == Type::Boolean; }
    // A 32- or 64-bit integer: readers take either width.
    [[nodiscard]] bool isInteger() const;
    [[nodiscard]] bool isDouble() const { return type() == Type::Double; }
    [[nodiscard]] bool isString() const { return type() == Type::String; }
    [[nodiscard]] bool isObject() const { return type() == Type::Object; }
    [[nodiscard]] bool isArray() const { return type() == Type::Array; }

    // Each accessor gives the empty value of its kind when the value is of another kind.
    [[nodiscard]] bool toBool() const;
    [[nodiscard]] qint64 toInteger() const;
    [[nodiscard]] double toDouble() const; // integers convert too
    [[nodiscard]] QByteArray toUtf8() const;
    [[nodiscard]] QString toText() const;
    [[nodiscard]] const JsonObject &toObject() const;
    [[nodiscard]] const JsonArray &toArray() const;

    // Same kind (the integer widths count as different kinds) and same value.
    [[nodiscard]] bool operator==(const JsonValue &other) const;

private:
    std::variant<std::monostate, bool, qint32, qint64, double, QByteArray, JsonObject, JsonArray>
        value_;
};

struct JsonMember {
    QByteArray key;
    JsonValue value;

    [[nodiscard]] bool operator==(const JsonMember &other) const = default;
};
