#pragma once
// The machine's serial ports, by name. Production asks Qt; a test lists the pseudo-terminals
// of its simulated units, which Qt never lists.

#include <QStringList>

namespace kelvo::platform {

class PortList {
public:
    virtual ~PortList();

    // In the platform's order.
    [[nodiscard]] virtual QStringList serialPortNames() const;
};

// The port list in force: Qt's unless another is installed.
PortList &portList();
// Installs a replacement port list (not owned), or restores Qt's with nullptr.
void setPortList(PortList *replacement);

} // namespace kelvo::platform
