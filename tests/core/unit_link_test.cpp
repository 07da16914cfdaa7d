// The unit link's handlers on a real pseudo-terminal: framing, status lines, commands, errors.

#include "core/rules/status_line.h"
#include "shell/pictures.h"
#include "support/bridge_fixture.h"

#include <vector>

using namespace kelvo;

namespace {

using test::BridgeFixture;

const QString corrupt = QStringLiteral(" ERROR |Invalid or corrupt data received from Q6");

[[nodiscard]] qsizetype receivedLines(const BridgeFixture &f)
{
    return f.log().filter(QStringLiteral("<SERIAL|")).size();
}

[[nodiscard]] bool shows(const QLabel &label, const QPixmap &picture)
{
    return label.pixmap().toImage() == picture.toImage();
}

struct FramingCase {
    const char *name;
    QList<QByteArray> reads;      // each written on its own, the handler run in between
    QByteArray line;              // the framed line: logged and relayed
    bool valid;
    qint64 levelA = 99, levelB = 99;
    QString version = QStringLiteral("before");
    QPixmap (*battery)() = pictures::onepixel;
};

// While a remote user is linked, every framed line is handled once, logged and relayed,
// valid or not; only a valid one changes the state and the displays.
TEST(UnitLinkFraming, EachReadIsFramedIntoAtMostOneLine)
{
    const std::vector<FramingCase> cases{
        {"a line in three reads", {"600:40:60:0:", "0:0:0:0", ":2.107\n"},
         "600:40:60:0:0:0:0:0:2.107", true, 20, 30, "2.107", pictures::battery75},
        {"two lines in one read: the second is dropped",
         {"700:7:200:1:2:3:4:5:2.2\n742:2:2:2:2:2:2:2:9.9\n"}, "700:7:200:1:2:3:4:5:2.2", true, 3,
         100, "2.2", pictures::batteryfull},
        {"CR LF ends a line like LF", {"430:-3:0:0:0:0:0:0:2.106\r\n"}, "430:-3:0:0:0:0:0:0:2.106",
         true, -1, 0, "2.106", pictures::battery50},
        {"a CR inside joins its two sides", {"36\r7:10:12:0:0:0:0:0:2.1\r07\n"},
         "367:10:12:0:0:0:0:0:2.107", true, 5, 6, "2.107", pictures::battery25},
        {"a lone LF is an empty, invalid line", {"\n"}, "", false},
        {"eight fields", {"600:40:60:0:0:0:0:2.107\n"}, "600:40:60:0:0:0:0:2.107", false},
        {"ten fields", {"600:40:60:0:0:0:0:0:0:2.107\n"}, "600:40:60:0:0:0:0:0:0:2.107", false},
        {"eight colons alone are nine empty fields", {"::::::::\n"}, "::::::::", true, 0, 0, "",
         pictures::batterylow},
    };

    BridgeFixture f;
    ASSERT_TRUE(f.bringRelayUp());
    KelvoBridge &w = *f.window;
    w.linked = true;
    w.firmwareChecked = true; // the firmware line has its own test
    for (const FramingCase &c : cases) {
        SCOPED_TRACE(c.name);
        w.levelA = w.levelB = 99;
        w.version()->setText(QStringLiteral("before"));
        w.batteryIcon()->setPixmap(pictures::onepixel());
        w.lastRead = 0;
        f.relay.clearRecords();
        f.clearLog();

        QByteArray sent;
        for (qsizetype i = 0; i + 1 < c.reads.size(); ++i) {
            sent += c.reads[i];
            ASSERT_TRUE(f.unit.send(c.reads[i]));
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.kelvoResults == sent; }));
            EXPECT_TRUE(f.log().isEmpty());
            EXPECT_EQ(w.version()->text(), QStringLiteral("before"));
            EXPECT_EQ(w.levelA, 99);
        }
        ASSERT_TRUE(f.unit.send(c.reads.last()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return receivedLines(f) == 1; }));
        ASSERT_TRUE(f.relay.waitForLines(1));
        QTest::qWait(50); // room for a second line, if one were wrongly handled

        QStringList expectedLog;
        if (!c.valid)
            expectedLog << corrupt;
        expectedLog << QStringLiteral("<SERIAL|") + QString::fromLatin1(c.line);
        EXPECT_EQ(f.log(), expectedLog);
        EXPECT_EQ(f.relay.lines(), QList<QByteArray>{c.line});
        EXPECT_TRUE(w.kelvoResults.isEmpty());
        EXPECT_EQ(w.levelA, c.levelA);
        EXPECT_EQ(w.levelB, c.levelB);
        EXPECT_EQ(w.version()->text(), c.version);
        EXPECT_TRUE(shows(*w.batteryIcon(), c.battery()));
        EXPECT_EQ(w.lastRead, c.valid ? qint64{1'700'000'000} : 0);
    }
}

