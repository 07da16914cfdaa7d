// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::enumeratePorts()
{
}

bool KelvoBridge::_detectSerial_Action()
{
    return true;
}

void KelvoBridge::detectPowerbox()
{
}

void KelvoBridge::probe_DataAvailable()
{
}

void KelvoBridge::probe_Error()
{
}

void KelvoBridge::probeTimer_Action()
{
}
