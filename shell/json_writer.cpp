#include "shell/json_writer.h"

#include <QtGlobal>

#include <cmath>

namespace {

constexpr int indentPerLevel = 2;

QByteArray indent(int depth)
{
    return QByteArray(depth * indentPerLevel, ' ');
}

// Code points that are written as "\u" escapes: controls and invisible or line-breaking
// characters that would otherwise vanish or break the line in an editor.
bool needsUnicodeEscape(char32_t codePoint)
{
    return codePoint <= 31 || codePoint == 127 || codePoint == 173
        || (codePoint >= 1536 && codePoint <= 1540) || codePoint == 1807 || codePoint == 6068
        || codePoint == 6069 || (codePoint >= 8204 && codePoint <= 8207)
        || (codePoint >= 8232 && codePoint <= 8239) || (codePoint >= 8288 && codePoint <= 8303)
        || codePoint == 65279 || (codePoint >= 65520 && codePoint <= 65535);
}

// Length of the well-formed UTF-8 sequence at position, 0 when the bytes there are not one
// (such bytes are copied unchanged). Only sequences up to U+FFFF matter for the escapes.
int utf8SequenceLength(const QByteArray &text, qsizetype position, char32_t &codePoint)
{
    const auto byteAt = [&](qsizetype i) { return static_cast<unsigned char>(text.at(i)); };
    const unsigned char lead = byteAt(position);
    const qsizetype left = text.size() - position;
    const auto continuation = [&](qsizetype i) { return (byteAt(i) & 0xC0) == 0x80; };
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0 && left >= 2 && continuation(position + 1)) {
        codePoint = char32_t(lead & 0x1F) << 6 | (byteAt(position + 1) & 0x3F);
        return codePoint >= 0x80 ? 2 : 0;
    }
    if ((lead & 0xF0) == 0xE0 && left >= 3 && continuation(position + 1)
        && continuation(position + 2)) {
        codePoint = char32_t(lead & 0x0F) << 12 | char32_t(byteAt(position + 1) & 0x3F) << 6
            | (byteAt(position + 2) & 0x3F);
        return codePoint >= 0x800 ? 3 : 0;
    }
    return 0;
}

void appendUnicodeEscape(QByteArray &out, char32_t codePoint)
{
    out += "\\u";
    out += QByteArray::number(static_cast<uint>(codePoint), 16).rightJustified(4, '0');
}

void writeValue(QByteArray &out, const JsonValue &value, int depth);

void writeObject(QByteArray &out, const JsonObject &object, int depth)
{
    if (object.isEmpty()) {
        out += "{}";
        return;
    }
    out += '{';
    out += platformLineEnd();
    const auto &members = object.members();
    for (std::size_t i = 0; i < members.size(); ++i) {
        out += indent(depth + 1);
        out += '"';
        out += escapeJsonString(members[i].key);
        out += "\":";
        writeValue(out, members[i].value, depth + 1);
        if (i + 1 < members.size())
            out += ',';
        out += platformLineEnd();
    }
    out += indent(depth);
    out += '}';
}

void writeArray(QByteArray &out, const JsonArray &array, int depth)
{
    if (array.empty()) {
        out += "[]";
        return;
    }
    out += '[';
    out += platformLineEnd();
    for (std::size_t i = 0; i < array.size(); ++i) {
        out += indent(depth + 1);
        writeValue(out, array[i], depth + 1);
        if (i + 1 < array.size())
            out += ',';
        out += platformLineEnd();
    }
    out += indent(depth);
    out += ']';
}

void writeValue(QByteArray &out, const JsonValue &value, int depth)
{
    switch (value.type()) {
    case JsonValue::Type::Null:
        out += "null";
        return;
    case JsonValue::Type::Boolean:
        out += value.toBool() ? "true" : "false";
        return;
    case JsonValue::Type::Int32:
    case JsonValue::Type::Int64:
        out += QByteArray::number(value.toInteger());
        return;
    case JsonValue::Type::Double:
        out += formatJsonDouble(value.toDouble());
        return;
    case JsonValue::Type::String:
        out += '"';
        out += escapeJsonString(value.toUtf8());
        out += '"';
        return;
    case JsonValue::Type::Object:
        writeObject(out, value.toObject(), depth);
        return;
    case JsonValue::Type::Array:
        writeArray(out, value.toArray(), depth);
        return;
    }
}

} // namespace

QByteArray platformLineEnd()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

QByteArray writeJson(const JsonObject &object)
{
    QByteArray out;
    writeObject(out, object, 0);
    return out;
}

QByteArray writeJson(const JsonValue &value, int depth)
{
    QByteArray out;
    writeValue(out, value, depth);
    return out;
}

QByteArray escapeJsonString(const QByteArray &utf8)
{
    // One pass, each character to its own escape, so no escape is ever escaped again.
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 8);
    qsizetype position = 0;
    while (position < utf8.size()) {
        char32_t codePoint = 0;
        const int length = utf8SequenceLength(utf8, position, codePoint);
        if (length == 0) {
            out += utf8.at(position++);
            continue;
        }
        switch (codePoint) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '/': out += "\\/"; break;
        default:
            if (needsUnicodeEscape(codePoint))
                appendUnicodeEscape(out, codePoint);
            else
                out += utf8.mid(position, length);
        }
        position += length;
    }
    return out;
}

QByteArray formatJsonDouble(double value)
{
    if (!std::isfinite(value))
        return QByteArrayLiteral("null");
    QByteArray text = QByteArray::number(value, 'f', 15);
    qsizetype end = text.size();
    while (text.at(end - 1) == '0' && text.at(end - 2) != '.')
        --end;
    text.truncate(end);
    // Rounding can leave "-0.0"; a "-" stands only before a value that is not zero.
    if (text.startsWith('-') && text.count('0') == text.size() - 2)
        text.remove(0, 1);
    return text;
}
