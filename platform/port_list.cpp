#include "platform/port_list.h"

#include "platform/installed.h"

#include <QSerialPortInfo>

namespace kelvo::platform {

PortList::~PortList() = default;

QStringList PortList::serialPortNames() const
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

PortList &portList() { return Installed<PortList>::get(); }

void setPortList(PortList *replacement) { Installed<PortList>::set(replacement); }

} // namespace kelvo::platform
