#include "window/status_lamp.h"

#include "window/kelvo_bridge.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPushButton>
#include <QRectF>

#include <array>
#include <utility>

namespace {

bool equalsAsciiNoCase(const QString &text, QLatin1StringView literal)
{
    if (text.size() != literal.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const char16_t lower = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        if (lower != char16_t(literal.at(i).unicode()))
            return false;
    }
    return true;
}

QColor lampColour(const QString &colourName)
{
    static const std::array<std::pair<QLatin1StringView, QRgb>, 4> colours{{
        {QLatin1StringView("red"), 0xBC0002},
        {QLatin1StringView("amber"), 0xDE7D04},
        {QLatin1StringView("green"), 0x48EC2D},
        {QLatin1StringView("grey"), 0x9E9FA3},
    }};
    for (const auto &[name, rgb] : colours) {
        if (equalsAsciiNoCase(colourName, name))
            return QColor(rgb);
    }
    return QColor(Qt::black);
}

} // namespace

QPixmap lampPicture(const QString &colourName)
{
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(lampColour(colourName));
    painter.drawEllipse(QRectF(14.0, 8.0, 26.0, 26.0));
    return picture;
}

void KelvoBridge::setButtonIcon(const QString &colourName)
{
    if (QPushButton *button = connectButton())
        button->setIcon(QIcon(lampPicture(colourName)));
}
