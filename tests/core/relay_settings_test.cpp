// The relay a new bridge window reaches unless told otherwise.

#include "window/kelvo_bridge.h"

#include "build_settings.h"
#include "support/scripted_services.h"

#include <gtest/gtest.h>

namespace {

TEST(RelaySettings, ANewWindowReachesTheBuildsRelayTrustedThroughTheSystemStoreAlone)
{
    ScriptedServices services;
    KelvoBridge window;
    EXPECT_EQ(window.relaySettings.host, QString::fromUtf8(buildSettings::relayHost));
    EXPECT_EQ(window.relaySettings.port, 57846);
    EXPECT_TRUE(window.relaySettings.extraCaCertificates.isEmpty());
}

} // namespace
