#include "support/scripted_services.h"

using namespace kelvo;

QString testCertPath(const QString &fileName)
{
    return QStringLiteral(KELVO_TEST_CERT_DIR "/") + fileName;
}

ScriptedServices::ScriptedServices()
{
    platform::setClock(this);
    platform::setDialogs(this);
    platform::setDesktop(this);
    platform::setPortList(this);
    platform::setTimerDriver(this);
}

ScriptedServices::~ScriptedServices()
{
    platform::setClock(nullptr);
    platform::setDialogs(nullptr);
    platform::setDesktop(nullptr);
    platform::setPortList(nullptr);
    platform::setTimerDriver(nullptr);
}

void ScriptedServices::msgBox(const QString &text)
{
    boxes.push_back({BoxKind::plain, text, std::nullopt, QString(), platform::MsgBoxAnswer::Ok, nextOrdinal()});
    const ShownBox shown = boxes.back();
    if (onBox)
        onBox(shown);
}

platform::MsgBoxAnswer ScriptedServices::msgBox(const QString &text, platform::MsgBoxCode code, const QString &title)
{
    platform::MsgBoxAnswer answer = code == platform::MsgBoxCode::CautionRetryCancel ? platform::MsgBoxAnswer::Retry
                                                                                      : platform::MsgBoxAnswer::Ok;
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

void ScriptedServices::start(QTimer &timer, int periodMs, bool single)
{
    if (realTimers)
        platform::TimerDriver::start(timer, periodMs, single);
}
