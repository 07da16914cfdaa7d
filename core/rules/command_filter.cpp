#include "core/rules/command_filter.h"

#include "core/rules/text_number.h"

#include <QByteArrayView>

#include <algorithm>
#include <limits>

namespace kelvo {

namespace {

constexpr qint64 lowestLevel = std::numeric_limits<qint64>::min();
constexpr qint64 highestLevel = std::numeric_limits<qint64>::max();

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool holdsUnsafeByte(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 32 && c != '\t') || u >= 127;
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

// A whole level as a number that compares with a maximum (a double) without rounding either.
long double exact(qint64 level) { return static_cast<long double>(level); }

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

// What a command does to a channel as the unit reads it: its first letter names the channel,
// then "+" raises it one step, or blanks and digits set it (saturating); anything else leaves it.
struct UnitEffect {
    char channel = 0; // 'A' or 'B'; 0 when the command sets no level
    bool raise = false;
    qint64 level = 0;
};

UnitEffect unitEffect(QByteArrayView command)
{
    const QByteArrayView c = judged(command);
    if (c.isEmpty() || (upper(c[0]) != 'A' && upper(c[0]) != 'B'))
        return {};
    const char channel = upper(c[0]);
    if (isRaise(c, channel))
        return {channel, true, 0};
    qsizetype i = 1;
    while (i < c.size() && isBlank(c[i]))
        ++i;
    if (i == c.size() || !isAsciiDigit(c[i]))
        return {};
    qint64 n = 0;
    for (; i < c.size() && isAsciiDigit(c[i]); ++i)
        n = n > (highestLevel - 9) / 10 ? highestLevel : n * 10 + (c[i] - '0');
    return {channel, false, n};
}

// The clamp text must read, for the unit, as a level at or below the maximum: a maximum typed
// as "+50" would make a raise of it, "50e-1" a level above 5.
bool clampIsSafe(QByteArrayView clamped, double max)
{
    if (holdsUnsafeByte(clamped))
        return false;
    const UnitEffect effect = unitEffect(clamped);
    return effect.channel == 0 || (!effect.raise && exact(effect.level) <= max);
}

// Where a channel may stand when the command being judged reaches the unit.
struct Span {
    qint64 floor = lowestLevel;    // nothing counts as a lowering while unknown
    qint64 ceiling = highestLevel; // every raise is refused while unknown
};

Span spanOf(qint64 reported, const ChannelMemory &memory, bool levelsReported)
{
    if (memory.unknown)
        return {};
    if (!levelsReported)
        return memory.commanded ? Span{*memory.commanded, *memory.commanded} : Span{};
    const qint64 commanded = memory.commanded.value_or(reported);
    return {std::min(commanded, reported), std::max(commanded, reported)};
}

struct Channel {
    char letter;
    bool limited;
    QByteArrayView maxText;
    Span span;
    ChannelMemory *memory;
};

// The command let through, as the unit will run it.
void noteSent(QByteArrayView sent, const Channel &channel)
{
    const UnitEffect effect = unitEffect(sent);
    if (effect.channel != channel.letter)
        return;
    if (!effect.raise) {
        channel.memory->commanded = effect.level;
        channel.memory->unknown = false;
        return;
    }
    // One step up from where it stands; an unknown level stays unknown, the top stays the top.
    const qint64 base = channel.memory->commanded.value_or(channel.span.ceiling);
    if (base != highestLevel)
        channel.memory->commanded = base + 1;
}

} // namespace

FilterMemory afterCommandsTakenBack(FilterMemory memory)
{
    memory.a.unknown = true;
    memory.b.unknown = true;
    return memory;
}

FilterOutcome filterRemoteCommand(const QByteArray &command, const FilterSettings &settings, qint64 levelA,
                                  qint64 levelB, const FilterMemory &memory)
{
    FilterOutcome out{true, command, memory};
    const Channel channels[] = {
        {'A', settings.limitA, settings.maxA, spanOf(levelA, memory.a, memory.levelsReported), &out.memory.a},
        {'B', settings.limitB, settings.maxB, spanOf(levelB, memory.b, memory.levelsReported), &out.memory.b}};

    if (holdsUnsafeByte(command)) {
        out.allowed = false;
        return out;
    }
    const QByteArrayView c = judged(command);
    const char first = c.isEmpty() ? '\0' : upper(c[0]);

    if (first == 'M' && settings.blockProgram)
        out.allowed = false;
    if ((first == 'L' || first == 'H') && settings.blockPower)
        out.allowed = false;

    // A raise must not step past the maximum from the highest level the unit may stand at
    // (the same as "level >= max" for whole-number maxima).
    for (const Channel &ch : channels) {
        if (!isRaise(c, ch.letter) || !ch.limited)
            continue;
        if (ch.span.ceiling == highestLevel || exact(ch.span.ceiling + 1) > textNumber(ch.maxText))
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
            // Below the maximum is always safe; at or above it, only a certain lowering passes.
            const double max = textNumber(ch.maxText);
            if (n <= ch.span.floor || exact(n) < max)
                continue;
            const QByteArray clamped = QByteArray(1, ch.letter) + ch.maxText.toByteArray();
            if (exact(ch.span.ceiling) >= max || !clampIsSafe(clamped, max))
                out.allowed = false;
            else
                out.command = clamped;
        }
    }

    if (out.allowed) {
        for (const Channel &ch : channels)
            noteSent(out.command, ch);
    }
    return out;
}

} // namespace kelvo
