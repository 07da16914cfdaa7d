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

// What a sent command may have done to one channel's level.
void noteSent(QByteArrayView sent, char letter, ChannelMemory &memory)
{
    const QByteArrayView c = judged(sent);
    if (c.isEmpty() || upper(c[0]) != letter)
        return;
    if (isRaise(c, letter)) {
        memory.highest.reset();
        return;
    }
    const LevelMatch m = findLevel(c);
    if (m.letter < 0)
        return;
    const qint64 n = truncateToInt64(m.value);
    memory.lowest = std::min(memory.lowest, n);
    if (memory.highest)
        memory.highest = std::max(*memory.highest, n);
}

void noteSent(QByteArrayView sent, FilterMemory &memory)
{
    noteSent(sent, 'A', memory.a);
    noteSent(sent, 'B', memory.b);
    for (FilterMemory::StatusRequest &request : memory.requests) {
        noteSent(sent, 'A', request.a);
        noteSent(sent, 'B', request.b);
    }
}

// A reported level together with what may have happened to the channel since.
ChannelMemory since(qint64 reported, const ChannelMemory &after)
{
    ChannelMemory merged;
    merged.lowest = std::min(reported, after.lowest);
    if (after.highest)
        merged.highest = std::max(reported, *after.highest);
    return merged;
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
        noteSent(out.command, out.memory);
    return out;
}

void FilterMemory::noteLineSent(QByteArrayView line)
{
    const QByteArrayView c = judged(line);
    if (c.isEmpty() || upper(c[0]) != 'S' || requests.size() >= maxRequests)
        return;
    requests.push_back({});
}

void FilterMemory::resetFromStatus(qint64 levelA, qint64 levelB)
{
    if (requests.empty()) {
        a = since(levelA, a);
        b = since(levelB, b);
        return;
    }
    const StatusRequest answered = requests.front();
    requests.erase(requests.begin());
    a = since(levelA, answered.a);
    b = since(levelB, answered.b);
}

} // namespace kelvo
