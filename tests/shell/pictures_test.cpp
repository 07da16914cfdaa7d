#include "platform/resources.h"
#include "shell/pictures.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

using namespace kelvo;

namespace {

// Real resources, with every read counted and chosen names made to give nothing.
class CountingResources : public platform::Resources {
public:
    QPixmap picture(const QString &name) const override
    {
        ++reads[name];
        return missing.contains(name) ? QPixmap() : Resources::picture(name);
    }
    mutable QHash<QString, int> reads;
    QSet<QString> missing;
};

class Pictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        pictures::releaseAll();
        platform::setResources(&resources);
    }
    void TearDown() override
    {
        platform::setResources(nullptr);
        pictures::releaseAll();
    }
    CountingResources resources;
};

TEST_F(Pictures, ReadOnceThenKept)
{
    const QPixmap first = pictures::batterylow();
    const QPixmap second = pictures::batterylow();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
    EXPECT_EQ(resources.reads.value(QStringLiteral("batterylow")), 1);
    EXPECT_EQ(resources.reads.size(), 1); // no other picture was touched
}

TEST_F(Pictures, AMissingPictureIsTriedAgainAndOthersAreUnaffected)
{
    resources.missing << QStringLiteral("battery50");
    EXPECT_TRUE(pictures::battery50().isNull());
    EXPECT_TRUE(pictures::battery50().isNull());
    EXPECT_EQ(resources.reads.value(QStringLiteral("battery50")), 2);
    EXPECT_FALSE(pictures::battery25().isNull());

    resources.missing.clear();
    EXPECT_FALSE(pictures::battery50().isNull());
    EXPECT_FALSE(pictures::battery50().isNull());
    EXPECT_EQ(resources.reads.value(QStringLiteral("battery50")), 3);
    EXPECT_EQ(resources.reads.value(QStringLiteral("battery25")), 1);
}

TEST_F(Pictures, AllSixResourcesLoad)
{
    for (const QPixmap &battery : {pictures::batterylow(), pictures::battery25(), pictures::battery50(),
                                   pictures::battery75(), pictures::batteryfull()})
        EXPECT_EQ(battery.size(), QSize(35, 20));
    const QImage blank = pictures::onepixel().toImage();
    ASSERT_EQ(blank.size(), QSize(1, 1));
    EXPECT_EQ(blank.pixelColor(0, 0).alpha(), 0);
    // The levels are told apart by their pictures.
    EXPECT_NE(pictures::battery25().toImage(), pictures::battery75().toImage());
}

TEST_F(Pictures, EachBatteryLevelShowsItsPicture)
{
    using Level = kelvo::BatteryPicture;
    const struct { Level level; const char *name; } levels[] = {
        {Level::Low, "batterylow"}, {Level::Quarter, "battery25"}, {Level::Half, "battery50"},
        {Level::ThreeQuarters, "battery75"}, {Level::Full, "batteryfull"},
    };
    for (const auto &c : levels) {
        pictures::releaseAll();
        resources.reads.clear();
        EXPECT_FALSE(pictures::battery(c.level).isNull()) << c.name;
        EXPECT_EQ(resources.reads.keys(), QList<QString>{QString::fromLatin1(c.name)});
    }
}

} // namespace
