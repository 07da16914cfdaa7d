#pragma once
// The platform seams for tests, in one object: Qt for everything but what a test must control.
// Installs itself as the clock, the dialogs, the desktop, the port list and the timer driver on
// construction, and restores the production ones on destruction.
// Message boxes are recorded and answered from a script, never shown; the clock, the port list
// and the pointer are settable; web addresses, tooltips and quit requests are recorded only;
// timers fire only through Timer::fire() unless real-time timers are switched on.

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/port_list.h"
#include "platform/timer_driver.h"

#include <QList>
#include <QPoint>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

class ScriptedServices : public kelvo::platform::Clock,
                         public kelvo::platform::Dialogs,
                         public kelvo::platform::Desktop,
                         public kelvo::platform::PortList,
                         public kelvo::platform::TimerDriver {
public:
    enum class BoxKind { plain, coded };
    struct ShownBox {
        BoxKind kind;
        QString text;
        std::optional<kelvo::platform::MsgBoxCode> code; // none for the plain form
        QString title;                            // empty for the plain form
        kelvo::platform::MsgBoxAnswer answer;            // what the box returned (Ok for the plain form)
        int ordinal;                              // position among every recorded event, see nextOrdinal()
    };
    struct ShownTooltip {
        QPoint position;
        QString text;
        int ordinal;
    };

    ScriptedServices();
    ~ScriptedServices() override;
    ScriptedServices(const ScriptedServices &) = delete;
    ScriptedServices &operator=(const ScriptedServices &) = delete;

    // --- scripting ---
    // Answers for the coded boxes, first in first out; with none queued a box answers Ok,
    // or Retry where it offers Retry.
    void pushAnswer(kelvo::platform::MsgBoxAnswer answer) { answers_.enqueue(answer); }
    // Drops the answers still queued, so none is left for a later box.
    void clearAnswers() { answers_.clear(); }
    // Runs while a box "is shown", before it returns: lets a test look at the state then.
    std::function<void(const ShownBox &)> onBox;
    double clock = 1'700'000'000.0;
    QString dateText = QStringLiteral("2023-11-14 22:13:20");
    QStringList ports;
    QPoint pointer {100, 200};
    bool realTimers = false;

    // --- records ---
    std::vector<ShownBox> boxes;
    std::vector<ShownTooltip> tooltips;
    QList<QUrl> openedUrls;
    QList<int> quitRequests;
    // A shared counter that orders boxes and tooltips; tests may take numbers from it for
    // their own events (e.g. a log line seen) to compare order.
    int nextOrdinal() { return ordinal_++; }

    // --- the seams ---
    [[nodiscard]] double now() const override { return clock; }
    [[nodiscard]] QString dateTimeText() const override { return dateText; }
    void msgBox(const QString &text) override;
    kelvo::platform::MsgBoxAnswer msgBox(const QString &text, kelvo::platform::MsgBoxCode code, const QString &title) override;
    void showTooltip(const QPoint &screenPosition, const QString &text) override;
    [[nodiscard]] QPoint pointerPosition() const override { return pointer; }
    void openUrl(const QUrl &address) override { openedUrls << address; }
    void quit(int exitStatus) override { quitRequests << exitStatus; }
    [[nodiscard]] QStringList serialPortNames() const override { return ports; }
    void start(QTimer &timer, int periodMs, bool single) override;

private:
    QQueue<kelvo::platform::MsgBoxAnswer> answers_;
    int ordinal_ = 0;
};

namespace kelvo::platform {
// Readable failure messages for box codes and answers.
inline void PrintTo(MsgBoxCode code, std::ostream *out) { *out << "MsgBoxCode " << static_cast<int>(code); }
inline void PrintTo(MsgBoxAnswer answer, std::ostream *out) { *out << "MsgBoxAnswer " << static_cast<int>(answer); }
} // namespace kelvo::platform

// The path of one of the test certificate files.
[[nodiscard]] QString testCertPath(const QString &fileName);
