#include "platform/dialogs.h"

#include "platform/installed.h"

#include <QMessageBox>

namespace kelvo::platform {

Dialogs::~Dialogs() = default;

void Dialogs::msgBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

MsgBoxAnswer Dialogs::msgBox(const QString &text, MsgBoxCode code, const QString &title)
{
    const bool retryCancel = code == MsgBoxCode::CautionRetryCancel;
    QMessageBox box(QMessageBox::Warning, title, text,
                    retryCancel ? (QMessageBox::Retry | QMessageBox::Cancel) : QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    const int pressed = box.exec();
    if (pressed == QMessageBox::Cancel)
        return MsgBoxAnswer::Cancel;
    if (pressed == QMessageBox::Retry)
        return MsgBoxAnswer::Retry;
    return MsgBoxAnswer::Ok;
}

Dialogs &dialogs() { return Installed<Dialogs>::get(); }

void setDialogs(Dialogs *replacement) { Installed<Dialogs>::set(replacement); }

} // namespace kelvo::platform
