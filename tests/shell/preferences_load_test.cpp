// Load over a table of file texts: what loads, what does not, and what the store then holds.

#include "shell/preferences_module.h"
#include "support/preferences_test_home.h"

#include <optional>

namespace {

using PreferencesModule::Prefs;

JsonObject objectOf(std::initializer_list<std::pair<const char *, JsonValue>> entries)
{
    JsonObject object;
    for (const auto &[key, value] : entries)
        object.set(key, value);
    return object;
}

// An object `depth` levels deep in all, its innermost level empty.
QByteArray nestedObjects(int depth)
{
    QByteArray text;
    for (int i = 1; i < depth; ++i)
        text += "{\"k\":";
    return text + "{}" + QByteArray(depth - 1, '}');
}

struct LoadCase {
    const char *name;
    QByteArray text;
    bool loads;
    // What the store holds after the load; nullopt: unchanged.
    std::optional<JsonObject> holds;
};

class PreferencesLoad : public PreferencesTestHome {};

TEST_F(PreferencesLoad, TableOfFileTexts)
{
    const JsonValue one(1);
    const LoadCase cases[] = {
        {"empty text", "", true, std::nullopt},
        {"blanks and line ends", "  \n\t\r\n  ", true, std::nullopt},
        {"empty object then other text", "{} and more", true, JsonObject()},
        {"leading white space", " \r\n\t{\"a\":1}", true, objectOf({{"a", one}})},
        {"byte order mark", "\xEF\xBB\xBF{\"a\":1}", true, objectOf({{"a", one}})},
        {"byte order mark alone", "\xEF\xBB\xBF \n", true, std::nullopt},
        {"byte order mark twice", "\xEF\xBB\xBF\xEF\xBB\xBF{\"a\":1}", false, std::nullopt},
        {"byte order mark after a blank", " \xEF\xBB\xBF{\"a\":1}", false, std::nullopt},
        {"object not closed", "{", false, std::nullopt},
        {"Boolean at the top", "true", false, std::nullopt},
        {"array at the top", "[1,2]", false, std::nullopt},
        {"largest 32-bit", "{\"n\":2147483647}", true, objectOf({{"n", 2147483647}})},
        {"smallest 32-bit", "{\"n\":-2147483648}", true, objectOf({{"n", -2147483647 - 1}})},
        {"above 32-bit", "{\"n\":2147483648}", true, objectOf({{"n", qint64(2147483648)}})},
        {"below 32-bit", "{\"n\":-2147483649}", true, objectOf({{"n", qint64(-2147483649)}})},
        {"64-bit exactly", "{\"n\":9007199254740993}", true,
            objectOf({{"n", qint64(9007199254740993)}})},
        {"beyond 64-bit", "{\"n\":99999999999999999999}", true, objectOf({{"n", 1e20}})},
        {"fraction", "{\"n\":2.5}", true, objectOf({{"n", 2.5}})},
        {"exponent", "{\"n\":-1.5E+2}", true, objectOf({{"n", -150.0}})},
        {"whole exponent", "{\"n\":1e2}", true, objectOf({{"n", 100.0}})},
        {"underflow", "{\"n\":1e-999}", true, objectOf({{"n", 0.0}})},
        {"negative zero", "{\"n\":-0}", true, objectOf({{"n", 0}})},
        {"overflow", "{\"n\":1e999}", false, std::nullopt},
        {"negative overflow", "{\"n\":-1e999}", false, std::nullopt},
        {"long overflow", "{\"n\":" + QByteArray(400, '9') + "}", false, std::nullopt},
        {"leading plus", "{\"n\":+1}", false, std::nullopt},
        {"minus alone", "{\"n\":-}", false, std::nullopt},
        {"minus before point", "{\"n\":-.5}", false, std::nullopt},
        {"point first", "{\"n\":.5}", false, std::nullopt},
        {"point without digit", "{\"n\":1.}", false, std::nullopt},
        {"exponent without digit", "{\"n\":1e+}", false, std::nullopt},
        {"leading zero", "{\"n\":01}", false, std::nullopt},
        {"quote escape", R"({"s":"\""})", true, objectOf({{"s", "\""}})},
        {"backslash escape", R"({"s":"\\"})", true, objectOf({{"s", "\\"}})},
        {"slash escape", R"({"s":"a\/b"})", true, objectOf({{"s", "a/b"}})},
        {"short escapes", R"({"s":"\b\f\n\r\t"})", true, objectOf({{"s", "\b\f\n\r\t"}})},
        {"unicode escapes", R"({"s":"\u0041\u00e9\u2028\uFEFF"})", true,
            objectOf({{"s", "A\xc3\xa9\xe2\x80\xa8\xef\xbb\xbf"}})},
        {"zero escape", R"({"s":"a\u0000b"})", true, objectOf({{"s", QByteArray("a\0b", 3)}})},
        {"surrogates stay apart", R"({"s":"\ud83d\ude00"})", true,
            objectOf({{"s", "\xed\xa0\xbd\xed\xb8\x80"}})},
        {"raw controls and UTF-8", "{\"s\":\"\x01\tGr\xc3\xbc\xc3\x9f\"}", true,
            objectOf({{"s", "\x01\tGr\xc3\xbc\xc3\x9f"}})},
        {"bad escape", R"({"s":"\x"})", false, std::nullopt},
        {"short unicode escape", R"({"s":"\u12"})", false, std::nullopt},
        {"unicode escape at end", R"({"s":"\u12)", false, std::nullopt},
        {"unicode escape not hex", R"({"s":"\u12G4"})", false, std::nullopt},
        {"unterminated string", R"({"s":"abc)", false, std::nullopt},
        {"duplicate keys: the later stands in place", R"({"a":1,"b":2,"a":"x"})", true,
            objectOf({{"a", "x"}, {"b", 2}})},
        {"keys keep letter case", R"({"power":true,"Power":false})", true,
            objectOf({{"power", true}, {"Power", false}})},
        {"words", R"({"t":true,"f":false,"z":null})", true,
            objectOf({{"t", true}, {"f", false}, {"z", JsonValue()}})},
        {"word in capitals", R"({"t":TRUE})", false, std::nullopt},
        {"nested values", R"({"o":{"a":[1,{}]},"e":[]})", true,
            objectOf({{"o", objectOf({{"a", JsonArray{JsonValue(1), JsonValue(JsonObject())}}})},
                {"e", JsonArray{}}})},
        {"missing colon", R"({"a" 1})", false, std::nullopt},
        {"comma before end", R"({"a":1,})", false, std::nullopt},
        {"missing comma", R"({"a":1 "b":2})", false, std::nullopt},
        {"key not quoted", "{a:1}", false, std::nullopt},
        {"array not closed", R"({"a":[1,2})", false, std::nullopt},
        {"value missing", R"({"a":})", false, std::nullopt},
        {"nesting 256 deep", nestedObjects(256), true, objectOf({{"k", [] {
             JsonValue inner = JsonObject();
             for (int i = 2; i < 256; ++i)
                 inner = objectOf({{"k", inner}});
             return inner;
         }()}})},
        {"nesting 257 deep", nestedObjects(257), false, std::nullopt},
    };

    const JsonObject before = objectOf({{"keep", "me"}});
    for (const LoadCase &c : cases) {
        writeFile(c.text);
        Prefs prefs(QStringLiteral("KelvoConnect"));
        prefs.Set(QStringLiteral("keep"), "me");
        EXPECT_EQ(prefs.Load(), c.loads) << c.name;
        EXPECT_TRUE(prefs.values() == c.holds.value_or(before)) << c.name;
    }
}

} // namespace
