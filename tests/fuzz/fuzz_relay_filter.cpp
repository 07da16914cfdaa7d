// The relay's receive framing, server codes and remote-command filter, applied as the bridge's
// handler applies them, in front of a model of the unit. The unit's answers to "S" come back as
// status lines through the unit framing into the filter's memory. The target stops when the unit
// model does something the user's blocks and limits forbid.
// The input also chooses when the unit's answers reach the bridge: the serial line is slower
// than the relay, so an answer can come after more commands have been let through.

#include "fuzz_input.h"

#include "core/command_filter.h"
#include "core/relay_framing.h"
#include "core/status_line.h"
#include "core/text_number.h"
#include "core/text_rules.h"
#include "support/unit_model.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <iterator>

using fuzz::check;
using test::UnitLineEffect;

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

struct Bridge {
    kelvo::FilterSettings settings;
    test::UnitModel unit;
    kelvo::FilterMemory memory;
    qint64 levelA = 0; // as the last valid status line reported them
    qint64 levelB = 0;
    QByteArray serialBuffer;
    QByteArray unitOutput; // what the unit has answered and the bridge has not read yet

    // The user's blocks and limits hold for everything the unit did.
    void checkUnit()
    {
        for (const UnitLineEffect &e : unit.takeEffects()) {
            if (e.kind == UnitLineEffect::Kind::Power)
                check(!settings.blockPower);
            if (e.kind == UnitLineEffect::Kind::Program)
                check(!settings.blockProgram);
            if (e.kind != UnitLineEffect::Kind::Level)
                continue;
            if (!(e.channel == 'A' ? settings.limitA : settings.limitB))
                continue;
            const double max = kelvo::textNumber(e.channel == 'A' ? settings.maxA : settings.maxB);
            if (double(e.before) <= max)
                check(double(e.after) <= max); // never above the maximum
            else
                check(e.after <= e.before); // above it already: only down
        }
    }

    void sendStimCommand(const QByteArray &command)
    {
        check(!command.contains('\r') && !command.contains('\n'));
        unitOutput += unit.receive(command + '\r');
        memory.noteLineSent(command);
        checkUnit();
    }

    // One data-available event of the unit's port, holding everything the unit has answered.
    void deliverUnitOutput()
    {
        if (unitOutput.isEmpty())
            return;
        serialBuffer += unitOutput;
        unitOutput.clear();
        const kelvo::UnitFrame frame = kelvo::frameUnitLine(serialBuffer);
        if (frame.kind == kelvo::UnitFrame::Kind::Incomplete)
            return;
        serialBuffer.clear();
        if (frame.kind != kelvo::UnitFrame::Kind::Line)
            return;
        const std::optional<kelvo::StatusLine> status = kelvo::parseStatusLine(frame.line);
        check(status.has_value()); // the model only ever answers with valid lines
        levelA = status->levelA;
        levelB = status->levelB;
        memory.resetFromStatus(levelA, levelB);
    }

    void serverMessage(const QByteArray &message)
    {
        check(message.startsWith(';') && !message.contains('\r'));
        const QByteArray code = kelvo::serverCode(message);
        check(code.isEmpty() ? message.size() < 4 : code == message.mid(1, 3));
        const QByteArray key = kelvo::issuedKey(message);
        check(key.size() <= 17 && message.contains(key));
        check(key.isEmpty() || !kelvo::isAsciiSpace(key.back()));
        check(kelvo::serverNotice(message).startsWith("Server message: "));
        if (code == "201")
            sendStimCommand("S"); // a remote user has joined: ask for the levels
    }

    void remoteCommands(const QByteArray &text)
    {
        check(!text.contains(';') && !text.contains('\r'));
        for (const QByteArray &command : kelvo::splitRemoteCommands(text)) {
            check(!command.contains('\n'));
            const kelvo::FilterOutcome out =
                kelvo::filterRemoteCommand(command, settings, levelA, levelB, memory);
            memory = out.memory;
            if (out.allowed)
                sendStimCommand(out.command);
            else
                sendStimCommand("S");
        }
    }

    // One data-available event of the relay socket.
    void relayRead(const QByteArray &raw)
    {
        const kelvo::RelayFrame frame = kelvo::frameRelayRead(raw);
        if (frame.kind == kelvo::RelayFrame::Kind::ServerMessage)
            serverMessage(frame.text);
        else
            remoteCommands(frame.text);
    }
};

} // namespace

// Input: settings (3 bytes), the unit's starting levels (2 bytes), then records of an operation
// byte, a length byte and that many bytes read from the relay in one event.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input input(data, size);
    Bridge bridge;
    bridge.settings = readSettings(input);
    const qint64 startA = qint64(input.byte()) - 3;
    const qint64 startB = qint64(input.byte()) - 3;
    bridge.unit = test::UnitModel(startA, startB);
    bridge.sendStimCommand("S"); // Connect asks for the status first
    bridge.deliverUnitOutput();

    while (!input.atEnd()) {
        const std::uint8_t operation = input.byte();
        if ((operation & 7) == 0) {
            bridge.settings = readSettings(input); // the user changed the preferences page
            continue;
        }
        if (operation & 8)
            bridge.sendStimCommand("S"); // the ping tick's poll
        if (operation & 16)
            bridge.deliverUnitOutput();
        bridge.relayRead(input.bytes(input.byte() % 64));
    }
    bridge.deliverUnitOutput();
    bridge.checkUnit();
    return 0;
}