// Bytes that never end in a line feed are dropped once past the cap, and the link carries on.
TEST(UnitLinkFraming, ABufferPastTheCapWithoutLineEndIsDropped)
{
    BridgeFixture f;
    ASSERT_TRUE(f.openUnitPort());
    KelvoBridge &w = *f.window;
    w.itsAlive = true;
    w.firmwareChecked = true;
    ASSERT_TRUE(f.unit.send(QByteArray(kelvo::maxUnitBuffer + 1, 'x')));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.log().contains(corrupt); }));
    EXPECT_TRUE(w.kelvoResults.isEmpty());
    EXPECT_EQ(f.log(), QStringList{corrupt});

    f.clearLog();
    ASSERT_TRUE(f.unit.send("600:40:60:0:0:0:0:0:2.107\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedLines(f) == 1; }));
    EXPECT_EQ(f.log(), QStringList{QStringLiteral("<SERIAL|600:40:60:0:0:0:0:0:2.107")});
    EXPECT_EQ(w.levelA, 20);
}

// The first valid line of a connection checks the firmware, then opens the relay connection,
// then is logged; later lines open nothing, and the check waits for the next reset.
TEST(UnitLinkStatus, FirstValidLineChecksFirmwareAndOpensTheRelayOnce)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    ASSERT_TRUE(f.openUnitPort());
    w.allowPrefs = false;
    ASSERT_TRUE(f.unit.send("600:40:60:0:0:0:0:0:2.107\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedLines(f) == 1; }));
    EXPECT_EQ(f.log(), (QStringList{
                              QStringLiteral(" STATUS|Q6 firmware supports relative levels"),
                              QStringLiteral(" STATUS|Opening connection to localhost:%1").arg(f.relay.port()),
                              QStringLiteral("<SERIAL|600:40:60:0:0:0:0:0:2.107"),
                          }));
    EXPECT_TRUE(w.itsAlive);
    EXPECT_TRUE(w.allowPrefs);
    EXPECT_TRUE(w.firmwareChecked);
    // The filter now has reported levels to judge raises by.
    EXPECT_TRUE(w.filterMemory.levelsReported);
    ASSERT_TRUE(f.relay.waitForConnections(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.serverconnected; }));

    // Another version text: no firmware line, no second connection.
    f.clearLog();
    ASSERT_TRUE(f.unit.send("600:40:60:0:0:0:0:0:2.0\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedLines(f) == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(f.log(), QStringList{QStringLiteral("<SERIAL|600:40:60:0:0:0:0:0:2.0")});
    EXPECT_EQ(f.relay.connectionCount(), 1);

    // After a reset the check runs again; itsAlive stays true, so still no connection.
    w.resetState();
    ASSERT_TRUE(f.openUnitPort());
    f.clearLog();
    ASSERT_TRUE(f.unit.send("600:40:60:0:0:0:0:0:2.0\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedLines(f) == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(f.log(), (QStringList{
                              QStringLiteral(" STATUS|Q6 firmware does not support relative levels"),
                              QStringLiteral("<SERIAL|600:40:60:0:0:0:0:0:2.0"),
                          }));
    EXPECT_TRUE(w.allowPrefs);
    EXPECT_EQ(f.relay.connectionCount(), 1);
}

// Every valid line shows its battery picture and version; one that shows what is already
// shown repaints nothing, one that changes the picture repaints it.
TEST(UnitLinkStatus, AnUnchangedDisplayIsNotRepainted)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    w.itsAlive = true;
    w.firmwareChecked = true;
    ASSERT_TRUE(f.openUnitPort());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } battery, version;
    w.batteryIcon()->installEventFilter(&battery);
    w.version()->installEventFilter(&version);
    // The line handled, then every update it asked for painted.
    const auto handle = [&](const QByteArray &line) {
        f.clearLog();
        battery.paints = version.paints = 0;
        return f.unit.send(line) && QTest::qWaitFor([&] { return receivedLines(f) == 1; })
            && (QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents(), true);
    };

    ASSERT_TRUE(handle("600:40:60:0:0:0:0:0:2.107\n"));
    EXPECT_TRUE(shows(*w.batteryIcon(), pictures::battery75()));
    EXPECT_GT(battery.paints, 0) << "a new picture is painted";
    EXPECT_GT(version.paints, 0) << "a new text is painted";

    ASSERT_TRUE(handle("601:44:66:0:0:0:0:0:2.107\n")); // new levels, same picture and version
    EXPECT_EQ(w.levelA, 22);
    EXPECT_TRUE(shows(*w.batteryIcon(), pictures::battery75()));
    EXPECT_EQ(w.version()->text(), QStringLiteral("2.107"));
    EXPECT_EQ(battery.paints, 0);
    EXPECT_EQ(version.paints, 0);

    ASSERT_TRUE(handle("430:44:66:0:0:0:0:0:2.107\n"));
    EXPECT_TRUE(shows(*w.batteryIcon(), pictures::battery50()));
    EXPECT_GT(battery.paints, 0);
}

