// The relay's receive framing, server codes and remote-command filter, applied as the bridge's
// handler applies them, in front of a unit that runs what it gets. The input also plays the
// serial line back to the bridge: it holds the unit's status lines back, loses, garbles and cuts
// them, adds lines nobody asked for and delivers them in reads of any size. The target stops
// when the unit does something the user's blocks and limits forbid.

#include "fuzz_input.h"

#include "core/rules/command_filter.h"
#include "core/rules/relay_framing.h"
#include "core/rules/text_rules.h"
#include "support/hostile_link.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <iterator>

using fuzz::check;

namespace {

// Maximum texts as a user may type them, besides plain whole numbers.
const char *const oddMaxima[] = {" 50", "0", "1", "50.5", "+50", "5e1", "50e-1", "abc", "", "-5",
                                 "1e999", "100", "\t7", "9223372036854775808", "0x10", "1e-400"};

QByteArray maxText(std::uint8_t choice)
{
    if (choice < 128)
        return QByteArray::number(choice);
    return oddMaxima[(choice - 128) % std::size(oddMaxima)];
}

kelvo::FilterSettings readSettings(fuzz::Input &input)
{
    const std::uint8_t flags = input.byte();
    kelvo::FilterSettings settings;
    settings.blockPower = flags & 1;
    settings.blockProgram = flags & 2;
    settings.limitA = (flags & 12) != 0;
    settings.limitB = (flags & 48) != 0;
    settings.maxA = maxText(input.byte());
    settings.maxB = maxText(input.byte());
    return settings;
}

// The server-message rules on their own: what a code, a key and a notice are cut from.
void checkServerMessage(const QByteArray &message)
{
    check(message.startsWith(';') && !message.contains('\r'));
    const QByteArray code = kelvo::serverCode(message);
    check(code.isEmpty() ? message.size() < 4 : code == message.mid(1, 3));
    const QByteArray key = kelvo::issuedKey(message);
    check(key.size() <= 17 && message.contains(key));
    check(key.isEmpty() || !kelvo::isAsciiSpace(key.back()));
    check(kelvo::serverNotice(message).startsWith("Server message: "));
}

// One thing the unit's side of the line does, chosen by the operation byte's high bits.
void lineEvent(test::HostileLink &link, std::uint8_t operation, fuzz::Input &input)
{
    const std::size_t waiting = link.linesWaiting();
    switch (operation >> 5) {
    case 0: link.unaskedLine(); break;
    case 1: link.poll(); break;
    case 2:
        if (waiting)
            link.loseLine(input.byte() % waiting);
        break;
    case 3:
        if (waiting) {
            const std::size_t index = input.byte() % waiting;
            const unsigned how = input.byte();
            const std::size_t at = input.byte();
            link.garbleLine(index, how, at, char(input.byte()));
        }
        break;
    case 4: link.deliverAll(); break;
    case 5: link.deliver(1 + input.byte() % 16); break;
    // The line to the unit: it reads a piece (a slow line), or the local OFF throws away what
    // waits beyond the device's own buffer.
    case 6: link.drain(1 + input.byte() % 64); break;
    default: link.localOff(input.byte() % 70); break;
    }
}

} // namespace

// Input: settings (3 bytes; the first one's bit 6 makes the line to the unit slow), the unit's
// starting levels (2 bytes), then records of an operation byte and its operands: new settings,
// something on either side of the unit's line, or a relay read (a length byte and that many
// bytes).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t settingsFlags = input.peek();
    kelvo::FilterSettings settings = readSettings(input);
    const qint64 startA = qint64(input.byte()) - 3;
    const qint64 startB = qint64(input.byte()) - 3;
    test::HostileLink link(startA, startB);
    link.settings = settings;
    // The line to the unit is slow (it reads only when told) or fast, by the first flags' top bit.
    link.slowLine = (settingsFlags & 64) != 0;
    link.poll(); // Connect asks for the status first; the relay opens on its answer
    link.drainAll();
    link.deliverAll();

    while (!input.atEnd() && !link.violation()) {
        const std::uint8_t operation = input.byte();
        switch (operation & 3) {
        case 0:
            // The user changed the preferences page; what is on the line was judged before.
            link.drainAll();
            link.settings = readSettings(input);
            break;
        case 1:
            lineEvent(link, operation, input);
            break;
        default: {
            const QByteArray raw = input.bytes(input.byte() % 128);
            const kelvo::RelayFrame frame = kelvo::frameRelayRead(raw);
            if (frame.kind == kelvo::RelayFrame::Kind::ServerMessage)
                checkServerMessage(frame.text);
            else
                check(!frame.text.contains(';') && !frame.text.contains('\r'));
            link.relayRead(raw);
            break;
        }
        }
    }
    link.drainAll(); // what is still on its way reaches the unit in the end
    check(!link.violation());
    return 0;
}
