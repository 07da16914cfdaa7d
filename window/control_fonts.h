#pragma once
// Font sizes of the controls that sit at fixed pixel places. They are pixel sizes, not point
// sizes: a point's size in pixels follows the screen's dots per inch, the geometry does not, so
// a text sized in points outgrows its control on a screen of more dots per inch.

#include <QFont>

namespace kelvo::controlFonts {

// The standard control font: the platform's face at the largest whole pixel size at which every
// fixed text fits its control in the widest common face (DejaVu Sans); at 12 px two check boxes
// and the preferences notes overflow by a pixel and the preferences intro needs a third line.
inline constexpr int standardPixelSize = 11;

// The font at that pixel size, bold and italic as asked, in another face where one is named.
[[nodiscard]] QFont controlFont(QFont font, int pixelSize, bool bold = false, bool italic = false,
                                const char *family = nullptr);

} // namespace kelvo::controlFonts
