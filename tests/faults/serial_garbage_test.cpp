// Garbage on the unit's serial line while the relay link is up: random bytes, lines with the
// wrong number of fields, and a flood with no line feed. Each is reported as corrupt data and
// changes nothing; the next good line is parsed as usual.

#include "support/bridge_fixture.h"

#include <random>

namespace {

using test::BridgeOnRealLinks;

const QString corruptEntry = QStringLiteral(" ERROR |Invalid or corrupt data received from Q6");

struct GarbageCase {
    const char *name;
    QByteArray bytes; // ends in LF where the garbage is a line
};

QByteArray randomBytes(std::mt19937 &rng, int count)
{
    QByteArray bytes;
    std::uniform_int_distribution<int> byte(0, 255);
    while (bytes.size() < count) {
        const char c = char(byte(rng));
        if (c != '\n')
            bytes += c;
    }
    // Nine fields by chance would make a valid line.
    if (bytes.count(':') == 8)
        bytes += ':';
    return bytes;
}

class SerialGarbage : public BridgeOnRealLinks {
protected:
    void SetUp() override
    {
        BridgeOnRealLinks::SetUp();
        connectToRelay();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(test::waitUntil([this] { return window->firmwareChecked; }));
        test::clearLog();
    }

    // Writes the bytes in small pieces through the event loop, as a line that keeps talking
    // would, so the pseudo-terminal never fills while the bridge (same thread) cannot read.
    void feed(const QByteArray &bytes, int piece = 512)
    {
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            ASSERT_TRUE(unit.send(bytes.mid(at, piece)));
            QTest::qWait(1);
            // The receive buffer never holds much more than one line's cap.
            ASSERT_LE(window->kelvoResults.size(), 4096 + 2 * piece);
        }
    }

    // A good line with new levels after the garbage: parsed, and the buffer empty again.
    void expectNextGoodLineParsed(qint64 levelA, qint64 levelB)
    {
        const QByteArray good = "650:" + QByteArray::number(2 * levelA) + ":" + QByteArray::number(2 * levelB)
            + ":0:0:0:0:0:2.107\n";
        services.clock += 3.0;
        ASSERT_TRUE(unit.send(good));
        ASSERT_TRUE(test::waitUntil([&] { return window->levelA == levelA && window->levelB == levelB; }))
            << "good line not parsed; log:\n" << log().join(u'\n').toStdString();
        EXPECT_EQ(window->lastRead, clockSeconds());
        EXPECT_TRUE(window->kelvoResults.isEmpty());
        EXPECT_EQ(window->version()->text(), QStringLiteral("2.107"));
    }
};

TEST_F(SerialGarbage, CorruptLinesAreReportedAndChangeNothingTheNextGoodLineIsParsed)
{
    std::mt19937 rng(20261210);
    const GarbageCase cases[] = {
        {"random bytes", randomBytes(rng, 2000) + "\n"},
        {"random bytes, short", randomBytes(rng, 7) + "\n"},
        {"three fields", "1:2:3\n"},
        {"eight fields", "600:40:60:0:0:0:0:2.107\n"},
        {"ten fields", "600:40:60:0:0:0:0:0:0:2.107\n"},
        {"only colons, ten fields", ":::::::::\n"},
        {"an empty line", "\n"},
        {"line ends only", "\r\r\r\n"},
        {"nine fields cut by a line feed", "600:40:60:0\n"},
        {"binary zeros", QByteArray(64, '\0') + "\n"},
    };
    qint64 level = 1;
    for (const GarbageCase &c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 levelA = window->levelA;
        const qint64 read = window->lastRead;
        const qsizetype errorsBefore = logCount(corruptEntry);
        services.clock += 1.0;
        feed(c.bytes);
        ASSERT_TRUE(test::waitUntil([&] { return logCount(corruptEntry) == errorsBefore + 1; }))
            << log().join(u'\n').toStdString();
        EXPECT_EQ(window->levelA, levelA);
        EXPECT_EQ(window->lastRead, read);
        EXPECT_TRUE(window->kelvoResults.isEmpty());
        expectNextGoodLineParsed(level, level + 1);
        ++level;
    }
    EXPECT_TRUE(window->serverconnected);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(SerialGarbage, AFloodWithNoLineFeedIsDroppedInBoundedPiecesAndTheLineAfterItIsParsed)
{
    std::mt19937 rng(7);
    QByteArray flood = randomBytes(rng, 100 * 1024);
    const qint64 read = window->lastRead;
    feed(flood);
    ASSERT_FALSE(HasFatalFailure());
    // Each drop comes once the buffer passes its cap, one piece past 4096 bytes at most.
    const qsizetype drops = flood.size() / (4096 + 512);
    ASSERT_TRUE(test::waitUntil([&] { return logCount(corruptEntry) >= drops; })) << logCount(corruptEntry);
    EXPECT_LE(window->kelvoResults.size(), 4096);
    EXPECT_EQ(window->lastRead, read);

    // The flood's line ends at the next line feed, and is corrupt; the line after it is good.
    const qsizetype errors = logCount(corruptEntry);
    ASSERT_TRUE(unit.send("\n"));
    ASSERT_TRUE(test::waitUntil([&] { return logCount(corruptEntry) == errors + 1; }));
    expectNextGoodLineParsed(33, 44);
    EXPECT_TRUE(window->serverconnected);
    EXPECT_TRUE(services.boxes.empty());
}

// The same garbage during remote control: still no crash, and the relay link carries on.
TEST_F(SerialGarbage, GarbageDuringRemoteControlLeavesTheRelayLinkWorking)
{
    ASSERT_TRUE(relay.sendCode("201"));
    ASSERT_TRUE(relay.waitForLine(unit.statusLine()));
    std::mt19937 rng(99);
    for (int i = 0; i < 20; ++i) {
        const qsizetype errors = logCount(corruptEntry);
        feed(randomBytes(rng, 1 + int(rng() % 3000)) + "\n");
        ASSERT_TRUE(test::waitUntil([&] { return logCount(corruptEntry) == errors + 1; })) << i;
    }
    relay.clearRecords();
    expectNextGoodLineParsed(12, 13);
    ASSERT_TRUE(relay.waitForLine("650:24:26:0:0:0:0:0:2.107"));
    ASSERT_TRUE(relay.send("A10"));
    ASSERT_TRUE(unit.waitForCommand("A10"));
}

} // namespace