TEST(UnitLinkCommand, WritesTheCommandAndCrAndStampsTheTimeFirst)
{
    BridgeFixture f;
    KelvoBridge &w = *f.window;
    ASSERT_TRUE(f.openUnitPort());
    w.itsAlive = true;
    f.services.clock = 1'700'000'123.9;
    w.sendStimCommand("S");
    EXPECT_EQ(w.lastWrite, 1'700'000'123);
    EXPECT_EQ(f.log(), QStringList{QStringLiteral(">SERIAL|S")});
    ASSERT_TRUE(f.unit.waitForCommands(1));
    EXPECT_EQ(f.unit.received(), QByteArray("S\r"));

    // Written exactly as passed, line end and blanks included; only the log line is trimmed.
    f.clearLog();
    w.sendStimCommand(" A5 \n");
    EXPECT_EQ(f.log(), QStringList{QStringLiteral(">SERIAL|A5")});
    ASSERT_TRUE(f.unit.waitForCommands(2));
    EXPECT_EQ(f.unit.received(), QByteArray("S\r A5 \n\r"));

    // With the port closed the time is still stamped; nothing reaches the unit.
    w.kelvoserial()->Close();
    f.services.clock = 1'700'000'200.5;
    w.sendStimCommand("K");
    EXPECT_EQ(w.lastWrite, 1'700'000'200);
    QTest::qWait(50);
    EXPECT_EQ(f.unit.received(), QByteArray("S\r A5 \n\r"));
}

// A serial error forgets the last read (logging or not) and changes nothing else.
TEST(UnitLinkError, SerialErrorClearsLastReadOnly)
{
    for (const bool logging : {false, true}) {
        SCOPED_TRACE(logging ? "logging" : "not logging");
        BridgeFixture f;
        KelvoBridge &w = *f.window;
        ASSERT_TRUE(f.openUnitPort());
        w.logging = logging;
        w.lastRead = 5;
        w.lastWrite = 7;
        w.ping()->setMode(platform::Timer::modeMultiple);
        f.unit.hangUp();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.lastRead == 0; }));
        QTest::qWait(50);
        EXPECT_EQ(w.lastWrite, 7);
        EXPECT_EQ(w.ping()->Mode(), platform::Timer::modeMultiple);
        EXPECT_TRUE(w.ping()->Enabled());
        const QStringList expected = logging
            ? QStringList{QStringLiteral(" SERIAL|Serial port error %1").arg(w.kelvoserial()->LastErrorCode())}
            : QStringList{};
        EXPECT_EQ(f.log(), expected);
        EXPECT_NE(w.kelvoserial()->LastErrorCode(), 0);
    }
}

} // namespace
