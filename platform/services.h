#pragma once
// The seam between the program and the desktop platform for what has no seam of its own yet
// (the clock, the dialogs, the desktop, the port list, the resources and the timer driver have
// theirs). Production is plain Qt; tests install a subclass that scripts the relay endpoint.

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace platform {

class Services {
public:
    virtual ~Services();

    // Where the relay is reached, and the extra certificate authorities trusted for it
    // (production: the build setting, 57846, none beyond the system store).
    [[nodiscard]] virtual QString relayHost() const;
    [[nodiscard]] virtual quint16 relayPort() const;
    [[nodiscard]] virtual QList<QSslCertificate> extraCaCertificates() const;
};

// The services in force: the production ones unless a test has installed its own.
Services &services();
// Installs replacement services (not owned), or restores the production ones with nullptr.
void setServices(Services *replacement);

} // namespace platform
