// Random remote texts through relay framing, the split and the filter into a unit that runs them,
// with the unit's status lines held back, lost, garbled, unasked and delivered in pieces of any
// size: the blocks and limits hold for every line the unit reads. KELVO_FILTER_MODEL_TEXTS runs
// more texts per test, KELVO_FILTER_MODEL_SEED starts from other seeds.

#include "support/environment.h"
#include "support/hostile_link.h"

#include <gtest/gtest.h>

#include <random>

using test::HostileLink;

namespace {

const QByteArray maxTexts[] = {"50", " 50", "0", "1", "50.5", "+50", "5e1", "50e-1", "abc", "", "-5", "1e999", "100"};
const char alphabet[] = "AaBbAaBbAABBMmLlHhSsSSK0123456789++++--  \t\t\r\n;.e\xc1\x8d";

struct Session {
    std::mt19937_64 rng;
    HostileLink link;

    explicit Session(std::uint64_t seed) : rng(seed), link(pick(130) - 3, pick(130) - 3) {}

    int pick(int n) { return int(rng() % unsigned(n)); }

    void randomSettings()
    {
        kelvo::FilterSettings &s = link.settings;
        s.blockPower = pick(2);
        s.blockProgram = pick(2);
        s.limitA = pick(4) != 0;
        s.limitB = pick(4) != 0;
        s.maxA = pick(3) ? QByteArray::number(pick(120)) : maxTexts[pick(std::size(maxTexts))];
        s.maxB = pick(3) ? QByteArray::number(pick(120)) : maxTexts[pick(std::size(maxTexts))];
    }

    QByteArray randomText()
    {
        QByteArray t;
        // Now and then a flood of status requests, so that many answers are outstanding.
        if (pick(15) == 0)
            t += QByteArray("S\n").repeated(1 + pick(60));
        const int length = pick(10);
        for (int i = 0; i < length; ++i)
            t += alphabet[pick(sizeof alphabet - 1)];
        if (pick(20) == 0)
            t += QByteArray::number(qulonglong(rng()));
        return t;
    }

    // More commands in one read than the line carries in a second.
    QByteArray flood()
    {
        QByteArray t;
        for (int n = 200 + pick(400); n > 0; --n)
            t += QByteArray(1, "ABab"[pick(4)]) + (pick(3) ? QByteArray::number(pick(120)) : QByteArray("+")) + '\n';
        return t;
    }

    // Whatever the unit's side of the line does between two relay reads.
    void lineMisbehaves()
    {
        for (int n = pick(4); n > 0; --n) {
            switch (pick(8)) {
            case 0: link.unaskedLine(); break;
            case 1: link.poll(); break;
            case 2:
                if (link.linesWaiting())
                    link.loseLine(std::size_t(pick(int(link.linesWaiting()))));
                break;
            case 3:
                if (link.linesWaiting())
                    link.garbleLine(std::size_t(pick(int(link.linesWaiting()))), unsigned(pick(6)),
                                    std::size_t(pick(40)), char(pick(256)));
                break;
            default: link.deliver(std::size_t(1 + pick(12))); break; // a slow line: small pieces
            }
        }
        if (pick(30) == 0)
            link.deliverAll();
    }

    // A slow line to the unit: it reads in pieces that end anywhere, and the local OFF throws
    // away what waits beyond the device's own buffer (up to a UART's FIFO).
    void unitReadsSlowly()
    {
        for (int n = pick(3); n > 0; --n) {
            switch (pick(8)) {
            case 0: link.localOff(std::size_t(pick(70))); break;
            case 1: link.drainAll(); break;
            default: link.drain(std::size_t(pick(40))); break;
            }
        }
    }
};

struct Totals {
    qint64 sent = 0;
    qint64 parsed = 0;
    qint64 takenBack = 0;
    qint64 refusedForBacklog = 0;
};

int textCount() { return test::environmentNumber("KELVO_FILTER_MODEL_TEXTS", 150000); }

// The test's own seed, or one moved by the environment's.
std::uint64_t seedFor(std::uint64_t own)
{
    return own + std::uint64_t(test::environmentNumber("KELVO_FILTER_MODEL_SEED", 0));
}

Totals runSessions(std::uint64_t seed, int textCount, bool slowLine)
{
    std::mt19937_64 master(seed);
    Totals totals;
    int texts = 0;
    for (int session = 0; texts < textCount; ++session) {
        Session s(master());
        s.link.tracing = true;
        s.link.slowLine = slowLine;
        s.randomSettings();
        s.link.poll(); // Connect asks first, and the relay opens on the first valid answer
        s.link.drainAll();
        s.link.deliverAll();
        const int reads = 1 + s.pick(40);
        for (int r = 0; r < reads && !s.link.violation(); ++r, ++texts) {
            if (s.pick(12) == 0) {
                // The unit's effects are judged by the settings now; what is already on the line
                // was judged by the old ones.
                s.link.drainAll();
                s.randomSettings();
            }
            s.lineMisbehaves();
            if (slowLine)
                s.unitReadsSlowly();
            s.link.relayRead(slowLine && s.pick(20) == 0 ? s.flood() : s.randomText());
        }
        s.link.drainAll(); // what is still on its way reaches the unit in the end
        totals.sent += s.link.commandsSent();
        totals.parsed += s.link.linesParsed();
        totals.takenBack += s.link.bytesTakenBack();
        totals.refusedForBacklog += s.link.commandsRefusedForBacklog();
        if (s.link.violation()) {
            ADD_FAILURE() << "seed " << seed << ", session " << session << ": " << s.link.violation()->constData();
            break;
        }
    }
    return totals;
}

} // namespace

TEST(FilterProperty, LimitsAndBlocksHoldWhateverTheUnitsLinesDo)
{
    const Totals totals = runSessions(seedFor(20261210), textCount(), false);
    // The model must actually have moved the unit and fed the bridge readings.
    EXPECT_GT(totals.sent, 300000);
    EXPECT_GT(totals.parsed, 50000);
}

// The unit reads slower than commands come, and local OFFs throw away commands the filter let
// through, some cut in the middle: the filter must not count on the unit having run them.
TEST(FilterProperty, LimitsAndBlocksHoldOnASlowLineWhateverTheOffThrowsAway)
{
    const Totals totals = runSessions(seedFor(20261211), textCount(), true);
    EXPECT_GT(totals.sent, 300000);
    EXPECT_GT(totals.parsed, 20000);
    EXPECT_GT(totals.takenBack, 100000) << "the OFFs should throw a lot away";
    EXPECT_GT(totals.refusedForBacklog, 0) << "floods should meet the backlog bound";
}
