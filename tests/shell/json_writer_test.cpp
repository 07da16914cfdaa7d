// The preferences file's writer: layout, value forms and string escaping, byte for byte.

#include "shell/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

JsonObject objectOf(std::initializer_list<std::pair<const char *, JsonValue>> entries)
{
    JsonObject object;
    for (const auto &[key, value] : entries)
        object.set(key, value);
    return object;
}

TEST(JsonWriter, LaysOutObjectsOneEntryALine)
{
    EXPECT_EQ(writeJson(JsonObject()), QByteArray("{}"));
    EXPECT_EQ(writeJson(objectOf({{"power", false}})), QByteArray("{\n  \"power\":false\n}"));
    EXPECT_EQ(writeJson(objectOf({{"limitA", true}, {"maxA", "100"}, {"monitor", qint64(1)}})),
        QByteArray("{\n  \"limitA\":true,\n  \"maxA\":\"100\",\n  \"monitor\":1\n}"));
}

TEST(JsonWriter, IndentsNestedObjectsAndArraysTwoBlanksALevel)
{
    const JsonObject inner = objectOf({{"x", 1}, {"list", JsonArray{JsonValue(2), JsonValue("b")}}});
    const JsonObject top = objectOf({{"inner", inner},
        {"rows", JsonArray{JsonValue(objectOf({{"y", JsonValue()}})), JsonValue(JsonArray{})}},
        {"none", JsonObject()}});
    EXPECT_EQ(writeJson(top),
        QByteArray("{\n"
                   "  \"inner\":{\n"
                   "    \"x\":1,\n"
                   "    \"list\":[\n"
                   "      2,\n"
                   "      \"b\"\n"
                   "    ]\n"
                   "  },\n"
                   "  \"rows\":[\n"
                   "    {\n"
                   "      \"y\":null\n"
                   "    },\n"
                   "    []\n"
                   "  ],\n"
                   "  \"none\":{}\n"
                   "}"));
}

TEST(JsonWriter, KeepsFirstSetOrderAndReplacesInPlace)
{
    JsonObject object = objectOf({{"b", 1}, {"a", 2}});
    object.set("b", 3);
    EXPECT_EQ(writeJson(object), QByteArray("{\n  \"b\":3,\n  \"a\":2\n}"));
}

TEST(JsonWriter, WritesEachValueForm)
{
    const struct {
        JsonValue value;
        QByteArray written;
    } cases[] = {
        {true, "true"},
        {false, "false"},
        {JsonValue(), "null"},
        {0, "0"},
        {-2147483647 - 1, "-2147483648"},
        {qint64(1), "1"},
        {std::numeric_limits<qint64>::min(), "-9223372036854775808"},
        {"", "\"\""},
        {2.5, "2.5"},
        {1.0, "1.0"},
        {0.0, "0.0"},
        {-0.0, "0.0"},
        {-0.5, "-0.5"},
        {0.1, "0.1"},
        {123.456, "123.456000000000003"}, // fifteen places of the binary value
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {1e20, "100000000000000000000.0"},
        {1e-15, "0.000000000000001"},
        {1e-16, "0.0"},
        {-1e-20, "0.0"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(writeJson(c.value), c.written) << c.written.constData();
}

TEST(JsonWriter, EscapesStringsInTheFileSteps)
{
    const struct {
        QString text;
        QByteArray escaped;
    } cases[] = {
        {QStringLiteral("a\\b"), "a\\\\b"},
        {QStringLiteral("say \"hi\""), "say \\\"hi\\\""},
        {QStringLiteral("\b\f\n\r\t"), "\\b\\f\\n\\r\\t"},
        {QString(QChar(0)) + QChar(1) + QChar(31), "\\u0000\\u0001\\u001f"},
        {QString(QChar(127)), "\\u007f"},
        {QString(QChar(173)), "\\u00ad"},
        {QString(QChar(1536)) + QChar(1540) + QChar(1807), "\\u0600\\u0604\\u070f"},
        {QString(QChar(6068)) + QChar(6069), "\\u17b4\\u17b5"},
        {QString(QChar(8204)) + QChar(8207), "\\u200c\\u200f"},
        {QString(QChar(0x2028)) + QChar(8239), "\\u2028\\u202f"},
        {QString(QChar(8288)) + QChar(8303), "\\u2060\\u206f"},
        {QString(QChar(65279)), "\\ufeff"},
        {QString(QChar(65520)) + QChar(65533), "\\ufff0\\ufffd"},
        {QStringLiteral("a/b"), "a\\/b"},
        // A backslash before a slash: step 1 doubles it, step 5 escapes the slash.
        {QStringLiteral("\\/"), "\\\\\\/"},
        // Neighbours of the escaped ranges and other text stand as UTF-8.
        {QString(QChar(32)) + QChar(126) + QChar(128) + QChar(174) + QChar(1541) + QChar(8231)
                + QChar(8240) + QChar(65278),
            QStringLiteral(" ~\u0080\u00ae\u0605\u2027\u2030\ufefe").toUtf8()},
        {QStringLiteral("Grüße € 😀"), QStringLiteral("Grüße € 😀").toUtf8()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(escapeJsonString(c.text.toUtf8()), c.escaped) << c.escaped.constData();
}

TEST(JsonWriter, EscapesKeysLikeValues)
{
    EXPECT_EQ(writeJson(objectOf({{"a\"/", "x"}})), QByteArray("{\n  \"a\\\"\\/\":\"x\"\n}"));
}

} // namespace
