#pragma once
// The remote-command filter: the user's blocks and limits applied to one remote command.
//
// A command is judged from its first byte that is not a blank or tab, letters compared
// ASCII case-insensitively: "M" program, "L"/"H" power, "A+"/"B+" raise, and a level command
// found by the leftmost match of "[AB][ \t]*(\d+)", whose limit applies only when the command's
// first letter names that channel. A command holding a control byte other than tab is refused.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <limits>
#include <optional>
#include <vector>

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

// What the filter may have let one channel reach since the last valid status line, because the
// reported level goes stale as soon as a command is let through.
struct ChannelMemory {
    // Lowest level the unit may have been set to (no lower bound until a status line).
    qint64 lowest = std::numeric_limits<qint64>::min();
    // Highest level it may have reached; nullopt = unknown, at or above any maximum.
    std::optional<qint64> highest;
};

struct FilterMemory {
    ChannelMemory a;
    ChannelMemory b;

    // A status line answers a request sent earlier, so it tells the levels as they were then:
    // whatever the filter let through after that request must stay in the memory. Each request
    // still unanswered, oldest first, keeps what was let through after it was sent.
    struct StatusRequest {
        ChannelMemory a = nothingYet();
        ChannelMemory b = nothingYet();
    };
    std::vector<StatusRequest> requests;
    // More outstanding requests than this are not recorded: their answers then count as lines
    // that no request is known for, which only makes the memory more careful.
    static constexpr std::size_t maxRequests = 32;

    // Called for every line written to the unit: one that the unit answers with a status line
    // (its first byte that is not a blank or tab is "S" in either case) opens a request.
    void noteLineSent(QByteArrayView line);
    // Called on every valid status line with the levels it reports: it answers the oldest
    // request; a line with no request known keeps everything the memory held.
    void resetFromStatus(qint64 levelA, qint64 levelB);

    [[nodiscard]] static ChannelMemory nothingYet()
    {
        return {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    }
};

struct FilterOutcome {
    bool allowed = true;
    QByteArray command; // as it now stands: unchanged, or clamped to "A"/"B" + the maximum's text
    FilterMemory memory; // to be kept by the caller for the next command
};

// One remote command (no line end in it) against the settings, the reported levels and the memory.
[[nodiscard]] FilterOutcome filterRemoteCommand(const QByteArray &command, const FilterSettings &settings,
                                                qint64 levelA, qint64 levelB, const FilterMemory &memory);

} // namespace kelvo
