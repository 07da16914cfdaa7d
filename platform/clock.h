#pragma once
// The time as the program reads it. Production reads the system clock; a test installs a clock
// of its own and sets the time by hand.

#include <QDateTime>
#include <QString>

namespace kelvo::platform {

class Clock {
public:
    virtual ~Clock();

    // Seconds since 1970, with the fraction.
    [[nodiscard]] virtual double now() const;
    // The current date and time as one text, for log lines and status texts.
    [[nodiscard]] virtual QString dateTimeText() const;
};

// The platform's date-and-time text of a moment, as dateTimeText() gives it for now.
[[nodiscard]] QString dateTimeText(const QDateTime &moment);

// The clock in force: the system's unless another is installed.
Clock &clock();
// Installs a replacement clock (not owned), or restores the system's with nullptr.
void setClock(Clock *replacement);

} // namespace kelvo::platform
