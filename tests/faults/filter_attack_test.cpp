// Attacks on the remote-command filter through the real relay and the real unit port, with the
// unit's answers timed by the test: held back and released one per read, an unasked line of
// the unit's own, a slow line that carries them in small pieces, and bytes above 0x7F.
// The unit is hostile but real: it runs every line it reads in order, reads only seven bits of
// each byte, and each answer reports its true levels at the moment it read the request. What is
// judged is those true levels, not what the bridge believes.

#include "support/bridge_fixture.h"

#include "support/unit_model.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using test::BridgeOnRealLinks;
using test::waitUntil;
using test::UnitLineEffect;

constexpr qint64 maxA = 50;
const QByteArray commandBlocked = ";701:command blocked";

// One move of an attack.
struct Step {
    enum class Kind { Remote, Release, UnitSpeaksUp, Pause };
    Kind kind;
    QByteArray text; // Remote: what the relay sends in one write
    int count = 1;   // Release: answers, one per read; Pause: milliseconds
};

Step remote(const QByteArray &text) { return {Step::Kind::Remote, text}; }
Step release(int answers) { return {Step::Kind::Release, {}, answers}; }
Step unitSpeaksUp() { return {Step::Kind::UnitSpeaksUp, {}, 1}; }
Step pause(int ms) { return {Step::Kind::Pause, {}, ms}; }

std::vector<Step> repeat(int times, std::initializer_list<Step> steps)
{
    std::vector<Step> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), steps);
    return all;
}

std::vector<Step> join(std::initializer_list<std::vector<Step>> parts)
{
    std::vector<Step> all;
    for (const std::vector<Step> &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

QByteArray lines(const QByteArray &line, int times) { return (line + '\n').repeated(times); }

// The lines the unit got, joined by "|", bytes outside printable ASCII as \xNN.
std::string readable(const QList<QByteArray> &commands)
{
    std::string text;
    for (const QByteArray &command : commands) {
        if (!text.empty())
            text += '|';
        for (const char c : command) {
            const auto u = static_cast<unsigned char>(c);
            text += (u >= 32 && u < 127) ? std::string(1, c) : "\\x" + QByteArray::number(u, 16).toUpper().toStdString();
        }
    }
    return text;
}

class FilterAttack : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        unit.setStatusLine(trueStatus());
        unitWatch = QObject::connect(&unit, &Q6Simulator::commandReceived, &unit, [this](const QByteArray &command) {
            model.receive(sevenBits(command) + '\r');
            judgeEffects();
            // Emitted before the simulator makes its answer: the answer reports this moment.
            unit.setStatusLine(trueStatus());
        });
        window->blockPower()->setChecked(true);
        window->blockProgram()->setChecked(true);
        window->limitA()->setChecked(true);
        window->maxA()->setText(QByteArray::number(maxA));
        bringUpRemoteControl();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(window->levelA, 20);
        unit.clearRecords();
        relay.clearRecords();
    }

    void TearDown() override
    {
        QObject::disconnect(unitWatch);
        BridgeOnRealLinks::TearDown();
    }

    // A unit that reads seven bits of each byte.
    static QByteArray sevenBits(QByteArray bytes)
    {
        for (char &c : bytes)
            c = char(static_cast<unsigned char>(c) & 0x7F);
        return bytes;
    }

    [[nodiscard]] QByteArray trueStatus() const { return model.statusLine().chopped(1); }

    void judgeEffects()
    {
        for (const UnitLineEffect &e : model.takeEffects()) {
            if (e.kind == UnitLineEffect::Kind::Power || e.kind == UnitLineEffect::Kind::Program)
                violations << "blocked command reached the unit: " + e.line;
            if (e.kind == UnitLineEffect::Kind::Level && e.channel == 'A' && e.before <= maxA && e.after > maxA)
                violations << "unit reached A " + QByteArray::number(e.after) + " (from " + QByteArray::number(e.before)
                        + ", by '" + e.line + "') while the bridge held levelA " + QByteArray::number(window->levelA);
        }
    }

    [[nodiscard]] qsizetype statusLinesRelayed() const
    {
        const QList<QByteArray> all = relay.lines();
        return std::count_if(all.begin(), all.end(), [](const QByteArray &l) { return !l.startsWith(';'); });
    }

    [[nodiscard]] qsizetype blockedAtRelay() const { return relay.lines().count(commandBlocked); }

    // Each remote line gives the unit exactly one line: itself as the filter left it, or "S".
    void run(const std::vector<Step> &steps)
    {
        for (const Step &step : steps) {
            switch (step.kind) {
            case Step::Kind::Remote: {
                const qsizetype expected = unit.commands().size() + step.text.count('\n') + (step.text.endsWith('\n') ? 0 : 1);
                ASSERT_TRUE(relay.send(step.text));
                ASSERT_TRUE(waitUntil([&] { return unit.commands().size() >= expected; }, 30000))
                    << "the unit did not get every line of " << step.text.left(40).toStdString();
                break;
            }
            case Step::Kind::Release:
                for (int i = 0; i < step.count; ++i) {
                    const qsizetype before = statusLinesRelayed();
                    ASSERT_TRUE(unit.releaseAnswer()) << "no answer held";
                    ASSERT_TRUE(waitUntil([&] { return statusLinesRelayed() > before; }))
                        << "the bridge did not read the answer";
                }
                break;
            case Step::Kind::UnitSpeaksUp: {
                const qsizetype before = statusLinesRelayed();
                ASSERT_TRUE(unit.send(model.statusLine()));
                ASSERT_TRUE(waitUntil([&] { return statusLinesRelayed() > before; }))
                    << "the bridge did not read the unit's own line";
                break;
            }
            case Step::Kind::Pause: {
                // An event loop of its own, not qWait(): that sleeps between its rounds, and the
                // unit's line must keep its pace meanwhile.
                QEventLoop loop;
                QTimer::singleShot(step.count, Qt::PreciseTimer, &loop, &QEventLoop::quit);
                loop.exec();
                break;
            }
            }
        }
    }

    // After "A50" was let through at the maximum, every raise is refused whatever the answers
    // say, and the unit never goes past the maximum.
    void expectMaximumKept(qsizetype raisesSent)
    {
        for (const QByteArray &v : std::as_const(violations))
            ADD_FAILURE() << v.toStdString();
        EXPECT_LE(model.levelA(), maxA) << "the unit ends at A " << model.levelA();
        EXPECT_TRUE(unit.commands().contains("A50")) << "the level command reaches the unit as sent";
        EXPECT_EQ(unit.commands().count("A+"), 0) << "a raise reached the unit past the maximum";
        EXPECT_TRUE(waitUntil([&] { return blockedAtRelay() >= raisesSent; }))
            << blockedAtRelay() << " of " << raisesSent << " raises answered with " << commandBlocked.toStdString();
        EXPECT_EQ(blockedAtRelay(), raisesSent);
        EXPECT_TRUE(window->linked);
    }

    test::UnitModel model {20, 10};
    QMetaObject::Connection unitWatch;
    QList<QByteArray> violations;
};

