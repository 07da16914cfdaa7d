#include "core/rules/decimal_magnitude.h"
#include "core/rules/text_number.h"
#include "core/rules/text_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kelvo;

TEST(TextNumber, ReadsTheNumberAtTheStart)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { const char *text; double value; } cases[] = {
        {" 50", 50}, {"\t7", 7}, {"+7", 7}, {"-3.9", -3.9}, {"2.107", 2.107}, {"1e3", 1000},
        {"1E+2x", 100}, {"2e", 2}, {"2e-", 2}, {".5", 0.5}, {"5.", 5}, {".", 0}, {"-", 0},
        {"12abc", 12}, {"", 0}, {"abc", 0}, {"nan", 0}, {"inf", 0}, {"-inf", 0}, {"0x10", 0},
        {"\n5", 0}, {"1e999", inf}, {"-1e999", -inf}, {"1e-999", 0},
        {"0.000000000000000000000000000000000000000000000000000000000000000000000001e400", inf},
    };
    for (const auto &c : cases)
        EXPECT_EQ(textNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumber, TruncationSaturates)
{
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    const struct { const char *text; qint64 value; } cases[] = {
        {"-3.9", -3}, {"3.9", 3}, {"99999999999999999999", max}, {"-99999999999999999999", min},
        {"1e999", max}, {"-1e999", min}, {"9007199254740993", 9007199254740992},
    };
    for (const auto &c : cases)
        EXPECT_EQ(truncateToInt64(textNumber(c.text)), c.value) << c.text;
    EXPECT_EQ(truncateToInt64(std::nan("")), 0);
    EXPECT_TRUE(exceedsInt64(textNumber("9223372036854775808")));
    EXPECT_FALSE(exceedsInt64(textNumber("9223372036854774784")));
}

// Both number readers tell a too large number from a too small one by it.
TEST(DecimalMagnitude, PowerOfTenOfTheFirstSignificantDigit)
{
    const struct { const char *text; qint64 magnitude; } cases[] = {
        {"123", 2}, {"-0.05", -2}, {"+1e308", 308}, {"0.001e-400", -403}, {"00012.5e400", 401},
        {"1E-5", -5}, {"5.", 0}, {".5", -1}, {"1e99999999999999999999", qint64(1) << 40},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decimalMagnitude(c.text), c.magnitude) << c.text;
}

TEST(TextRules, TrimmingAndLineEnds)
{
    EXPECT_EQ(trimmed(" \t\r\n\v\fab c \r\n"), "ab c");
    EXPECT_EQ(trimmedEnd("  key \n"), "  key");
    EXPECT_EQ(removeLineEnds("a\rb\r\nc\n"), "abc");
    EXPECT_EQ(normaliseLineEnds("a\r\nb\rc\n\r\rd"), "a\nb\nc\n\n\nd");
}
