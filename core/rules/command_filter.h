#pragma once
// The remote-command filter: the user's blocks and limits applied to one remote command.
//
// Invariant: per channel, `commanded` is the level the unit stands at once it has run every
// command let through so far; no status line, however late, lost or unasked, ever lowers it.
// Raises are judged against the higher of it and the latest report, lowering against the lower.
// Once commands let through were taken back before the unit read them, where it stands is
// unknown both ways until a level command for that channel sets it again.
//
// A command is judged from its first byte that is not a blank or tab, letters compared
// ASCII case-insensitively: "M" program, "L"/"H" power, "A+"/"B+" raise, and a level command
// found by the leftmost match of "[AB][ \t]*(\d+)", whose limit applies only when the command's
// first letter names that channel. A command holding a control byte other than tab, or a byte
// above 0x7F (a unit that reads 7 bits would see another command in it), is refused.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace kelvo {

// The live settings, read from the preferences page at the moment of each command.
struct FilterSettings {
    bool blockPower = false;
    bool blockProgram = false;
    bool limitA = false;
    QByteArray maxA = "100"; // the text as typed
    bool limitB = false;
    QByteArray maxB = "100";
};

struct ChannelMemory {
    // Set by a level command let through, one up for a raise; nullopt until the first of them.
    // The unit runs commands in order, so this is where it stands once it has read them all,
    // whatever its status lines said in between.
    std::optional<qint64> commanded;
    // Some commands let through never reached the unit (thrown away ahead of an OFF, one of them
    // perhaps cut short), so `commanded` no longer says where it stands, and no report can.
    bool unknown = false;
};

// Kept for as long as the bridge lives: the unit keeps its levels across links.
struct FilterMemory {
    ChannelMemory a;
    ChannelMemory b;
    // Until the unit has reported its levels once, nothing is known to judge a raise by.
    bool levelsReported = false;
};

struct FilterOutcome {
    bool allowed = true;
    QByteArray command; // as it now stands: unchanged, or clamped to "A"/"B" + the maximum's text
    // To be kept by the caller once the command has been written to the unit (a command the
    // unit never gets commands nothing).
    FilterMemory memory;
};

// The memory once commands written to the unit were taken back before it read them all.
[[nodiscard]] FilterMemory afterCommandsTakenBack(FilterMemory memory);

// One remote command (no line end in it) against the settings, the latest reported levels and
// the memory.
[[nodiscard]] FilterOutcome filterRemoteCommand(const QByteArray &command, const FilterSettings &settings,
                                                qint64 levelA, qint64 levelB, const FilterMemory &memory);

} // namespace kelvo
