// The bridge's clock: its times are whole seconds since 1970, the fraction cut off.

#include "window/kelvo_bridge.h"

#include "core/rules/text_number.h"
#include "platform/clock.h"

using namespace kelvo;

qint64 KelvoBridge::wholeSecondsNow()
{
    return kelvo::truncateToInt64(platform::clock().now());
}
