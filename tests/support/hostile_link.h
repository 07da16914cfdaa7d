#pragma once
// The bridge's remote-command path in front of a Q6 that really runs what it gets, over a serial
// line that is as bad as reality allows on the way back. Pure: no ports, no event loop, so the
// property test and the fuzzer drive it step by step.
//
// Forward (bridge to unit): every command the filter lets through goes onto the line, in order,
// and the unit runs it as it reads it (test::UnitModel). On a fast line it reads each at once; on
// a slow one the bytes wait until the driver drains them, in pieces that may end inside a
// command, and a local OFF throws away what waits beyond what the device holds, as the bridge
// does, so the unit may never read some commands the filter let through. Back (unit to bridge): each status line carries the
// unit's true levels at the moment it made the line (an answer to "S", or a line of its own at any
// moment); lines wait on the line for as long as the driver likes, and may be lost, cut, merged or
// garbled, then reach the bridge in reads of any size through its real framing and parser. A line
// garbled into a valid status line of other levels is turned into noise: a reading the bridge
// cannot tell from a true one is trusted until a channel has been commanded (see the filter).

#include "support/unit_model.h"

#include "core/rules/command_filter.h"

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <optional>

namespace test {

class HostileLink {
public:
    HostileLink(qint64 startA, qint64 startB);

    kelvo::FilterSettings settings;

    // --- The bridge's side, as its handlers do it.
    // One read from the relay: a server message ("201" asks the unit for its levels) or remote
    // commands, each filtered and either sent or refused (refused: "S" to the unit).
    void relayRead(const QByteArray &raw);
    void remoteCommands(const QByteArray &text);
    // The ping tick's poll, Connect's first request.
    void poll();
    // The local OFF: what waits on the line beyond the first `held` bytes (the device's own
    // buffer) is thrown away, then "K" goes out.
    void localOff(std::size_t held);

    // --- The line to the unit.
    // Off (the default), the unit reads every command as it is sent.
    bool slowLine = false;
    [[nodiscard]] std::size_t bytesOnTheWay() const { return std::size_t(forward_.size()); }
    // The unit reads the next `count` bytes on the line.
    void drain(std::size_t count);
    void drainAll() { drain(bytesOnTheWay()); }

    // --- The unit's side of the line back.
    // The unit reports on its own (a knob, a power-up), with its levels as they are now.
    void unaskedLine();
    [[nodiscard]] std::size_t linesWaiting() const { return waiting_.size(); }
    void loseLine(std::size_t index);
    // Mutates the waiting line at index: how is chosen by `how`, where by `at`, with `value`.
    void garbleLine(std::size_t index, unsigned how, std::size_t at, char value);
    // The next `count` bytes on the line (whole waiting lines move onto it as needed) reach the
    // bridge in one read: appended to its receive buffer and framed as its handler frames them.
    void deliver(std::size_t count);
    void deliverAll();

    // --- The verdict on the unit's true levels.
    // The first broken rule, with what led to it when tracing; nullopt while every rule held.
    [[nodiscard]] const std::optional<QByteArray> &violation() const { return violation_; }
    bool tracing = false;
    [[nodiscard]] const UnitModel &unit() const { return unit_; }
    [[nodiscard]] const kelvo::FilterMemory &memory() const { return memory_; }
    [[nodiscard]] qint64 reportedA() const { return levelA_; }
    [[nodiscard]] qint64 reportedB() const { return levelB_; }
    [[nodiscard]] qint64 commandsSent() const { return commandsSent_; }
    [[nodiscard]] qint64 linesParsed() const { return linesParsed_; }
    [[nodiscard]] qint64 commandsRefusedForBacklog() const { return refusedForBacklog_; }
    [[nodiscard]] qint64 bytesTakenBack() const { return bytesTakenBack_; }

private:
    void send(const QByteArray &command);
    void write(const QByteArray &bytes);
    void checkEffects();
    void trace(const QByteArray &what);

    UnitModel unit_;
    kelvo::FilterMemory memory_;
    qint64 levelA_ = 0; // as the last valid status line reported them
    qint64 levelB_ = 0;
    QByteArray forward_; // bytes on their way to the unit, in order
    QByteArray receiveBuffer_;
    std::deque<QByteArray> waiting_; // lines the unit made, not yet on the wire
    QByteArray wire_;                // bytes on their way, in order
    std::optional<QByteArray> violation_;
    QByteArray trace_;
    qint64 commandsSent_ = 0;
    qint64 linesParsed_ = 0;
    qint64 refusedForBacklog_ = 0;
    qint64 bytesTakenBack_ = 0;
};

} // namespace test
