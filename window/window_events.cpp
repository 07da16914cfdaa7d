// Not built yet: each body comes with its own change.

#include "window/kelvo_bridge.h"

void KelvoBridge::AddMenuHandlers()
{
}

void KelvoBridge::Event_Open()
{
}

void KelvoBridge::Event_Close()
{
}

void KelvoBridge::Event_EnableMenuItems()
{
}

bool KelvoBridge::_EditPrefs_Action()
{
    return true;
}

bool KelvoBridge::_FileAbout_Action()
{
    return true;
}

bool KelvoBridge::_showLog_Action(qint64)
{
    return true;
}
