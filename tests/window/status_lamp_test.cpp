#include "window/kelvo_bridge.h"
#include "window/status_lamp.h"

#include <QColor>
#include <QImage>
#include <QPushButton>
#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr int centreX = 27, centreY = 21;

struct LampCase {
    const char *name;
    QRgb fill;
};

void PrintTo(const LampCase &lamp, std::ostream *out)
{
    *out << '"' << lamp.name << '"';
}

class LampColours : public ::testing::TestWithParam<LampCase> {};

TEST_P(LampColours, DiscInItsColourOnATransparentPicture)
{
    const QImage image = lampPicture(QString::fromLatin1(GetParam().name)).toImage();
    ASSERT_EQ(image.size(), QSize(40, 40));
    EXPECT_EQ(image.pixelColor(centreX, centreY), QColor(GetParam().fill));
    // Inside the disc near its left and right edges (smoothed, so nearly opaque there).
    EXPECT_GT(image.pixelColor(15, 21).alpha(), 200);
    EXPECT_GT(image.pixelColor(39, 21).alpha(), 200);
    // Outside it: left of the disc, above, below, the corners.
    for (const QPoint outside : {QPoint(7, 21), QPoint(12, 21), QPoint(27, 6), QPoint(27, 35),
                                 QPoint(0, 0), QPoint(39, 0), QPoint(0, 39), QPoint(39, 39)})
        EXPECT_EQ(image.pixelColor(outside).alpha(), 0) << outside.x() << "," << outside.y();
}

INSTANTIATE_TEST_SUITE_P(Names, LampColours,
                         ::testing::Values(LampCase{"red", 0xBC0002}, LampCase{"amber", 0xDE7D04},
                                           LampCase{"green", 0x48EC2D}, LampCase{"grey", 0x9E9FA3},
                                           LampCase{"GREEN", 0x48EC2D}, LampCase{"Amber", 0xDE7D04},
                                           LampCase{"", 0x000000}, LampCase{"blue", 0x000000},
                                           LampCase{"red ", 0x000000}));

TEST(LampColours, OnlyAsciiLettersFoldTheirCase)
{
    // Letter case is folded for ASCII letters only: a non-ASCII E is not "e".
    EXPECT_EQ(lampPicture(QStringLiteral("gr\u00C9y")).toImage().pixelColor(centreX, centreY),
              QColor(Qt::black));
}

TEST(SetButtonIcon, SetsANewLampPictureOnTheConnectButton)
{
    KelvoBridge window;
    QPushButton *button = window.connectButton();
    if (!button) { // the window's controls may not be built on this branch yet
        button = new QPushButton(&window);
        button->setObjectName(QStringLiteral("connectButton"));
    }
    window.setButtonIcon(QStringLiteral("green"));
    const qint64 first = button->icon().cacheKey();
    EXPECT_EQ(button->icon().pixmap(QSize(40, 40)).toImage().pixelColor(centreX, centreY),
              QColor(0x48EC2D));
    window.setButtonIcon(QStringLiteral("green"));
    EXPECT_NE(button->icon().cacheKey(), first);
    window.setButtonIcon(QStringLiteral("red"));
    EXPECT_EQ(button->icon().pixmap(QSize(40, 40)).toImage().pixelColor(centreX, centreY),
              QColor(0xBC0002));
}

} // namespace
