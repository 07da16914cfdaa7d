#pragma once
// The connection log window: one line per exchange with the unit and the relay and per local
// event, while the main window's logging is on. The text lives only in the window.

#include <QLatin1StringView>
#include <QMainWindow>
#include <QObject>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// What a log window tells those that outlive it: the main window, which keeps the logging
// switch, hears here that the log has closed, whichever log window it was.
class LogWindowNotices : public QObject {
    Q_OBJECT
signals:
    // A log window is closing; its text goes with it.
    void closed();
};

class logwindow : public QMainWindow {
    Q_OBJECT
public:
    // Tags: the first character gives the direction (">" sent, "<" received, blank local).
    static constexpr QLatin1StringView serialTag{" SERIAL"};
    static constexpr QLatin1StringView statusTag{" STATUS"};
    static constexpr QLatin1StringView errorTag{" ERROR "};
    static constexpr QLatin1StringView serialOutTag{">SERIAL"};
    static constexpr QLatin1StringView serialInTag{"<SERIAL"};
    static constexpr QLatin1StringView serverOutTag{">SERVER"};
    static constexpr QLatin1StringView serverInTag{"<SERVER"};

    // The open log window; when none is open, a new one is built, shown and returned.
    static logwindow *instance();
    // The open log window, or nullptr; never builds one.
    static logwindow *openInstance();
    // Where every log window announces its closing; it lasts as long as the program.
    static LogWindowNotices &notices();

    explicit logwindow(QWidget *parent = nullptr);
    ~logwindow() override;

    [[nodiscard]] QPlainTextEdit *activityLog() const;
    [[nodiscard]] QLabel *Label1() const;
    [[nodiscard]] QPushButton *copyLog() const;
    [[nodiscard]] QPushButton *clearLog() const;

    void copyLog_Action();
    void clearLog_Action();
    void Event_Close();
    // Appends one line (tag, blank, date and time, ": ", trimmed text); the text area shows it,
    // scrolled into view, once control is back in the event loop.
    void logdata(const QString &tag, const QString &text);
    // Puts the lines logged since control last returned to the event loop into the text area
    // now: whoever reads the text area before then calls it first.
    void appendPendingLines();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Layout();
    void CreateControls();
    void _CreateControls0();
    void layOutControls();

    QPlainTextEdit *activityLog_ = nullptr;
    QLabel *label1_ = nullptr;
    QPushButton *copyLog_ = nullptr;
    QPushButton *clearLog_ = nullptr;
    // Lines logged since control last returned to the event loop, not yet in the text area.
    QString pendingLines_;
    bool appendQueued_ = false;
};

// One log line as it is appended: line ends of the text made "\n", the text trimmed, and the
// line ended by "\n".
[[nodiscard]] QString logLine(const QString &tag, const QString &dateTime, const QString &text);

// The log text as it goes to the clipboard: carriage returns as its only line ends.
[[nodiscard]] QString withCarriageReturns(const QString &text);

// What the bridge core calls for each log line: writes it only while logging is on.
void logIfOn(bool logging, const QString &tag, const QString &text);
