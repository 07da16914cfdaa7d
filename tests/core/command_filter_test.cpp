#include "core/command_filter.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

FilterSettings limitedA(const QByteArray &max)
{
    FilterSettings s;
    s.limitA = true;
    s.maxA = max;
    return s;
}

FilterSettings with(FilterSettings s, bool FilterSettings::*flag)
{
    s.*flag = true;
    return s;
}

struct Case {
    const char *name;
    QByteArray command;
    qint64 levelA;
    bool allowed;
    QByteArray sent;
    FilterSettings settings = limitedA("50");
    qint64 levelB = 0;
};

void run(const Case &c, const FilterMemory &memory)
{
    const FilterOutcome out = filterRemoteCommand(c.command, c.settings, c.levelA, c.levelB, memory);
    EXPECT_EQ(out.allowed, c.allowed) << c.name;
    EXPECT_EQ(out.command, c.sent) << c.name;
}

// The status line that answers a request made just now.
void answered(FilterMemory &m, qint64 a, qint64 b)
{
    m.noteLineSent("S");
    m.resetFromStatus(a, b);
}

FilterMemory fresh(qint64 a, qint64 b)
{
    FilterMemory m;
    answered(m, a, b);
    return m;
}

} // namespace

TEST(CommandFilter, WorkedExamplesAndEdgeCases)
{
    FilterSettings b90 = limitedA("50");
    b90.limitB = true;
    b90.maxB = "90";
    const Case cases[] = {
        {"A30 passes", "A30", 20, true, "A30"},
        {"A80 clamped", "A80", 20, true, "A50"},
        {"A50 clamped to text", "A50", 20, true, "A50"},
        {"A60 at max refused", "A60", 50, false, "A60"},
        {"A10 lowering", "A10", 60, true, "A10"},
        {"A+ below max", "A+", 49, true, "A+"},
        {"A+ at max", "A+", 50, false, "A+"},
        {"unlimited A", "A999", 20, true, "A999", FilterSettings{}},
        {"M then A90", "MA90", 20, true, "MA90"},
        {"M blocked", "M1", 20, false, "M1", with(limitedA("50"), &FilterSettings::blockProgram)},
        {"L blocked", "L5", 20, false, "L5", with(limitedA("50"), &FilterSettings::blockPower)},
        {"H blocked", "H5", 20, false, "H5", with(limitedA("50"), &FilterSettings::blockPower)},
        {"A30B90 only A30 examined", "A30B90", 20, true, "A30B90"},
        {"clamp keeps blank", "A80", 20, true, "A 50", limitedA(" 50")},
        {"max not a number", "A5", 0, false, "A5", limitedA("abc")},
        {"max not a number, A+", "A+", 0, false, "A+", limitedA("")},
        {"B clamped", "B95", 0, true, "B90", b90, 10},
        {"B+ at max", "B+", 0, false, "B+", b90, 90},
        {"empty command", "", 0, true, ""},
        {"S passes", "S", 0, true, "S"},
    };
    for (const Case &c : cases)
        run(c, fresh(c.levelA, c.levelB));
}

TEST(CommandFilter, Mends)
{
    const Case cases[] = {
        {"lower case level", "a80", 20, true, "A50"},
        {"leading blank", " A80", 20, true, "A50"},
        {"blank before digits", "A 99", 20, true, "A50"},
        {"tab then L", "\tL5", 20, false, "\tL5", with(limitedA("50"), &FilterSettings::blockPower)},
        {"lower m", "m1", 20, false, "m1", with(limitedA("50"), &FilterSettings::blockProgram)},
        {"lower a+", "a+", 50, false, "a+"},
        {"control byte", "A1\x01", 20, false, "A1\x01"},
        {"DEL byte", "S\x7f", 20, false, "S\x7f"},
        {"CR inside", "A1\rA99", 20, false, "A1\rA99"},
        {"too large for 64 bits", "A99999999999999999999", 20, false, "A99999999999999999999"},
        {"too large, B unlimited", "B99999999999999999999", 20, true, "B99999999999999999999"},
        {"fractional max, A+", "A+", 50, false, "A+", limitedA("50.5")},
        {"fractional max, A+ below", "A+", 49, true, "A+", limitedA("50.5")},
        {"clamp text a raise", "A80", 20, false, "A80", limitedA("+50")},
        {"clamp text above max", "A80", 20, false, "A80", limitedA("50e-1")},
    };
    for (const Case &c : cases)
        run(c, fresh(c.levelA, c.levelB));
}

