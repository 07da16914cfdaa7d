#pragma once
// The order of magnitude of a decimal number text, for the number readers: std::from_chars says
// only "out of range", not whether a number was too large or too small for a double.

#include <QByteArrayView>
#include <QtGlobal>

namespace kelvo {

// The power of ten of the first significant digit of a number text (an optional sign, digits
// with an optional ".", an optional exponent): "123" gives 2, "0.05" gives -2, "1e308" gives
// 308. For a number that does not fit a double, zero or more means too large and less than zero
// too small. The exponent is capped far past any double's range, so no text wraps it.
[[nodiscard]] qint64 decimalMagnitude(QByteArrayView number);

} // namespace kelvo
