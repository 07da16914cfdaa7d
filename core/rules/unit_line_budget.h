#pragma once
// How much may wait on its way to the unit. Its line runs at 9600 bit/s, 8N1: 960 bytes a
// second, slower than any relay, so whatever is written faster waits in the serial layer.

#include <QtGlobal>

namespace kelvo {

inline constexpr qint64 unitLineBytesPerSecond = 960;

// A remote command behind more than about a second of line time is refused: the unit would run
// it long after the remote sent it, and a flood would stand between an OFF and the unit.
[[nodiscard]] constexpr bool unitLineBacklogged(qint64 bytesWaiting)
{
    return bytesWaiting > unitLineBytesPerSecond;
}

} // namespace kelvo
