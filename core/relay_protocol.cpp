// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::kelvoconnect_DataAvailable()
{
}
