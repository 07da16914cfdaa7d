#include "core/rules/relay_framing.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(RelayFraming, ServerMessagesAndCommands)
{
    using K = RelayFrame::Kind;
    const struct { QByteArray raw; K kind; QByteArray text; QByteArray code; } cases[] = {
        {"abc;203 KEY", K::ServerMessage, ";203 KEY", "203"},
        {";202\r\n;203 0123456789abcdef\r\n", K::ServerMessage, ";202\n;203 0123456789abcdef\n", "202"},
        {";2005", K::ServerMessage, ";2005", "200"},
        {";20", K::ServerMessage, ";20", ""},
        {"A30\r;300", K::ServerMessage, ";300", "300"},
        {"command;300", K::ServerMessage, ";300", "300"},
        {"A30\r\n", K::RemoteCommand, "A30\n", ""},
        {"", K::RemoteCommand, "", ""},
    };
    for (const auto &c : cases) {
        const RelayFrame f = frameRelayRead(c.raw);
        EXPECT_EQ(f.kind, c.kind) << c.raw.constData();
        EXPECT_EQ(f.text, c.text) << c.raw.constData();
        if (f.kind == K::ServerMessage) {
            EXPECT_EQ(serverCode(f.text), c.code) << c.raw.constData();
        }
    }
}

TEST(RelayFraming, CodesByName)
{
    using C = ServerCode;
    const struct { const char *code; C name; } cases[] = {
        {"200", C::serverOk}, {"201", C::remoteLinked}, {"202", C::remoteGone},
        {"203", C::keyIssued}, {"210", C::serverMessage}, {"300", C::waitingForRemote},
        {"400", C::remoteDisconnected}, {"401", C::keyRenew}, {"402", C::newKey},
        {"500", C::serverError}, {"", C::other}, {"204", C::other}, {"20 ", C::other},
        {"2OO", C::other}, {"2000", C::other},
    };
    for (const auto &c : cases)
        EXPECT_EQ(serverCodeOf(c.code), c.name) << '"' << c.code << '"';
}

TEST(RelayFraming, KeyAndNotice)
{
    EXPECT_EQ(issuedKey(";203 key is 0123456789abcdef "), "0123456789abcdef");
    EXPECT_EQ(issuedKey(";203 yx0123456789abcdef"), "x0123456789abcdef");
    EXPECT_EQ(issuedKey(";203 short \n"), ";203 short");
    EXPECT_EQ(serverNotice(";210 123456789AHello"), "Server message: Hello");
    EXPECT_EQ(serverNotice(";210 123456789A"), "Server message: ");
    EXPECT_EQ(serverNotice(";210"), "Server message: ");
}

TEST(RelayFraming, SplitsSmuggledCommands)
{
    const struct { QByteArray text; QList<QByteArray> commands; } cases[] = {
        {"A30\nA99", {"A30", "A99"}},
        {"M1\nL\n", {"M1", "L"}},
        {"\n\n", {""}},
        {"", {""}},
        {"A30", {"A30"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(splitRemoteCommands(c.text), c.commands) << c.text.constData();
}
