// The relay handler on a real TLS link and a real unit port: how one read is framed, and what
// each server code does, in its order around its message box.

#include "support/bridge_fixture.h"

#include "core/rules/link_failure_text.h"
#include "platform/dialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace kelvo;

namespace {

using test::LinkedBridge;

constexpr char key17[] = "ABCD-EFGH-IJKL-MN";

struct FramingCase {
    const char *name;
    QList<QByteArray> reads; // each one arrives as its own read
    QString status;          // serverinfo afterwards
    QString key;             // connectionKey afterwards
    QStringList serverLog;   // the "<SERVER" log texts, in order
    QList<QByteArray> relayLines;
    QList<QByteArray> unitCommands;
    QStringList boxes;
};

void PrintTo(const FramingCase &c, std::ostream *out) { *out << c.name; }

class Framing : public LinkedBridge, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(Framing, OneReadIsOneMessage)
{
    const FramingCase &c = GetParam();
    for (const QByteArray &read : c.reads) {
        if (read.isEmpty()) {
            window->kelvoconnect_DataAvailable(); // nothing buffered: an empty read
            continue;
        }
        QSignalSpy handled(window->kelvoconnect(), &platform::TlsSocket::dataAvailable);
        ASSERT_TRUE(relay.sendApart(read));
        ASSERT_TRUE(handled.count() > 0 || handled.wait(5000));
        ASSERT_EQ(handled.count(), 1) << "one send, one read";
    }
    ASSERT_TRUE(c.relayLines.isEmpty() || relay.waitForLines(c.relayLines.size()));
    ASSERT_TRUE(c.unitCommands.isEmpty() || unit.waitForCommands(c.unitCommands.size()));
    settle();

