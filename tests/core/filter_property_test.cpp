// Random remote texts through relay framing, the split, the filter and its memory into the unit
// model: the blocks and limits hold for every line the unit reads.

#include "core/command_filter.h"
#include "core/relay_framing.h"
#include "core/status_line.h"
#include "core/text_number.h"
#include "support/unit_model.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelvo;
using test::UnitLineEffect;
using test::UnitModel;

namespace {

const QByteArray maxTexts[] = {"50", " 50", "0", "1", "50.5", "+50", "5e1", "50e-1", "abc", "", "-5", "1e999", "100"};
const char alphabet[] = "AaBbAaBbMmLlHhSsK0123456789++++--  \t\t\r\n;.e";

struct Session {
    std::mt19937_64 rng;
    FilterSettings settings;
    UnitModel unit;
    FilterMemory memory;
    qint64 levelA = 0;
    qint64 levelB = 0;
    QByteArray trace;

    int pick(int n) { return int(rng() % unsigned(n)); }
    void randomSettings()
    {
        settings.blockPower = pick(2);
        settings.blockProgram = pick(2);
        settings.limitA = pick(4) != 0;
        settings.limitB = pick(4) != 0;
        settings.maxA = pick(3) ? QByteArray::number(pick(120)) : maxTexts[pick(std::size(maxTexts))];
        settings.maxB = pick(3) ? QByteArray::number(pick(120)) : maxTexts[pick(std::size(maxTexts))];
        trace += "settings power=" + QByteArray::number(settings.blockPower) + " program=" +
            QByteArray::number(settings.blockProgram) + " A=" + QByteArray::number(settings.limitA) + "/'" +
            settings.maxA + "' B=" + QByteArray::number(settings.limitB) + "/'" + settings.maxB + "'\n";
    }
    QByteArray randomText()
    {
        QByteArray t;
        const int length = pick(10);
        for (int i = 0; i < length; ++i)
            t += alphabet[pick(sizeof alphabet - 1)];
        if (pick(20) == 0)
            t += QByteArray::number(qulonglong(rng()));
        return t;
    }
    // A status line, as the bridge would parse it from the unit's answer.
    void takeStatus(const QByteArray &answer)
    {
        const UnitFrame frame = frameUnitLine(answer);
        ASSERT_EQ(frame.kind, UnitFrame::Kind::Line);
        const auto status = parseStatusLine(frame.line);
        ASSERT_TRUE(status);
        levelA = status->levelA;
        levelB = status->levelB;
        memory.resetFromStatus(levelA, levelB);
    }
    void checkEffects()
    {
        for (const UnitLineEffect &e : unit.takeEffects()) {
            const QByteArray where = "line '" + e.line + "'\n" + trace;
            if (e.kind == UnitLineEffect::Kind::Power) {
                ASSERT_FALSE(settings.blockPower) << where.constData();
            }
            if (e.kind == UnitLineEffect::Kind::Program) {
                ASSERT_FALSE(settings.blockProgram) << where.constData();
            }
            if (e.kind != UnitLineEffect::Kind::Level)
                continue;
            const bool limited = e.channel == 'A' ? settings.limitA : settings.limitB;
            if (!limited)
                continue;
            const double max = textNumber(e.channel == 'A' ? settings.maxA : settings.maxB);
            if (double(e.before) <= max) {
                ASSERT_LE(double(e.after), max) << where.constData();
            } else {
                ASSERT_LE(e.after, e.before) << where.constData();
            }
        }
    }
    void remoteRead(const QByteArray &raw)
    {
        trace += "read '" + raw + "' levels " + QByteArray::number(unit.levelA()) + "/" +
            QByteArray::number(unit.levelB()) + " reported " + QByteArray::number(levelA) + "/" +
            QByteArray::number(levelB) + "\n";
        const RelayFrame frame = frameRelayRead(raw);
        if (frame.kind == RelayFrame::Kind::ServerMessage)
            return;
        for (const QByteArray &command : splitRemoteCommands(frame.text)) {
            const FilterOutcome out = filterRemoteCommand(command, settings, levelA, levelB, memory);
            memory = out.memory;
            if (out.allowed) {
                trace += "  sent '" + out.command + "'\n";
                memory.noteLineSent(out.command);
                const QByteArray answer = unit.receive(out.command + "\r");
                checkEffects();
                if (!answer.isEmpty())
                    takeStatus(answer);
            } else {
                trace += "  refused '" + out.command + "'\n";
                memory.noteLineSent("S");
                takeStatus(unit.receive("S\r"));
            }
        }
    }
};

} // namespace

TEST(FilterProperty, LimitsAndBlocksHoldForRandomRemoteTexts)
{
    const unsigned seed = 20261210;
    std::mt19937_64 master(seed);
    int texts = 0;
    for (int session = 0; texts < 120000; ++session) {
        Session s;
        s.rng.seed(master());
        s.unit = UnitModel(s.pick(130) - 3, s.pick(130) - 3);
        s.randomSettings();
        s.takeStatus(s.unit.receive("S\r"));
        s.unit.takeEffects();
        const int reads = 1 + s.pick(12);
        for (int r = 0; r < reads; ++r, ++texts) {
            if (s.pick(10) == 0)
                s.randomSettings();
            if (s.pick(8) == 0)
                s.takeStatus(s.unit.receive("S\r")); // the ping tick's poll
            s.unit.takeEffects();
            s.remoteRead(s.randomText());
            if (testing::Test::HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed << ", session " << session;
                return;
            }
        }
    }
}
