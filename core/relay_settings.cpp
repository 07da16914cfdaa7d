#include "core/relay_settings.h"

#include "build_settings.h"

namespace kelvo {

namespace {

// The port every relay listens on.
constexpr quint16 relayPort = 57846;

} // namespace

RelaySettings RelaySettings::fromBuildSettings()
{
    return {QString::fromUtf8(buildSettings::relayHost), relayPort, {}};
}

} // namespace kelvo
