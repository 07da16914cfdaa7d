#include "support/unit_model.h"

#include <limits>

namespace test {

namespace {
char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
bool blank(char c) { return c == ' ' || c == '\t'; }
constexpr qint64 maxLevel = std::numeric_limits<qint64>::max();
} // namespace

QByteArray UnitModel::receive(QByteArrayView bytes)
{
    QByteArray answers;
    for (char c : bytes) {
        if (c != '\r' && c != '\n') {
            pending.append(c);
            continue;
        }
        const UnitLineEffect effect = readLine(pending);
        if (effect.kind == UnitLineEffect::Kind::Status)
            answers += statusLine();
        if (effect.kind != UnitLineEffect::Kind::None)
            effects.push_back(effect);
        pending.clear();
    }
    return answers;
}

QByteArray UnitModel::statusLine() const
{
    auto doubled = [](qint64 v) { return QByteArray::number(2.0 * double(v), 'f', 0); };
    return "600:" + doubled(levels[0]) + ":" + doubled(levels[1]) + ":0:0:0:0:0:2.107\n";
}

std::vector<UnitLineEffect> UnitModel::takeEffects()
{
    std::vector<UnitLineEffect> out;
    out.swap(effects);
    return out;
}

UnitLineEffect UnitModel::readLine(QByteArrayView line)
{
    UnitLineEffect e;
    e.line = line.toByteArray();
    qsizetype i = 0;
    while (i < line.size() && blank(line[i]))
        ++i;
    if (i == line.size())
        return e;
    const char first = upper(line[i]);
    if (first == 'M') {
        e.kind = UnitLineEffect::Kind::Program;
    } else if (first == 'L' || first == 'H') {
        e.kind = UnitLineEffect::Kind::Power;
    } else if (first == 'S') {
        e.kind = UnitLineEffect::Kind::Status;
    } else if (first == 'A' || first == 'B') {
        qint64 &level = levels[first == 'A' ? 0 : 1];
        qsizetype j = i + 1;
        if (j < line.size() && line[j] == '+') {
            e = {UnitLineEffect::Kind::Level, first, level, level == maxLevel ? level : level + 1, e.line};
        } else {
            while (j < line.size() && blank(line[j]))
                ++j;
            if (j == line.size() || line[j] < '0' || line[j] > '9')
                return e;
            qint64 n = 0;
            for (; j < line.size() && line[j] >= '0' && line[j] <= '9'; ++j)
                n = n > (maxLevel - 9) / 10 ? maxLevel : n * 10 + (line[j] - '0');
            e = {UnitLineEffect::Kind::Level, first, level, n, e.line};
        }
        level = e.after;
    }
    return e;
}

} // namespace test
