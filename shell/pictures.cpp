#include "shell/pictures.h"

#include "platform/resources.h"

#include <QCoreApplication>
#include <QString>

#include <array>
#include <cstddef>

using namespace kelvo;

// The resource file lives in a static library: register it before the first read. Kept in the
// global namespace, where the resource's init function is declared.
static void registerPictureResources()
{
    static bool registered = false;
    if (!registered) {
        Q_INIT_RESOURCE(pictures);
        registered = true;
    }
}

namespace {

enum Slot : std::size_t { batterylowSlot, battery25Slot, battery50Slot, battery75Slot, batteryfullSlot, onepixelSlot, slotCount };

constexpr std::array<const char *, slotCount> names{"batterylow", "battery25", "battery50",
                                                     "battery75", "batteryfull", "onepixel"};

std::array<QPixmap, slotCount> &caches()
{
    // Built at first use, when the application exists; emptied before it goes, so no picture
    // outlives the GUI.
    static std::array<QPixmap, slotCount> pic;
    static const bool cleanupAdded = [] {
        qAddPostRoutine(pictures::releaseAll);
        return true;
    }();
    (void)cleanupAdded;
    return pic;
}

QPixmap cachedPicture(Slot slot)
{
    QPixmap &pic = caches()[slot];
    if (pic.isNull()) {
        registerPictureResources();
        pic = platform::resources().picture(QString::fromLatin1(names[slot]));
    }
    return pic;
}

Slot batterySlot(kelvo::BatteryPicture level)
{
    switch (level) {
    case kelvo::BatteryPicture::Low:
        return batterylowSlot;
    case kelvo::BatteryPicture::Quarter:
        return battery25Slot;
    case kelvo::BatteryPicture::Half:
        return battery50Slot;
    case kelvo::BatteryPicture::ThreeQuarters:
        return battery75Slot;
    case kelvo::BatteryPicture::Full:
        return batteryfullSlot;
    }
    return batterylowSlot;
}

} // namespace

namespace kelvo::pictures {

QPixmap batterylow() { return cachedPicture(batterylowSlot); }
QPixmap battery25() { return cachedPicture(battery25Slot); }
QPixmap battery50() { return cachedPicture(battery50Slot); }
QPixmap battery75() { return cachedPicture(battery75Slot); }
QPixmap batteryfull() { return cachedPicture(batteryfullSlot); }
QPixmap onepixel() { return cachedPicture(onepixelSlot); }

QPixmap battery(kelvo::BatteryPicture level) { return cachedPicture(batterySlot(level)); }

void releaseAll()
{
    for (QPixmap &pic : caches())
        pic = QPixmap();
}

} // namespace kelvo::pictures