TEST(CommandFilter, RemembersWhatItLetThrough)
{
    const FilterSettings s = limitedA("50");
    auto step = [&](FilterMemory &m, const QByteArray &command, qint64 levelA) {
        const FilterOutcome out = filterRemoteCommand(command, s, levelA, 0, m);
        m = out.memory;
        return out.allowed;
    };
    FilterMemory m = fresh(49, 0);
    EXPECT_TRUE(step(m, "A+", 49));
    EXPECT_FALSE(step(m, "A+", 49)) << "the first raise may have reached 50";
    m = fresh(49, 0);
    EXPECT_TRUE(step(m, "A50", 49));
    EXPECT_FALSE(step(m, "A+", 49));
    m = fresh(60, 0);
    EXPECT_TRUE(step(m, "A10", 60));
    EXPECT_FALSE(step(m, "A60", 60)) << "the reported 60 is stale after A10";
    EXPECT_TRUE(step(m, "A30", 60)) << "below the maximum is always safe";
    m = fresh(60, 0);
    EXPECT_TRUE(step(m, "A55", 60)) << "a certain lowering above the maximum";
    EXPECT_FALSE(step(m, "A+", 55)) << "judged by the highest level since the status line";
    answered(m, 10, 0);
    EXPECT_TRUE(step(m, "A+", 10));
    EXPECT_FALSE(step(m, "A+", 10)) << "unknown after a raise";
    answered(m, 10, 0);
    EXPECT_TRUE(step(m, "A+", 10));
    FilterMemory unknown;
    EXPECT_FALSE(step(unknown, "A+", 0)) << "nothing known before a status line";
}

// The serial line is slower than the relay: a status line can answer a request that was sent
// before the filter let more commands through.
TEST(CommandFilter, AStatusLineCountsFromTheRequestItAnswers)
{
    const FilterSettings s = limitedA("50");
    auto step = [&](FilterMemory &m, const QByteArray &command, qint64 levelA) {
        const FilterOutcome out = filterRemoteCommand(command, s, levelA, 0, m);
        m = out.memory;
        if (out.allowed)
            m.noteLineSent(out.command);
        return out.allowed;
    };
    FilterMemory m = fresh(10, 0);
    m.noteLineSent("S"); // asked while the unit stood at 10
    EXPECT_TRUE(step(m, "A80", 10)); // clamped to A50
    m.resetFromStatus(10, 0); // the answer to the request before the clamp
    EXPECT_FALSE(step(m, "A+", 10)) << "the unit may stand at 50 since the request";

    m = fresh(10, 0);
    EXPECT_TRUE(step(m, "A+", 10));
    m.resetFromStatus(11, 0); // a line nobody asked for tells nothing about what came after
    EXPECT_FALSE(step(m, "A+", 11));
    answered(m, 11, 0);
    EXPECT_TRUE(step(m, "A+", 11)) << "an answer to a request made after the raise is fresh";

    m = fresh(10, 0);
    for (std::size_t i = 0; i < FilterMemory::maxRequests + 5; ++i)
        m.noteLineSent(" s");
    EXPECT_EQ(m.requests.size(), FilterMemory::maxRequests) << "unanswered requests stay bounded";
    m.noteLineSent("K");
    EXPECT_EQ(m.requests.size(), FilterMemory::maxRequests);
}
