// Remote commands through the relay handler to the unit: the user's limits as the unit sees
// them, a refusal's answers and log lines, line ends inside a command, and live settings.

#include "support/bridge_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStackedWidget>

namespace {

using test::LinkedBridge;

struct LimitCase {
    const char *name;
    qint64 levelA;
    QByteArray command;
    QByteArray reaches; // at the unit; "S" for a refusal
    bool refused;
};

void PrintTo(const LimitCase &c, std::ostream *out) { *out << c.name; }

class ChannelALimitedTo50 : public LinkedBridge, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(ChannelALimitedTo50, ReachesTheUnitAs)
{
    const LimitCase &c = GetParam();
    window->limitA()->setChecked(true);
    window->maxA()->setText(QStringLiteral("50"));
    reportLevels(c.levelA, 0);
    deliver(c.command);
    ASSERT_TRUE(unit.waitForCommands(1));
    ASSERT_TRUE(!c.refused || relay.waitForLines(1));
    settle();
    EXPECT_EQ(unit.received(), c.reaches + "\r");
    if (c.refused) {
        EXPECT_EQ(relay.lines(), QList<QByteArray>{";701:command blocked"});
    } else {
        EXPECT_TRUE(relay.lines().isEmpty());
        EXPECT_EQ(log(), QStringList{">SERIAL|" + QString::fromLatin1(c.reaches)})
            << "an allowed command is logged only as the command sent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ChannelALimitedTo50,
    ::testing::Values(LimitCase{"BelowTheMaximumPasses", 20, "A30", "A30", false},
                      LimitCase{"AboveTheMaximumIsClamped", 20, "A80", "A50", false},
                      LimitCase{"AtTheMaximumBecomesItsText", 20, "A50", "A50", false},
                      LimitCase{"RaiseFromTheMaximumIsRefused", 50, "A60", "S", true},
                      LimitCase{"LoweringPasses", 60, "A10", "A10", false},
                      LimitCase{"StepBelowTheMaximumPasses", 49, "A+", "A+", false},
                      LimitCase{"StepAtTheMaximumIsRefused", 50, "A+", "S", true},
                      LimitCase{"OtherChannelsFirstDigitsAreNotJudged", 20, "A30B90", "A30B90", false},
                      LimitCase{"ProgramCommandWithALevelInsidePasses", 20, "MA90", "MA90", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LinkedBridge, WithoutTheLimitEveryChannelACommandPasses)
{
    window->limitA()->setChecked(false);
    window->maxA()->setText(QStringLiteral("50"));
    reportLevels(50, 0);
    deliver("A99");
    ASSERT_TRUE(unit.waitForCommand("A99"));
}

TEST_F(LinkedBridge, RefusalLogsThreeLinesInOrderAndAnswersBothSides)
{
    window->blockProgram()->setChecked(true);
    services.clock = 1'700'000'321.4;
    deliver("M1\n");
    ASSERT_TRUE(relay.waitForLine(";701:command blocked"));
    ASSERT_TRUE(unit.waitForCommands(1));
    settle();
    EXPECT_EQ(relay.received(), QByteArray(";701:command blocked\r"));
    EXPECT_EQ(unit.received(), QByteArray("S\r"));
    EXPECT_EQ(log().mid(0, 3), (QStringList{" STATUS|Remote command blocked by preferences: M1",
                                            ">SERVER|;701:command blocked", ">SERIAL|S"}));
    EXPECT_EQ(window->lastWrite, 1'700'000'321);
    EXPECT_EQ(window->lastRemote, 1'700'000'321);
}

TEST_F(LinkedBridge, PowerCommandsAreRefusedWhileBlocked)
{
    window->blockPower()->setChecked(true);
    deliver("H");
    ASSERT_TRUE(relay.waitForLine(";701:command blocked"));
    deliver("L");
    ASSERT_TRUE(relay.waitForLines(2));
    ASSERT_TRUE(unit.waitForCommands(2));
    EXPECT_EQ(unit.commands(), (QList<QByteArray>{"S", "S"}));
}

TEST_F(LinkedBridge, LinesInsideOneReadReachTheUnitAsSeparateFilteredCommands)
{
    window->limitA()->setChecked(true);
    window->maxA()->setText(QStringLiteral("50"));
    reportLevels(20, 0);
    deliver("A30\nA99");
    ASSERT_TRUE(unit.waitForCommands(2));
    settle();
    EXPECT_EQ(unit.received(), QByteArray("A30\rA50\r")) << "no line end inside a command, each one judged";

    unit.clearRecords();
    deliver("A10\r\nB7\r\n\r\n");
    ASSERT_TRUE(unit.waitForCommands(2));
    settle();
    EXPECT_EQ(unit.received(), QByteArray("A10\rB7\r"));
}

TEST_F(LinkedBridge, SecondCommandInOneReadIsRefusedOnItsOwn)
{
    window->blockProgram()->setChecked(true);
    deliver("A10\nM3");
    ASSERT_TRUE(relay.waitForLine(";701:command blocked"));
    ASSERT_TRUE(unit.waitForCommands(2));
    settle();
    EXPECT_EQ(unit.commands(), (QList<QByteArray>{"A10", "S"}));
    EXPECT_EQ(relay.lines(), QList<QByteArray>{";701:command blocked"});
}

TEST_F(LinkedBridge, ChangesOnThePreferencesPageActOnTheNextCommandBeforeSave)
{
    reportLevels(20, 20);
    window->bridgeUI()->setCurrentIndex(1);

    deliver("B80");
    ASSERT_TRUE(unit.waitForCommand("B80"));

    QLineEdit *maxB = window->maxB();
    maxB->selectAll();
    QTest::keyClicks(maxB, QStringLiteral("40"));
    QTest::mouseClick(window->limitB(), Qt::LeftButton, {}, QPoint(4, window->limitB()->height() / 2));
    ASSERT_TRUE(window->limitB()->isChecked());
    deliver("B20"); // the unit stands at 80 since the last command: lower it first
    ASSERT_TRUE(unit.waitForCommand("B20"));
    deliver("B80");
    ASSERT_TRUE(unit.waitForCommand("B40"));

    QTest::mouseClick(window->blockProgram(), Qt::LeftButton, {}, QPoint(4, window->blockProgram()->height() / 2));
    ASSERT_TRUE(window->blockProgram()->isChecked());
    deliver("M2");
    ASSERT_TRUE(relay.waitForLine(";701:command blocked"));
    EXPECT_EQ(unit.commands().last(), QByteArray("S"));
}

} // namespace
