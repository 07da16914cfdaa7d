#pragma once
// Trimming and line ends on protocol bytes.
// Whitespace, for trimming, is ASCII: space, tab, LF, VT, FF, CR.

#include <QByteArray>
#include <QByteArrayView>

namespace kelvo {

[[nodiscard]] constexpr bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whitespace removed at both ends.
[[nodiscard]] QByteArray trimmed(QByteArrayView text);
// Whitespace removed at the end only.
[[nodiscard]] QByteArray trimmedEnd(QByteArrayView text);
// Every CR and LF removed, wherever it stands.
[[nodiscard]] QByteArray removeLineEnds(QByteArrayView text);
// Every line end made one LF: CR LF -> LF, a lone CR -> LF.
[[nodiscard]] QByteArray normaliseLineEnds(QByteArrayView text);

} // namespace kelvo
