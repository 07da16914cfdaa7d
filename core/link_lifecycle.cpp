// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::connectButton_Action()
{
}

void KelvoBridge::stopButton_Action()
{
}

void KelvoBridge::createServerConnection()
{
}

void KelvoBridge::kelvoconnect_Connected()
{
}

void KelvoBridge::kelvoconnect_Error()
{
}

void KelvoBridge::resetState()
{
}
