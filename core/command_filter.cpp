#include "core/command_filter.h"

#include "core/text_number.h"

#include <algorithm>

namespace kelvo {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool holdsControlByte(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 32 && c != '\t') || u == 127;
    });
}

QByteArrayView judged(QByteArrayView command)
{
    qsizetype i = 0;
    while (i < command.size() && isBlank(command[i]))
        ++i;
    return command.sliced(i);
}

bool isRaise(QByteArrayView c, char channel) { return c.size() >= 2 && upper(c[0]) == channel && c[1] == '+'; }

struct LevelMatch {
    qsizetype letter = -1; // position of the letter, -1 when no match
    double value = 0.0;    // the digits, by the program's one conversion
};

// Leftmost "[AB][ \t]*(\d+)", case-insensitive.
LevelMatch findLevel(QByteArrayView c)
{
    for (qsizetype i = 0; i < c.size(); ++i) {
        const char letter = upper(c[i]);
        if (letter != 'A' && letter != 'B')
            continue;
        qsizetype j = i + 1;
        while (j < c.size() && isBlank(c[j]))
            ++j;
        qsizetype end = j;
        while (end < c.size() && isAsciiDigit(c[end]))
            ++end;
        if (end > j)
            return {i, textNumber(c.sliced(j, end - j))};
    }
    return {};
}

// The clamp text must read, for the unit, as a level at or below the maximum: a maximum typed
// as "+50" would make a raise of it, "50e-1" a level above 5.
bool clampIsSafe(QByteArrayView clamped, double max)
{
    if (holdsControlByte(clamped) || isRaise(clamped, upper(clamped[0])))
        return false;
    const LevelMatch m = findLevel(clamped);
    return m.letter != 0 || m.value <= max;
}

struct Channel {
    char letter;
    bool limited;
    QByteArrayView maxText;
    qint64 level;
    ChannelMemory *memory;
};

void noteSent(QByteArrayView sent, Channel &ch)
{
    const QByteArrayView c = judged(sent);
    if (c.isEmpty() || upper(c[0]) != ch.letter)
        return;
    if (isRaise(c, ch.letter)) {
        ch.memory->highest.reset();
        return;
    }
    const LevelMatch m = findLevel(c);
    if (m.letter < 0)
        return;
    const qint64 n = truncateToInt64(m.value);
    ch.memory->lowest = std::min(ch.memory->lowest, n);
    if (ch.memory->highest)
        ch.memory->highest = std::max(*ch.memory->highest, n);
}

} // namespace

FilterOutcome filterRemoteCommand(const QByteArray &command, const FilterSettings &settings, qint64 levelA,
                                  qint64 levelB, const FilterMemory &memory)
{
    FilterOutcome out{true, command, memory};
    Channel channels[] = {{'A', settings.limitA, settings.maxA, levelA, &out.memory.a},
                          {'B', settings.limitB, settings.maxB, levelB, &out.memory.b}};

    if (holdsControlByte(command)) {
        out.allowed = false;
        return out;
    }
    const QByteArrayView c = judged(command);
    const char first = c.isEmpty() ? '\0' : upper(c[0]);

    if (first == 'M' && settings.blockProgram)
        out.allowed = false;
    if ((first == 'L' || first == 'H') && settings.blockPower)
        out.allowed = false;

    // A raise is judged against the highest level the unit may have reached, and must not
    // step past the maximum (the same as "level >= max" for whole-number maxima).
    for (const Channel &ch : channels) {
        if (!isRaise(c, ch.letter) || !ch.limited)
            continue;
        const std::optional<qint64> highest = ch.memory->highest;
        if (!highest || double(std::max(*highest, ch.level)) + 1.0 > textNumber(ch.maxText))
            out.allowed = false;
    }

    const LevelMatch match = findLevel(c);
    if (match.letter >= 0) {
        const qint64 n = truncateToInt64(match.value);
        for (const Channel &ch : channels) {
            const QByteArrayView now = judged(out.command);
            if (now.isEmpty() || upper(now[0]) != ch.letter || !ch.limited)
                continue;
            if (exceedsInt64(match.value)) {
                out.allowed = false;
                continue;
            }
            // Lowering is certain only below every level the unit may have been set to since
            // the last status line, not just below the reported one.
            const qint64 floor = std::min(ch.level, ch.memory->lowest);
            const double max = textNumber(ch.maxText);
            if (n <= floor || double(n) < max)
                continue;
            if (double(ch.level) >= max) {
                out.allowed = false;
            } else {
                QByteArray clamped = QByteArray(1, ch.letter) + ch.maxText.toByteArray();
                if (clampIsSafe(clamped, max))
                    out.command = clamped;
                else
                    out.allowed = false;
            }
        }
    }

    if (out.allowed)
        for (Channel &ch : channels)
            noteSent(out.command, ch);
    return out;
}

} // namespace kelvo
