// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::savePrefs_Action()
{
}

void KelvoBridge::exitPrefs_Action()
{
}

void KelvoBridge::monitor10_Action(qint64)
{
}
