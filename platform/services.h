#pragma once
// The seam between the program and the desktop platform for what has no seam of its own yet
// (the clock, the dialogs, the desktop, the port list and the resources have theirs).
// Production is plain Qt; tests install a subclass that scripts what a test must control
// (timer shots, relay endpoint) and keeps Qt for everything else.

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

    // False in tests that fire timer shots by hand: timers then keep their state but never
    // start a real QTimer.
    [[nodiscard]] virtual bool realTimeTimers() const;
};

// The services in force: the production ones unless a test has installed its own.
Services &services();
// Installs replacement services (not owned), or restores the production ones with nullptr.
void setServices(Services *replacement);

} // namespace platform
