#pragma once
// The pictures of the program's resources: each is read once, at its first use that finds it,
// and kept to the end; a read that gives nothing is tried again at the next use.

#include "core/rules/status_line.h"

#include <QPixmap>

namespace kelvo::pictures {

[[nodiscard]] QPixmap batterylow();
[[nodiscard]] QPixmap battery25();
[[nodiscard]] QPixmap battery50();
[[nodiscard]] QPixmap battery75();
[[nodiscard]] QPixmap batteryfull();
[[nodiscard]] QPixmap onepixel();

// The battery display's picture for a level of a status line.
[[nodiscard]] QPixmap battery(kelvo::BatteryPicture level);

// Lets every kept picture go; the next use reads it again. Runs as the application goes, so
// no picture outlives the GUI.
void releaseAll();

} // namespace kelvo::pictures
