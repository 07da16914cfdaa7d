#pragma once
// How a Q6 reads what it gets, for tests: input split at CR and LF; in each line leading blanks
// and tabs skipped; the next character, in either case, decides: "M" program, "L"/"H" power,
// "A+"/"B+" raise that channel one step, "A"/"B" + optional blanks + digits set that channel;
// "S" answers with a status line of the levels doubled; anything else does nothing.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

namespace test {

struct UnitLineEffect {
    enum class Kind { None, Program, Power, Level, Status };
    Kind kind = Kind::None;
    char channel = 0; // 'A' or 'B' for Kind::Level
    qint64 before = 0;
    qint64 after = 0;
    QByteArray line;
};

class UnitModel {
public:
    UnitModel(qint64 levelA = 0, qint64 levelB = 0) : levels{levelA, levelB} {}

    // Takes bytes as written to the unit; returns its answers (status lines ending in LF).
    QByteArray receive(QByteArrayView bytes);

    [[nodiscard]] qint64 levelA() const { return levels[0]; }
    [[nodiscard]] qint64 levelB() const { return levels[1]; }
    [[nodiscard]] QByteArray statusLine() const;
    // Effects of the lines read since the last call, then forgotten.
    std::vector<UnitLineEffect> takeEffects();

private:
    UnitLineEffect readLine(QByteArrayView line);

    qint64 levels[2];
    QByteArray pending;
    std::vector<UnitLineEffect> effects;
};

} // namespace test
