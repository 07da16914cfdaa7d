// The relay floods the bridge with remote commands as fast as it can, some of them carrying
// line ends meant to slip a second command past the filter, while blocks and limits are set.
// The simulator plays a Q6 that really takes the commands (its status lines report the levels
// they set), and every line it reads must keep the blocks and limits.

#include "support/bridge_fixture.h"

#include "core/rules/text_number.h"
#include "support/unit_model.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <random>

namespace {

// How much the process may grow over the burst. AddressSanitizer keeps freed memory in its
// quarantine (256 MB by default), so there the bound only catches growth beyond that.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 residentGrowthBound = 512LL * 1024 * 1024;
#else
constexpr qint64 residentGrowthBound = 64LL * 1024 * 1024;
#endif

using test::BridgeOnRealLinks;
using test::UnitLineEffect;

// Resident set size of this process in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

QByteArray randomCommand(std::mt19937_64 &rng, bool withRaises)
{
    static const char withPlus[] = "AaBbAaBbAABBMmLlHhSK0123456789++++  \t";
    static const char withoutPlus[] = "AaBbAaBbAABBMmLlHhSK0123456789  \t";
    const char *alphabet = withRaises ? withPlus : withoutPlus;
    const int letters = int(withRaises ? sizeof withPlus - 1 : sizeof withoutPlus - 1);
    static const char *const smuggled[] = {"\n", "\r", "\r\n", "\n\n"};
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    QByteArray command;
    const int length = 1 + pick(7);
    for (int i = 0; i < length; ++i)
        command += alphabet[pick(letters)];
    if (pick(30) == 0)
        command += QByteArray::number(qulonglong(rng()));
    switch (pick(6)) {
    case 0: // a second command behind a line end
        command += smuggled[pick(4)] + QByteArray(pick(2) ? "A" : "B") + QByteArray::number(pick(200));
        break;
    case 1: // a line end after the command
        command += smuggled[pick(4)];
        break;
    case 2: // a raise or a power change hidden after a line end
        command += smuggled[pick(4)] + QByteArray(withRaises && pick(2) ? "A+" : pick(2) ? "L5" : "M2");
        break;
    default:
        break;
    }
    return command;
}

class CommandBurst : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        unit.setStatusLine(statusOf(model));
        unitWatch = QObject::connect(&unit, &Q6Simulator::commandReceived, &unit, [this](const QByteArray &command) {
            const bool asked = !model.receive(command + '\r').isEmpty();
            checkEffects();
            // The answer reports what the unit now holds.
            unit.setStatusLine(statusOf(model));
            if (!answering || !asked || answerQueued)
                return;
            // Requests that come faster than the line can carry answers get one answer, sent
            // from the event loop: the simulator writes in the test's thread and must never
            // fill the pseudo-terminal while the bridge cannot read it.
            answerQueued = true;
            QTimer::singleShot(0, &unit, [this] {
                answerQueued = false;
                unit.send(model.statusLine());
            });
        });
        window->blockPower()->setChecked(true);
        window->blockProgram()->setChecked(true);
        window->limitA()->setChecked(true);
        window->maxA()->setText(QStringLiteral("50"));
        window->limitB()->setChecked(true);
        window->maxB()->setText(QStringLiteral("30"));
    }

    void TearDown() override
    {
        QObject::disconnect(unitWatch);
        BridgeOnRealLinks::TearDown();
    }

    static QByteArray statusOf(const test::UnitModel &unitModel) { return unitModel.statusLine().chopped(1); }

    void checkEffects()
    {
        for (const UnitLineEffect &e : model.takeEffects()) {
            ++effects;
            if (e.kind == UnitLineEffect::Kind::Power || e.kind == UnitLineEffect::Kind::Program) {
                violations << "blocked command reached the unit: " + e.line;
                continue;
            }
            if (e.kind != UnitLineEffect::Kind::Level)
                continue;
            const double max = e.channel == 'A' ? 50.0 : 30.0;
            const bool kept = double(e.before) <= max ? double(e.after) <= max : e.after <= e.before;
            if (!kept)
                violations << "limit broken by '" + e.line + "': " + QByteArray(1, e.channel) + " "
                        + QByteArray::number(e.before) + " -> " + QByteArray::number(e.after);
        }
    }

    void runBurst(bool withRaises);

    test::UnitModel model {20, 10};
    QMetaObject::Connection unitWatch;
    QList<QByteArray> violations;
    int effects = 0;
    bool answering = false;
    bool answerQueued = false;
};

void CommandBurst::runBurst(bool withRaises)
{
    bringUpRemoteControl();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(window->levelA, 20);
    window->logging = false; // the log window's own growth is not the bridge's
    unit.setSilent(true);
    answering = true;
    unit.clearRecords();
    relay.clearRecords();
    QTest::qWait(50);
    const qint64 rssBefore = residentBytes();

    std::mt19937_64 rng(20261210);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_TRUE(relay.send(randomCommand(rng, withRaises)));
        if (i % 50 == 49)
            QCoreApplication::processEvents();
    }
    // A last command on a line of its own shows when the flood has been worked through.
    ASSERT_TRUE(relay.send("\nZEND\n"));
    ASSERT_TRUE(unit.waitForCommand("ZEND", 60000)) << "the burst was not worked through";
    QTest::qWait(200);

    for (const QByteArray &v : violations)
        ADD_FAILURE() << v.toStdString();
    EXPECT_GT(effects, 1000) << "the burst should move the unit a lot";
    // Each line the unit got is one the filter judged: no line end and no control byte inside.
    for (const QByteArray &command : unit.commands()) {
        for (const char c : command)
            ASSERT_TRUE(static_cast<unsigned char>(c) >= 32 || c == '\t') << "control byte sent: " << command.toStdString();
    }
    EXPECT_LE(model.levelA(), 50);
    EXPECT_LE(model.levelB(), 30);

    // Bounded: no receive buffer left over, and the process has not grown much.
    EXPECT_TRUE(window->kelvoResults.isEmpty());
    const qint64 grown = residentBytes() - rssBefore;
    EXPECT_LT(grown, residentGrowthBound) << grown << " bytes more resident after the burst";

    // The road still works afterwards.
    window->logging = true;
    unit.clearRecords();
    ASSERT_TRUE(relay.send("A1"));
    EXPECT_TRUE(unit.waitForCommand("A1"));
    EXPECT_TRUE(window->linked);
    EXPECT_TRUE(window->serverconnected);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(CommandBurst, TenThousandRandomLevelAndBlockedCommandsKeepEveryLimitAndLeaveNothingBehind)
{
    runBurst(false);
}

// Raises ("A+") among the commands: a status line the unit sent before it read the commands
// still on the line must not make the filter forget them (say "A50" at maximum 50, then "A+").
TEST_F(CommandBurst, TenThousandRandomCommandsWithRaisesKeepEveryLimit)
{
    runBurst(true);
}

} // namespace
