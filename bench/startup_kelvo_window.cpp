// Start-up benchmark child: the program's own start-up (application object, open event, main
// window), with one listed port so no warning waits for an answer; it reports when idle and
// quits through the program's quit road.

#include "platform/port_list.h"
#include "shell/app.h"
#include "startup_child.h"
#include "window/kelvo_bridge.h"

#include <QApplication>

using namespace kelvo;

namespace {

class OnePortList : public platform::PortList {
public:
    [[nodiscard]] QStringList serialPortNames() const override { return {QStringLiteral("ttyBENCH0")}; }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    OnePortList ports;
    platform::setPortList(&ports);
    App app;
    app.startUp();
    benchChild::reportWhenIdle(KelvoBridge::openInstance(), [] { App::instance()->quitRoad(); });
    const int status = app.runEventLoop();
    platform::setPortList(nullptr);
    return status;
}
