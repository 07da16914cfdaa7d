#pragma once
// The status lamp drawn as the icon of the Connect button.

#include <QPixmap>
#include <QString>

// A new 40 x 40 transparent picture holding one smoothed disc (left 14, top 8, size 26) in the
// colour named "red", "amber", "green" or "grey" (ASCII letter case ignored); any other name
// gets the disc in black, a new picture's drawing colour.
[[nodiscard]] QPixmap lampPicture(const QString &colourName);
