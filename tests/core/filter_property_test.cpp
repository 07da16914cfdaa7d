// Random remote texts through relay framing, the split and the filter into a unit that runs them,
// with the unit's status lines held back, lost, garbled, unasked and delivered in pieces of any
// size: the blocks and limits hold for every line the unit reads.

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
};

} // namespace

TEST(FilterProperty, LimitsAndBlocksHoldWhateverTheUnitsLinesDo)
{
    const std::uint64_t seed = 20261210;
    std::mt19937_64 master(seed);
    int texts = 0;
    qint64 sent = 0;
    qint64 parsed = 0;
    for (int session = 0; texts < 150000; ++session) {
        Session s(master());
        s.link.tracing = true;
        s.randomSettings();
        s.link.poll(); // Connect asks first, and the relay opens on the first valid answer
        s.link.deliverAll();
        const int reads = 1 + s.pick(40);
        for (int r = 0; r < reads && !s.link.violation(); ++r, ++texts) {
            if (s.pick(12) == 0)
                s.randomSettings();
            s.lineMisbehaves();
            s.link.relayRead(s.randomText());
        }
        sent += s.link.commandsSent();
        parsed += s.link.linesParsed();
        ASSERT_FALSE(s.link.violation()) << "seed " << seed << ", session " << session << ": "
                                         << s.link.violation()->constData();
    }
    // The model must actually have moved the unit and fed the bridge readings.
    EXPECT_GT(sent, 300000);
    EXPECT_GT(parsed, 50000);
}
