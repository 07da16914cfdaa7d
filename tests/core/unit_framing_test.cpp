#include "core/rules/status_line.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {
const QByteArray valid = "500:40:60:0:0:0:0:0:2.107";
}

TEST(UnitFraming, FramesOneLineFromTheBuffer)
{
    using K = UnitFrame::Kind;
    const struct { QByteArray buffer; K kind; QByteArray line; } cases[] = {
        {"500:40", K::Incomplete, ""},
        {"500:40:60:0:0", K::Incomplete, ""},
        {valid + "\n", K::Line, valid},
        {valid + "\r\n", K::Line, valid},
        {"500:4\r0:60\n", K::Line, "500:40:60"},
        {"first\nsecond\n", K::Line, "first"},
        {"\n", K::Line, ""},
        {"  a b \t\n", K::Line, "a b"},
        {"", K::Incomplete, ""},
        {QByteArray(4096, 'x'), K::Incomplete, ""},
        {QByteArray(4097, 'x'), K::Overflow, ""},
        {QByteArray(5000, 'x') + "\n", K::Line, QByteArray(5000, 'x')},
    };
    for (const auto &c : cases) {
        const UnitFrame f = frameUnitLine(c.buffer);
        EXPECT_EQ(f.kind, c.kind) << c.buffer.left(40).constData();
        EXPECT_EQ(f.line, c.line) << c.buffer.left(40).constData();
    }
}

TEST(StatusLine, ValidOnlyWithNineFields)
{
    EXPECT_TRUE(parseStatusLine(valid));
    EXPECT_FALSE(parseStatusLine("1:2:3:4:5:6:7:8"));
    EXPECT_FALSE(parseStatusLine("1:2:3:4:5:6:7:8:9:10"));
    EXPECT_FALSE(parseStatusLine(""));
    const auto empty = parseStatusLine("::::::::");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->levelA, 0);
    EXPECT_EQ(empty->version, "");
    EXPECT_EQ(empty->battery, BatteryPicture::Low);
    EXPECT_FALSE(empty->supportsRelativeLevels);
}

TEST(StatusLine, BatteryPicture)
{
    using P = BatteryPicture;
    const struct { const char *raw; P picture; } cases[] = {
        {"366", P::Low}, {"367", P::Quarter}, {"429", P::Quarter}, {"430", P::Half},
        {"535", P::Half}, {"536", P::ThreeQuarters}, {"640", P::ThreeQuarters}, {"641", P::Full},
        {"0", P::Low},
    };
    for (const auto &c : cases) {
        const auto s = parseStatusLine(QByteArray(c.raw) + ":0:0:0:0:0:0:0:1");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->battery, c.picture) << c.raw;
    }
    EXPECT_EQ(parseStatusLine("0:0:0:0:0:0:0:0:1")->batteryPercent, -75);
}

TEST(StatusLine, LevelsAndFirmware)
{
    const struct { const char *field; qint64 level; } levels[] = {
        {"7", 3}, {"200", 100}, {"-3", -1}, {"1e30", std::numeric_limits<qint64>::max()}, {"x", 0},
    };
    for (const auto &c : levels) {
        const auto s = parseStatusLine(QByteArray("500:") + c.field + ":" + c.field + ":0:0:0:0:0:1");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->levelA, c.level) << c.field;
        EXPECT_EQ(s->levelB, c.level) << c.field;
    }
    const struct { const char *version; bool supported; } firmware[] = {
        {"2.107", true}, {"2.106", false}, {"2.2", true}, {"10", true}, {"v2.2", false},
    };
    for (const auto &c : firmware) {
        const auto s = parseStatusLine(QByteArray("500:0:0:0:0:0:0:0:") + c.version);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->supportsRelativeLevels, c.supported) << c.version;
        EXPECT_EQ(s->version, c.version);
    }
}
