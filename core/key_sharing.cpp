// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

bool KelvoBridge::connectionKey_MouseDown(int, int)
{
    return true;
}

bool KelvoBridge::_EditCopy_Action()
{
    return true;
}