    EXPECT_EQ(window->serverinfo()->text(), c.status);
    EXPECT_EQ(window->connectionKey()->text(), c.key);
    QStringList serverLog;
    for (const QString &entry : log())
        if (entry.startsWith(QLatin1String("<SERVER|")))
            serverLog << entry.mid(8);
    EXPECT_EQ(serverLog, c.serverLog);
    EXPECT_EQ(relay.lines(), c.relayLines);
    EXPECT_EQ(unit.commands(), c.unitCommands);
    QStringList boxes;
    for (const auto &box : services.boxes)
        boxes << box.text;
    EXPECT_EQ(boxes, c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, Framing,
    ::testing::Values(
        FramingCase{"TextBeforeTheSemicolonIsDropped", {"xyz;203 " + QByteArray(key17)},
                    ";203 ABCD-EFGH-IJKL-MN", key17, {";203 ABCD-EFGH-IJKL-MN"},
                    {";wait=" + QByteArray(key17)}, {}, {}},
        FramingCase{"OnlyTheFirstCodeActs", {";202\r\n;203 " + QByteArray(key17) + "\r\n"},
                    "Waiting for a new connection", "", {";202\n;203 ABCD-EFGH-IJKL-MN"}, {}, {}, {}},
        FramingCase{"SplitMessageIsTwoMessages", {";203 ABCD-EFGH", "-IJKL-MN\r\n"}, "-IJKL-MN",
                    ";203 ABCD-EFGH", {";203 ABCD-EFGH"}, {";wait=;203 ABCD-EFGH"}, {"-IJKL-MN"}, {}},
        FramingCase{"FourDigitsActAsTheirFirstThree", {";2005"},
                    "Server connection ok at 2023-11-14 22:13:20", "", {";2005"}, {}, {}, {}},
        FramingCase{"TooShortForACode", {";20"}, ";20", "", {";20"}, {}, {}, {}},
        FramingCase{"KeyWithATrailingBlank", {";203 key 0123456789ABCDEF "}, ";203 key 0123456789ABCDEF",
                    "0123456789ABCDEF", {";203 key 0123456789ABCDEF"}, {";wait=0123456789ABCDEF"}, {}, {}},
        FramingCase{"ShortKeyMessageIsTheWholeKey", {";203 ABC"}, ";203 ABC", ";203 ABC", {";203 ABC"},
                    {";wait=;203 ABC"}, {}, {}},
        FramingCase{"NoticeShowsFromItsSixteenthCharacter", {";210 2023-11-14Hello there"},
                    ";210 2023-11-14Hello there", "", {";210 2023-11-14Hello there"}, {}, {},
                    {"Server message: Hello there"}},
        FramingCase{"ShortNoticeShowsItsLeadAlone", {";210 2023-11-14"}, ";210 2023-11-14", "",
                    {";210 2023-11-14"}, {}, {}, {"Server message: "}},
        FramingCase{"EmptyReadIsABareCommand", {""}, "", "", {}, {}, {""}, {}},
        FramingCase{"LineEndAloneIsABareCommand", {"\r\n"}, "", "", {}, {}, {""}, {}},
        FramingCase{"CommandFollowedByACodeIsLost", {"A30;300 waiting"}, "Waiting for a connection", "",
                    {";300 waiting"}, {}, {}, {}},
        FramingCase{"UnknownCodeOnlyLogsAndShows", {";999 what\r\n"}, ";999 what", "", {";999 what"}, {}, {},
                    {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LinkedBridge, RemoteCommandStampsBothTimesWhetherLinkedOrNot)
{
    services.clock = 1'700'000'123.75;
    ASSERT_FALSE(window->linked);
    window->kelvoconnect_DataAvailable();
    EXPECT_EQ(window->lastWrite, 1'700'000'123);
    EXPECT_EQ(window->lastRemote, 1'700'000'123);
    ASSERT_TRUE(unit.waitForCommands(1));
    EXPECT_EQ(unit.received(), QByteArray("\r"));
}

// What each code leaves behind when it is done.
struct CodeCase {
    const char *name;
    QByteArray message;
    bool linkedBefore;
    bool linked;
    bool stopVisible;
    bool stopEnabled;
    QString status;
    QString lamp;
    QList<QByteArray> relayLines;
    QList<QByteArray> unitCommands;
};

void PrintTo(const CodeCase &c, std::ostream *out) { *out << c.name; }

class Codes : public LinkedBridge, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(Codes, EffectsOfTheCode)
{
    const CodeCase &c = GetParam();
    window->linked = c.linkedBefore;
    window->stopButton()->setEnabled(c.linkedBefore);
    window->stopButton()->setVisible(c.linkedBefore);
    window->connectionKey()->setText(QString::fromLatin1(key17));
    window->setButtonIcon(QStringLiteral("grey"));
    services.clock = 1'700'000'500.5;
    deliver(c.message);
    ASSERT_TRUE(c.relayLines.isEmpty() || relay.waitForLines(c.relayLines.size()));
    ASSERT_TRUE(c.unitCommands.isEmpty() || unit.waitForCommands(c.unitCommands.size()));
    settle();

    EXPECT_EQ(window->linked, c.linked);
    EXPECT_EQ(window->stopButton()->isVisibleTo(window.get()), c.stopVisible);
    EXPECT_EQ(window->stopButton()->isEnabled(), c.stopEnabled);
    EXPECT_EQ(window->serverinfo()->text(), c.status);
    EXPECT_EQ(lamp(), c.lamp);
    EXPECT_EQ(relay.lines(), c.relayLines);
    EXPECT_EQ(unit.commands(), c.unitCommands);
    EXPECT_TRUE(window->serverconnected);
}

const QByteArray getkey = test::keyRequest();

INSTANTIATE_TEST_SUITE_P(
    Server, Codes,
    ::testing::Values(
        CodeCase{"Ok200", ";200 hello\n", false, false, false, false,
                 "Server connection ok at 2023-11-14 22:13:20", "amber", {}, {}},
        // A remote user's lamp (green) is not turned to the no-remote-user colour.
        CodeCase{"Ok200WhileLinkedLeavesTheLamp", ";200 hello\n", true, true, true, true,
                 "Server connection ok at 2023-11-14 22:13:20", "grey", {}, {}},
        CodeCase{"Linked201", ";201 joined", false, true, true, true, "Remote control established", "green",
                 {"600:40:60:0:0:0:0:0:2.107"}, {"S"}},
        CodeCase{"GoneWhileLinked202", ";202", true, false, false, false, "Waiting for a new connection",
                 "amber", {}, {}},
        CodeCase{"GoneWhileNotLinked202KeepsTheButton", ";202", false, false, false, false,
                 "Waiting for a new connection", "amber", {}, {}},
        CodeCase{"Waiting300", ";300 x", true, true, true, true, "Waiting for a connection", "grey", {}, {}},
        CodeCase{"Disconnected400SendsNoOff", ";400", true, false, false, false, "Waiting for a new connection",
                 "amber", {}, {}},
        CodeCase{"Renew401", ";401 renew", false, false, false, false, ";401 renew", "grey", {getkey}, {}},
        CodeCase{"NewKey402", ";402", false, false, false, false, "Getting a new key", "grey", {getkey}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LinkedBridge, Code201StampsLastReadAndShowsTheOffButton)
{
    services.clock = 1'700'000'777.9;
    window->stopButton()->setVisible(false);
    window->stopButton()->setEnabled(false);
    deliver(";201");
    EXPECT_EQ(window->lastRead, 1'700'000'777);
    ASSERT_TRUE(unit.waitForCommand("S"));
    EXPECT_EQ(unit.received(), QByteArray("S\r"));
}

TEST_F(LinkedBridge, Code202WhileNotLinkedLeavesTheOffButtonAlone)
{
    // Shown and enabled after a local end of remote control: 202 does not touch it then.
    window->stopButton()->setVisible(true);
    window->stopButton()->setEnabled(true);
    deliver(";202");
    EXPECT_TRUE(window->stopButton()->isVisibleTo(window.get()));
    EXPECT_TRUE(window->stopButton()->isEnabled());
}

TEST_F(LinkedBridge, Code203ShowsTheKeyAndAnswersItLoggedInOrder)
{
    deliver(";203 " + QByteArray(key17));
    ASSERT_TRUE(relay.waitForLines(1));
    EXPECT_EQ(relay.received(), ";wait=" + QByteArray(key17) + "\r");
    EXPECT_EQ(window->connectionKey()->text(), QString::fromLatin1(key17));
    EXPECT_EQ(window->connectionKey()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window->infoLabel()->text(),
              QStringLiteral("Share the connection key below to allow someone to control your Q6. Click on the "
                             "key to copy it to the clipboard."));
    EXPECT_EQ(log(), (QStringList{"<SERVER|;203 ABCD-EFGH-IJKL-MN", ">SERVER|;wait=ABCD-EFGH-IJKL-MN"}));
}

TEST_F(LinkedBridge, KeyAndStatusFromTheRelayAreShownAsPlainText)
{
    deliver(";203 key <b>x</b>123456789");
    EXPECT_EQ(window->connectionKey()->text(), QStringLiteral("<b>x</b>123456789"));
    EXPECT_EQ(window->serverinfo()->textFormat(), Qt::PlainText);
    EXPECT_EQ(window->connectionKey()->textFormat(), Qt::PlainText);
}

TEST_F(LinkedBridge, Code401EmptiesTheKeyAndAsksForANewOne)
{
    window->connectionKey()->setText(QStringLiteral("OLDKEY"));
    deliver(";401");
    ASSERT_TRUE(relay.waitForLines(1));
    EXPECT_EQ(relay.received(), getkey + "\r");
    EXPECT_TRUE(window->connectionKey()->text().isEmpty());
    EXPECT_EQ(log(), (QStringList{"<SERVER|;401", ">SERVER|;getkey"}));
}

TEST_F(LinkedBridge, Code210BoxIsPlainAndComesAfterTheStatusText)
{
    int checked = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::plain);
        EXPECT_EQ(window->serverinfo()->text(), QStringLiteral(";210 2023-11-14<i>Maintenance</i>"));
        EXPECT_EQ(log(), QStringList{"<SERVER|;210 2023-11-14<i>Maintenance</i>"});
        ++checked;
    };
    deliver(";210 2023-11-14<i>Maintenance</i>\n");
    EXPECT_EQ(checked, 1);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, QStringLiteral("Server message: <i>Maintenance</i>\n"));
}

TEST_F(LinkedBridge, Code400UnlinksBeforeItsBoxAndTurnsAmberAfter)
{
    window->linked = true;
    window->stopButton()->setEnabled(true);
    window->stopButton()->setVisible(true);
    window->setButtonIcon(QStringLiteral("green"));
    int checked = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::plain);
        EXPECT_EQ(box.text, QStringLiteral("Remote user has been disconnected"));
        EXPECT_FALSE(window->linked);
        EXPECT_FALSE(window->stopButton()->isEnabled());
        EXPECT_FALSE(window->stopButton()->isVisibleTo(window.get()));
        EXPECT_EQ(window->serverinfo()->text(), QStringLiteral(";400 bye"));
        EXPECT_EQ(lamp(), QStringLiteral("green"));
        ++checked;
    };
    deliver(";400 bye");
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(window->serverinfo()->text(), QStringLiteral("Waiting for a new connection"));
    EXPECT_EQ(lamp(), QStringLiteral("amber"));
    settle();
    EXPECT_TRUE(unit.commands().isEmpty());
}

TEST_F(LinkedBridge, Code500SwitchesTheOutputsOffThenClosesTheRelayLinkAfterItsBoxAndSaysSo)
{
    window->linked = true;
    window->stopButton()->setEnabled(true);
    window->stopButton()->setVisible(true);
    window->setButtonIcon(QStringLiteral("green"));
    window->connectionKey()->setText(QStringLiteral("ABCD-EFGH-IJKL-MN"));
    int checked = 0;
    services.onBox = [&](const ScriptedServices::ShownBox &box) {
        EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
        EXPECT_EQ(box.text, QStringLiteral("Server reported a serious error"));
        EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
        EXPECT_TRUE(box.title.isEmpty());
        EXPECT_FALSE(window->linked);
        EXPECT_FALSE(window->stopButton()->isEnabled());
        EXPECT_TRUE(window->serverconnected);
        EXPECT_TRUE(window->kelvoconnect()->IsConnected());
        EXPECT_EQ(lamp(), QStringLiteral("green"));
        EXPECT_EQ(window->serverinfo()->text(), QStringLiteral(";500 fault"));
        EXPECT_EQ(log(), (QStringList{"<SERVER|;500 fault", " STATUS|Server error - outputs turned off",
                                      ">SERIAL|K"}));
        ++checked;
    };
    deliver(";500 fault");
    EXPECT_EQ(checked, 1);
    EXPECT_FALSE(window->serverconnected);
    EXPECT_FALSE(window->kelvoconnect()->IsConnected());
    EXPECT_EQ(lamp(), QStringLiteral("red"));
    EXPECT_FALSE(window->stopButton()->isVisibleTo(window.get()));
    EXPECT_FALSE(window->stopButton()->isEnabled());
    const kelvo::LinkFailureText failure = kelvo::relayErrorText();
    EXPECT_EQ(window->serverinfo()->text(), failure.status);
    EXPECT_EQ(window->infoLabel()->text(), failure.explanation);
    EXPECT_TRUE(window->connectionKey()->text().isEmpty());
    EXPECT_EQ(log(), (QStringList{"<SERVER|;500 fault", " STATUS|Server error - outputs turned off", ">SERIAL|K",
                                  " STATUS|Server connection closed"}));
    EXPECT_TRUE(relay.waitForDisconnected());
    EXPECT_FALSE(relay.received().contains(";quit"));
    EXPECT_TRUE(unit.waitForCommand("K"));
    // Disconnected: the button reads what it does, and the next Connect opens the port anew.
    EXPECT_FALSE(window->kelvoserial()->isOpen());
    EXPECT_TRUE(window->itsAlive);
    EXPECT_EQ(window->connectButton()->text(), QStringLiteral("Connect"));
}

TEST_F(LinkedBridge, Code500WithNoRemoteUserSendsNothingToTheUnit)
{
    deliver(";500");
    EXPECT_FALSE(window->serverconnected);
    EXPECT_EQ(log(), (QStringList{"<SERVER|;500", " STATUS|Server connection closed"}));
    settle();
    EXPECT_TRUE(unit.commands().isEmpty());
}

} // namespace
