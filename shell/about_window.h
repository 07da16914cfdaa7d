#pragma once
// The about window: who makes the program, its version line, and the maker's web site behind
// the relay host's name. One window at most, reached through its accessors.

#include <QString>
#include <QWidget>
#include <QtGlobal>

class QLabel;

class about : public QWidget {
    Q_OBJECT
public:
    // The open about window; when none is open, a new one is built, shown and returned.
    static about *instance();
    // The open about window, or nullptr; never builds one.
    static about *openInstance();

    explicit about(QWidget *parent = nullptr);
    ~about() override;

    [[nodiscard]] QLabel *Label1() const;
    [[nodiscard]] QLabel *version() const;
    [[nodiscard]] QLabel *url() const;

    // Opens the maker's web site; the press goes no further.
    bool url_MouseDown(int x, int y);
    // Fills the version line from the application object.
    void Event_Open();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Layout();
    void CreateControls();
    void _CreateControls0();
};

// "Version: 2.0.1 (build 14)" for 2, 0, 1 and 14.
[[nodiscard]] QString versionLine(qint64 major, qint64 minor, qint64 bug, qint64 build);