// The unit answers later than the remote's next commands, with many requests outstanding:
// answers to requests made before "A50" arrive after requests made after it.
TEST_F(FilterAttack, AnswersLaggingBehindManyRequestsLetNoRaisePastTheMaximum)
{
    unit.holdAnswers();
    run(join({{remote(lines("S", 37)), remote("A50"), remote("S"), release(32)},
              repeat(5, {remote("S"), release(1), remote("A+")})}));
    ASSERT_FALSE(HasFatalFailure());
    expectMaximumKept(5);
}

// A Q6 reports on its own (a knob turned, power-up): a line nobody asked for must not shift
// which request a later answer belongs to.
TEST_F(FilterAttack, AnUnaskedStatusLineLetsNoRaisePastTheMaximum)
{
    unit.holdAnswers();
    run({remote("S"), unitSpeaksUp(), remote("A50"), remote("S"), release(1), remote("A+"), release(1), remote("A+")});
    ASSERT_FALSE(HasFatalFailure());
    expectMaximumKept(2);
}

// A slow line: the answers to a thousand requests reach the bridge in pieces of 1 to 12 bytes
// (so framing loses many of them) while the remote keeps asking and raising.
TEST_F(FilterAttack, AnswersInSmallPiecesOnASlowLineLetNoRaisePastTheMaximum)
{
    constexpr int rounds = 15;
    unit.trickleAnswers(12, 1);
    run(join({{remote(lines("S", 1000)), remote("A50")},
              repeat(rounds, {pause(100), remote("S"), pause(100), remote("A+")})}));
    ASSERT_FALSE(HasFatalFailure());
    expectMaximumKept(rounds);
}

// A byte above 0x7F is refused like a control byte: a unit that reads seven bits would take
// it for a letter or a line end.
TEST_F(FilterAttack, CommandsWithBytesAboveSevenBitsAreRefusedWhole)
{
    const struct {
        QByteArray command;
        const char *sevenBitReading;
    } cases[] = {
        {"\xC1"
         "80",
         "A80"},
        {"A30\x8D"
         "A90",
         "A30, then A90"},
        {"\xCD"
         "1",
         "M1 with program changes blocked"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sevenBitReading);
        unit.clearRecords();
        run({remote(c.command)});
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(readable(unit.commands()), "S") << "instead of the refused command, only a status request";
    }
    const qsizetype refused = std::size(cases);
    EXPECT_TRUE(waitUntil([&] { return blockedAtRelay() >= refused; }))
        << blockedAtRelay() << " of " << refused << " answered with " << commandBlocked.toStdString();
    for (const QByteArray &v : std::as_const(violations))
        ADD_FAILURE() << v.toStdString();
    EXPECT_EQ(model.levelA(), 20);

    // The ordinary road still works.
    unit.clearRecords();
    run({remote("A30")});
    EXPECT_EQ(readable(unit.commands()), "A30");
    EXPECT_EQ(model.levelA(), 30);
    EXPECT_EQ(blockedAtRelay(), refused);
}

} // namespace
