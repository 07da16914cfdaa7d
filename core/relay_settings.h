#pragma once
// Where the bridge reaches the relay, and the certificate authorities it trusts for the relay
// beyond the system's certificate store. The program uses the build's relay; a test points the
// bridge at a relay of its own.

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace kelvo {

struct RelaySettings {
    QString host;
    quint16 port = 0;
    QList<QSslCertificate> extraCaCertificates;

    // The build's relay host at the relay's port, trusted through the system store alone.
    [[nodiscard]] static RelaySettings fromBuildSettings();
};

} // namespace kelvo
