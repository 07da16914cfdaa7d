// The reader alone: what only shows below the store (arrays at the top, nesting depth, the error
// text); the store's table of file texts covers the grammar through Load.

#include "shell/json_reader.h"

#include <gtest/gtest.h>

namespace {

QByteArray nestedArrays(int depth)
{
    return QByteArray(depth, '[') + QByteArray(depth, ']');
}

TEST(JsonReader, TakesAnObjectOrAnArrayAtTheTop)
{
    const JsonReadResult array = readJson("  [1, \"a\", [], {}]");
    ASSERT_TRUE(array.ok());
    EXPECT_EQ(*array.value,
        JsonValue(JsonArray{JsonValue(1), JsonValue("a"), JsonValue(JsonArray{}),
            JsonValue(JsonObject())}));

    for (const char *text : {"", "true", "1", "\"a\"", "null", " x{}"}) {
        const JsonReadResult result = readJson(text);
        EXPECT_FALSE(result.ok()) << text;
        EXPECT_EQ(result.error, QStringLiteral("Parse Error: Expecting '{' or '['")) << text;
    }
}

TEST(JsonReader, RefusesNestingDeeperThanTheLimit)
{
    EXPECT_TRUE(readJson(nestedArrays(maxJsonDepth)).ok());
    EXPECT_FALSE(readJson(nestedArrays(maxJsonDepth + 1)).ok());
    // A hostile file far deeper than the stack could take fails the same way.
    EXPECT_FALSE(readJson(QByteArray(1'000'000, '[')).ok());
}

TEST(JsonReader, ReportsWhereTheTextWentWrong)
{
    const JsonReadResult result = readJson("{\"a\":1,\"b\":tru}");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.position, 11); // the "t" of "tru"
}

} // namespace
