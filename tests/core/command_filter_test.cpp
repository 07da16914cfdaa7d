#include "core/rules/command_filter.h"

#include <gtest/gtest.h>

#include <utility>

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

// The unit has reported these levels, and nothing was let through since.
FilterMemory fresh(qint64, qint64)
{
    FilterMemory m;
    m.levelsReported = true;
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
        // A unit that reads 7 bits would see "A80", "A30" + CR + "A90" and "M1" in these.
        {"byte above 0x7F, A", "\xc1" "80", 20, false, "\xc1" "80"},
        {"byte above 0x7F, CR", "A30\x8d" "A90", 20, false, "A30\x8d" "A90"},
        {"byte above 0x7F, M", "\xcd" "1", 20, false, "\xcd" "1", with(limitedA("50"), &FilterSettings::blockProgram)},
        {"byte above 0x7F, unlimited", "A1\xff", 20, false, "A1\xff", FilterSettings{}},
    };
    for (const Case &c : cases)
        run(c, fresh(c.levelA, c.levelB));
}

// One command after another, each judged with the levels last reported at that moment.
class Steps {
public:
    explicit Steps(FilterSettings s, FilterMemory m = fresh(0, 0)) : settings(std::move(s)), memory(m) {}

    bool operator()(const QByteArray &command, qint64 reportedA, qint64 reportedB = 0)
    {
        const FilterOutcome out = filterRemoteCommand(command, settings, reportedA, reportedB, memory);
        if (out.allowed)
            memory = out.memory;
        lastSent = out.command;
        return out.allowed;
    }

    FilterSettings settings;
    FilterMemory memory;
    QByteArray lastSent;
};

// The unit runs commands in order, so the level the filter let it reach holds whatever a late,
// lost or unasked status line reports.
TEST(CommandFilter, JudgesByWhatItCommandedWhateverTheStatusLinesSay)
{
    Steps step(limitedA("50"));
    EXPECT_TRUE(step("A+", 49));
    EXPECT_FALSE(step("A+", 49)) << "the first raise reached 50";

    step = Steps(limitedA("50"));
    EXPECT_TRUE(step("A50", 20));
    for (const qint64 report : {20, 10, 49, 0, -3})
        EXPECT_FALSE(step("A+", report)) << "A50 stands, whatever a report of " << report << " says";
    EXPECT_FALSE(step("A80", 20)) << "at the maximum already";
    EXPECT_TRUE(step("A30", 20));
    EXPECT_FALSE(step("A+", 50)) << "a report above what was commanded may be a change at the unit";
    EXPECT_TRUE(step("A+", 30));
}

TEST(CommandFilter, LoweringIsJudgedAgainstTheLowerOfCommandedAndReported)
{
    Steps step(limitedA("50"));
    EXPECT_TRUE(step("A10", 60)) << "below the maximum is always safe";
    EXPECT_FALSE(step("A60", 60)) << "the reported 60 is stale after A10";
    EXPECT_TRUE(step("A30", 60));

    step = Steps(limitedA("50"));
    EXPECT_TRUE(step("A55", 60)) << "a certain lowering above the maximum";
    EXPECT_EQ(step.lastSent, "A55");
    EXPECT_FALSE(step("A+", 55));
    EXPECT_TRUE(step("A54", 70)) << "below the commanded 55";
    EXPECT_FALSE(step("A56", 70)) << "above the commanded 54: the report of 70 may be stale";
}

TEST(CommandFilter, AChangeAtTheUnitReportedBeforeACommandCounts)
{
    Steps step(limitedA("50"));
    EXPECT_TRUE(step("A20", 20));
    EXPECT_FALSE(step("A+", 50)) << "turned up to 50 at the unit";
    EXPECT_TRUE(step("A+", 45));
    EXPECT_FALSE(step("A80", 60)) << "above the maximum at the unit: no clamp up to it";
    EXPECT_TRUE(step("A40", 60));
    // Turned down at the unit: a report cannot be told from a stale one, so the level the
    // filter commanded still counts for raises until a level command sets it anew.
    EXPECT_TRUE(step("A50", 10));
    EXPECT_FALSE(step("A+", 10));
    EXPECT_TRUE(step("A11", 10));
    EXPECT_TRUE(step("A+", 10));
}

TEST(CommandFilter, ChannelsAreTrackedWhileUnlimitedAndBeforeAnyReport)
{
    FilterSettings unlimited;
    Steps step(unlimited);
    EXPECT_TRUE(step("A90", 20));
    EXPECT_TRUE(step("B99999999999999999999", 20));
    step.settings = limitedA("50");
    step.settings.limitB = true;
    EXPECT_FALSE(step("A+", 20)) << "90 was commanded while the limit was off";
    EXPECT_FALSE(step("A60", 20)) << "nothing certain makes 60 a lowering";
    EXPECT_TRUE(step("A60", 95)) << "below both the commanded 90 and the reported 95";
    EXPECT_FALSE(step("B+", 0)) << "B saturated at the largest level";

    Steps nothingKnown(limitedA("50"), FilterMemory{});
    EXPECT_FALSE(nothingKnown("A+", 0)) << "nothing known before a status line";
    EXPECT_FALSE(nothingKnown("A80", 0));
    EXPECT_TRUE(nothingKnown("A30", 0));
    EXPECT_TRUE(nothingKnown("A+", 0)) << "A30 is known now";
}

// Commands thrown away ahead of an OFF never reached the unit, one perhaps cut short: where a
// channel stands is unknown both ways, whatever was commanded or reported, until a level command
// for that channel.
TEST(CommandFilter, AfterCommandsTakenBackOnlyALevelCommandSaysWhereAChannelStands)
{
    FilterSettings limits = limitedA("50");
    limits.limitB = true;
    limits.maxB = "50";
    Steps step(limits);
    EXPECT_TRUE(step("A50", 20));
    EXPECT_TRUE(step("A10", 20)); // perhaps never read
    EXPECT_TRUE(step("B70", 80)) << "a lowering from the reported 80";
    step.memory = kelvo::afterCommandsTakenBack(step.memory);

    EXPECT_FALSE(step("A+", 10)) << "the unit may stand at 50";
    EXPECT_FALSE(step("A80", 10)) << "no clamp up to the maximum from an unknown level";
    EXPECT_FALSE(step("B60", 80)) << "a cut command may have left B low: 60 is no certain lowering";
    EXPECT_TRUE(step("A20", 10));
    EXPECT_TRUE(step("A+", 10)) << "A20 is known now";
    EXPECT_FALSE(step("B+", 0)) << "B is still unknown";
}
