#include "window/control_fonts.h"

#include <QString>

namespace kelvo::controlFonts {

QFont controlFont(QFont font, int pixelSize, bool bold, bool italic, const char *family)
{
    if (family) {
        font.setFamily(QString::fromLatin1(family));
        // Keep a fixed-pitch look where that face is not installed.
        font.setStyleHint(QFont::TypeWriter);
    }
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace kelvo::controlFonts
