#include "platform/services.h"

#include "build_settings.h"

namespace platform {

namespace {

Services *replacementServices = nullptr;

} // namespace

Services::~Services() = default;

QString Services::relayHost() const
{
    return QString::fromUtf8(buildSettings::relayHost);
}

quint16 Services::relayPort() const
{
    return 57846;
}

QList<QSslCertificate> Services::extraCaCertificates() const
{
    return {};
}

Services &services()
{
    static Services production;
    return replacementServices ? *replacementServices : production;
}

void setServices(Services *replacement)
{
    replacementServices = replacement;
}

} // namespace platform
