#pragma once
// The unit's receive framing and its status line of nine ":"-separated fields.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace kelvo {

// A buffer longer than this without a final LF is corrupt data: it is emptied, not kept growing.
inline constexpr qsizetype maxUnitBuffer = 4096;

struct UnitFrame {
    enum class Kind { Incomplete, Line, Overflow };
    Kind kind = Kind::Incomplete;
    QByteArray line; // the framed line, for Kind::Line
};

// One framing step on the receive buffer after appending what the port held:
// Incomplete when its last byte is not LF (Overflow when it is also longer than maxUnitBuffer);
// else the text before the first LF, every CR/LF removed, trimmed.
[[nodiscard]] UnitFrame frameUnitLine(QByteArrayView buffer);

enum class BatteryPicture { Low, Quarter, Half, ThreeQuarters, Full };
// trunc((reading - 320) * 100 / 422), in doubles, in that order.
[[nodiscard]] qint64 batteryPercent(double reading);
[[nodiscard]] BatteryPicture batteryPictureFor(qint64 percent);
// trunc(number(version) * 1000) >= 2107.
[[nodiscard]] bool firmwareSupportsRelativeLevels(QByteArrayView versionText);

// Fields are counted from 0.
struct StatusLine {
    qint64 levelA = 0; // trunc(field 1 / 2)
    qint64 levelB = 0; // trunc(field 2 / 2)
    QByteArray version; // field 8, unchanged
    qint64 batteryPercent = 0;
    BatteryPicture battery = BatteryPicture::Low;
    bool supportsRelativeLevels = false;
};

// nullopt unless the line splits at ":" into exactly nine fields.
[[nodiscard]] std::optional<StatusLine> parseStatusLine(QByteArrayView line);

} // namespace kelvo
