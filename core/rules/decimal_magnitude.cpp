#include "core/rules/decimal_magnitude.h"

#include "core/rules/text_number.h"

namespace kelvo {

qint64 decimalMagnitude(QByteArrayView number)
{
    qsizetype i = 0;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    qint64 integerDigits = 0;
    qint64 digitIndex = 0;
    qint64 firstSignificant = 0; // index among all mantissa digits
    bool seenPoint = false;
    bool seenSignificant = false;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
        if (number[i] == '.') {
            seenPoint = true;
            continue;
        }
        if (!seenSignificant && number[i] != '0') {
            seenSignificant = true;
            firstSignificant = digitIndex;
        }
        ++digitIndex;
        if (!seenPoint)
            ++integerDigits;
    }
    qint64 exponent = 0;
    if (i < number.size()) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            negative = number[i++] == '-';
        for (; i < number.size() && isAsciiDigit(number[i]); ++i)
            exponent = qMin<qint64>(exponent * 10 + (number[i] - '0'), qint64(1) << 40);
        if (negative)
            exponent = -exponent;
    }
    return exponent + integerDigits - 1 - firstSignificant;
}

} // namespace kelvo
