#include "platform/port_list.h"

#include <QSerialPortInfo>

namespace kelvo::platform {

namespace {

PortList *replacementPortList = nullptr;

} // namespace

PortList::~PortList() = default;

QStringList PortList::serialPortNames() const
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

PortList &portList()
{
    static PortList qtPortList;
    return replacementPortList ? *replacementPortList : qtPortList;
}

void setPortList(PortList *replacement)
{
    replacementPortList = replacement;
}

} // namespace kelvo::platform
