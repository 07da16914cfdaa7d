#pragma once
// The pictures of the program's resources: each is read once, at its first use that finds it,
// and kept to the end; a read that gives nothing is tried again at the next use.

#include <QPixmap>

namespace pictures {

[[nodiscard]] QPixmap batterylow();
[[nodiscard]] QPixmap battery25();
[[nodiscard]] QPixmap battery50();
[[nodiscard]] QPixmap battery75();
[[nodiscard]] QPixmap batteryfull();
[[nodiscard]] QPixmap onepixel();

// Empties every cache, so a test starts from a fresh run.
void clearCachesForTesting();

} // namespace pictures
