#include "platform/services.h"

#include "build_settings.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QLocale>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QTimer>
#include <QToolTip>

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

void Services::msgBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int Services::msgBox(const QString &text, int code, const QString &title)
{
    const bool retryCancel = code == msgBoxCautionRetryCancel;
    QMessageBox box(QMessageBox::Warning, title, text,
                    retryCancel ? (QMessageBox::Retry | QMessageBox::Cancel) : QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    const int pressed = box.exec();
    if (pressed == QMessageBox::Cancel)
        return msgBoxCancel;
    if (pressed == QMessageBox::Retry)
        return msgBoxRetry;
    return msgBoxOk;
}

void Services::setClipboardText(const QString &text)
{
    QApplication::clipboard()->setText(text);
}

void Services::showTooltip(const QPoint &screenPosition, const QString &text)
{
    QToolTip::showText(screenPosition, text);
}

QPoint Services::pointerPosition() const
{
    return QCursor::pos();
}

void Services::openUrl(const QUrl &address)
{
    QDesktopServices::openUrl(address);
}

double Services::now() const
{
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

QString Services::dateTimeText() const
{
    return platform::dateTimeText(QDateTime::currentDateTime());
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

void Services::quit(int exitStatus)
{
    // Queued, so the caller's handler finishes before the event loop ends.
    QTimer::singleShot(0, qApp, [exitStatus] { QCoreApplication::exit(exitStatus); });
}

QString dateTimeText(const QDateTime &moment)
{
    return QLocale::system().toString(moment, QLocale::ShortFormat);
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
