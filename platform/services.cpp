#include "platform/services.h"

#include "build_settings.h"

#include <QSerialPortInfo>
#include <QTimer>

namespace platform {

namespace {

Services *replacementServices = nullptr;

} // namespace

Services::~Services() = default;

QStringList Services::serialPortNames() const
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

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

bool Services::realTimeTimers() const
{
    return true;
}

QPixmap Services::picture(const QString &name) const
{
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(name));
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
