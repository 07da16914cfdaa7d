#include "window/kelvo_bridge.h"

#include <gtest/gtest.h>

TEST(KelvoBridgeState, DefaultsOfANewWindow)
{
    KelvoBridge window;
    EXPECT_TRUE(window.allowPrefs);
    EXPECT_TRUE(window.allowScan);
    EXPECT_EQ(window.pcount, 1);
    EXPECT_EQ(window.prefmonitor, 1);
    EXPECT_FALSE(window.serverconnected);
    EXPECT_TRUE(window.kelvoResults.isEmpty());
}
