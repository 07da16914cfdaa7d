#pragma once
// The one text-to-number conversion of the program, on bytes.
//
// Reads the decimal number at the start of a text: optional leading blanks (space and tab only),
// an optional sign, ASCII digits with an optional "." and more digits (".5" and "5." both count:
// at least one digit on either side of the point), and an optional exponent (e or E, optional
// sign, digits; an "e" without digits ends the number before it). Anything else reads as 0:
// no "nan", "inf" or hex. Conversion is locale-independent (std::from_chars on the matched span).
// A value too large for a double reads as +/-infinity ("1e999"), too small as 0; callers compare
// against infinity like any other double, and truncation saturates it.

#include <QByteArrayView>
#include <QtGlobal>

namespace kelvo {

[[nodiscard]] double textNumber(QByteArrayView text);

// Cut toward zero into 64 bits, saturating at the limits; NaN gives 0.
[[nodiscard]] qint64 truncateToInt64(double value);

// True when truncation would saturate: the value lies outside the 64-bit signed range.
[[nodiscard]] bool exceedsInt64(double value);

// Space and tab: the blanks that may stand before a number or a command.
[[nodiscard]] constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
[[nodiscard]] constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace kelvo
