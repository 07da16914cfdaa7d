#include "support/scripted_services.h"

#include <QFile>
#include <QSslCertificate>

QString testCertPath(const QString &fileName)
{
    return QStringLiteral(KELVO_TEST_CERT_DIR "/") + fileName;
}

ScriptedServices::ScriptedServices()
{
    platform::setServices(this);
    platform::setClock(this);
}

ScriptedServices::~ScriptedServices()
{
    platform::setServices(nullptr);
    platform::setClock(nullptr);
}

void ScriptedServices::msgBox(const QString &text)
{
    boxes.push_back({BoxKind::plain, text, 0, QString(), platform::msgBoxOk, nextOrdinal()});
    const ShownBox shown = boxes.back();
    if (onBox)
        onBox(shown);
}

int ScriptedServices::msgBox(const QString &text, int code, const QString &title)
{
    int answer = code == platform::msgBoxCautionRetryCancel ? platform::msgBoxRetry : platform::msgBoxOk;
    if (!answers_.isEmpty())
        answer = answers_.dequeue();
    boxes.push_back({BoxKind::coded, text, code, title, answer, nextOrdinal()});
    // A copy: the callback may run code that shows further boxes.
    const ShownBox shown = boxes.back();
    if (onBox)
        onBox(shown);
    return answer;
}

void ScriptedServices::showTooltip(const QPoint &screenPosition, const QString &text)
{
    tooltips.push_back({screenPosition, text, nextOrdinal()});
}

QList<QSslCertificate> ScriptedServices::extraCaCertificates() const
{
    return QSslCertificate::fromPath(testCertPath(QStringLiteral("ca.pem")));
}
