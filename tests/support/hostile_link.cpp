#include "support/hostile_link.h"

#include "core/rules/relay_framing.h"
#include "core/rules/status_line.h"
#include "core/rules/text_number.h"
#include "core/rules/unit_line_budget.h"

#include <algorithm>

namespace test {

namespace {

// The levels a line would report, framed and parsed as the bridge does; nullopt if it would not.
std::optional<std::pair<qint64, qint64>> reading(const QByteArray &line)
{
    const kelvo::UnitFrame frame = kelvo::frameUnitLine(line + '\n');
    const auto status = kelvo::parseStatusLine(frame.line);
    if (!status)
        return std::nullopt;
    return std::pair{status->levelA, status->levelB};
}

// True when some line inside the garbled bytes reads as levels the unit never reported in it.
bool readsFalse(const QByteArray &garbled, const std::optional<std::pair<qint64, qint64>> &truth)
{
    for (const QByteArray &piece : garbled.split('\n')) {
        const auto r = reading(piece);
        if (r && r != truth)
            return true;
    }
    return false;
}

} // namespace

HostileLink::HostileLink(qint64 startA, qint64 startB) : unit_(startA, startB) {}

void HostileLink::trace(const QByteArray &what)
{
    if (tracing)
        trace_ += what + '\n';
}

void HostileLink::relayRead(const QByteArray &raw)
{
    trace("relay read '" + raw + "'");
    const kelvo::RelayFrame frame = kelvo::frameRelayRead(raw);
    if (frame.kind == kelvo::RelayFrame::Kind::RemoteCommand)
        remoteCommands(frame.text);
    else if (kelvo::serverCode(frame.text) == "201")
        poll();
}

void HostileLink::remoteCommands(const QByteArray &text)
{
    for (const QByteArray &command : kelvo::splitRemoteCommands(text)) {
        if (kelvo::unitLineBacklogged(qint64(forward_.size()))) {
            trace("  refused '" + command + "': the line is busy");
            ++refusedForBacklog_;
            continue;
        }
        const kelvo::FilterOutcome out =
            kelvo::filterRemoteCommand(command, settings, levelA_, levelB_, memory_);
        if (out.allowed) {
            memory_ = out.memory;
            send(out.command);
        } else {
            trace("  refused '" + command + "'");
            send("S");
        }
    }
}

void HostileLink::poll() { send("S"); }

void HostileLink::localOff(std::size_t held)
{
    // As the bridge's OFF: the waiting bytes thrown away, the filter told, a CR ahead of the "K"
    // in case the cut fell inside a command.
    const qsizetype kept = std::min(qsizetype(held), forward_.size());
    const qsizetype discarded = forward_.size() - kept;
    trace("  local OFF, " + QByteArray::number(discarded) + " bytes taken back");
    forward_.truncate(kept);
    memory_ = kelvo::afterCommandsTakenBack(memory_);
    bytesTakenBack_ += discarded;
    write("\rK\r");
}

void HostileLink::send(const QByteArray &command)
{
    ++commandsSent_;
    write(command + '\r');
}

void HostileLink::write(const QByteArray &bytes)
{
    forward_ += bytes;
    if (!slowLine)
        drainAll();
}

void HostileLink::drain(std::size_t count)
{
    const QByteArray bytes = forward_.left(qsizetype(count));
    forward_.remove(0, bytes.size());
    if (bytes.isEmpty())
        return;
    trace("  unit at " + QByteArray::number(unit_.levelA()) + "/" + QByteArray::number(unit_.levelB()) +
          " reads '" + bytes + "'");
    const QByteArray answers = unit_.receive(bytes);
    for (const QByteArray &line : answers.split('\n'))
        if (!line.isEmpty())
            waiting_.push_back(line + '\n');
    checkEffects();
}

void HostileLink::unaskedLine()
{
    trace("  unit reports on its own");
    waiting_.push_back(unit_.statusLine());
}

void HostileLink::loseLine(std::size_t index)
{
    if (index < waiting_.size())
        waiting_.erase(waiting_.begin() + qsizetype(index));
}

void HostileLink::garbleLine(std::size_t index, unsigned how, std::size_t at, char value)
{
    if (index >= waiting_.size() || waiting_[index].isEmpty())
        return;
    QByteArray &line = waiting_[index];
    const auto truth = reading(line.chopped(1));
    QByteArray garbled = line;
    const qsizetype p = qsizetype(at % std::size_t(garbled.size()));
    switch (how % 6) {
    case 0: garbled[p] = value; break;              // a byte changed
    case 1: garbled.remove(p, 1); break;            // a byte lost (overrun)
    case 2: garbled.insert(p, value); break;        // noise
    case 3: garbled = garbled.mid(p); break;        // cut: the start lost
    case 4: garbled.truncate(p); break;             // cut: the end lost (and its line end)
    case 5: garbled.replace(p, 1 + qsizetype(unsigned(value) % 8), ""); break;
    }
    // Corruption the bridge cannot tell from a true reading is not what this model can survive
    // before a channel is commanded; it arrives as noise instead.
    if (readsFalse(garbled, truth))
        garbled = "\x15?:?\n";
    line = garbled;
}

void HostileLink::deliver(std::size_t count)
{
    while (std::size_t(wire_.size()) < count && !waiting_.empty()) {
        wire_ += waiting_.front();
        waiting_.pop_front();
    }
    if (wire_.isEmpty() || count == 0)
        return;
    const QByteArray read = wire_.left(qsizetype(count));
    wire_.remove(0, read.size());

    // As the unit port's data-available handler frames it.
    receiveBuffer_ += read;
    const kelvo::UnitFrame frame = kelvo::frameUnitLine(receiveBuffer_);
    if (frame.kind == kelvo::UnitFrame::Kind::Incomplete)
        return;
    receiveBuffer_.clear();
    if (frame.kind != kelvo::UnitFrame::Kind::Line)
        return;
    const auto status = kelvo::parseStatusLine(frame.line);
    if (!status)
        return;
    ++linesParsed_;
    levelA_ = status->levelA;
    levelB_ = status->levelB;
    memory_.levelsReported = true;
    trace("  bridge reads " + QByteArray::number(levelA_) + "/" + QByteArray::number(levelB_));
}

void HostileLink::deliverAll()
{
    // Line by line, each in a read of its own.
    while (!waiting_.empty() || !wire_.isEmpty()) {
        const std::size_t next = waiting_.empty() ? 0 : std::size_t(waiting_.front().size());
        if (!wire_.isEmpty() || next > 0)
            deliver(std::size_t(wire_.size()) + next);
        else
            waiting_.pop_front(); // a line cut to nothing
    }
}

void HostileLink::checkEffects()
{
    for (const UnitLineEffect &e : unit_.takeEffects()) {
        if (violation_)
            return;
        QByteArray broken;
        if (e.kind == UnitLineEffect::Kind::Power && settings.blockPower)
            broken = "a blocked power command reached the unit";
        if (e.kind == UnitLineEffect::Kind::Program && settings.blockProgram)
            broken = "a blocked program command reached the unit";
        if (e.kind == UnitLineEffect::Kind::Level && (e.channel == 'A' ? settings.limitA : settings.limitB)) {
            const double max = kelvo::textNumber(e.channel == 'A' ? settings.maxA : settings.maxB);
            const bool kept = double(e.before) <= max ? double(e.after) <= max : e.after <= e.before;
            if (!kept)
                broken = QByteArray(1, e.channel) + " went from " + QByteArray::number(e.before) + " to " +
                    QByteArray::number(e.after) + " at maximum '" +
                    (e.channel == 'A' ? settings.maxA : settings.maxB) + "'";
        }
        if (!broken.isEmpty())
            violation_ = broken + " by '" + e.line + "'\n" + trace_;
    }
}

} // namespace test
