#include "core/rules/text_number.h"

#include "core/rules/decimal_magnitude.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kelvo {

namespace {

qsizetype skipDigits(QByteArrayView t, qsizetype i)
{
    while (i < t.size() && isAsciiDigit(t[i]))
        ++i;
    return i;
}

} // namespace

double textNumber(QByteArrayView t)
{
    qsizetype i = 0;
    while (i < t.size() && isBlank(t[i]))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    const qsizetype start = i;
    i = skipDigits(t, i);
    qsizetype digits = i - start;
    if (i < t.size() && t[i] == '.') {
        const qsizetype afterPoint = skipDigits(t, i + 1);
        digits += afterPoint - (i + 1);
        if (digits > 0)
            i = afterPoint;
    }
    if (digits == 0)
        return 0.0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-'))
            ++j;
        const qsizetype expEnd = skipDigits(t, j);
        if (expEnd > j)
            i = expEnd;
    }
    const char *first = t.data() + start;
    const char *last = t.data() + i;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = decimalMagnitude(t.sliced(start, i - start)) >= 0 ? std::numeric_limits<double>::infinity()
                                                                : 0.0;
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

bool exceedsInt64(double value)
{
    // 2^63 is exact as a double; every double below it truncates into range.
    constexpr double limit = 9223372036854775808.0;
    return value >= limit || value < -limit;
}

qint64 truncateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (value < -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

} // namespace kelvo
