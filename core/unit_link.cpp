// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::sendStimCommand(const QByteArray &)
{
}

void KelvoBridge::kelvoserial_DataAvailable()
{
}

void KelvoBridge::kelvoserial_Error()
{
}

void KelvoBridge::parseStimData(const QByteArray &)
{
}
