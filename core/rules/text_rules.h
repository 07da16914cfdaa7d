#pragma once
// Trimming and line ends on protocol bytes, and protocol bytes as text the user sees.
// Whitespace, for trimming, is ASCII: space, tab, LF, VT, FF, CR.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

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
// The same for a text the user sees (log texts).
[[nodiscard]] QString normaliseLineEnds(QStringView text);

// One character per byte (Latin-1): unit and relay bytes are 8-bit text, and a key shown and
// read back gives the same bytes.
[[nodiscard]] inline QString shown(QByteArrayView bytes) { return QString::fromLatin1(bytes); }

} // namespace kelvo
