#pragma once
// A one-line label for texts that come from outside and may be longer than its fixed width:
// line ends show as blanks, what does not fit is cut with an ellipsis, and then the whole text
// shows as its tooltip, as plain text. text() keeps the whole text; a text that fits is drawn
// exactly as QLabel draws it.

#include <QLabel>
#include <QString>

class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    // The text as it is drawn: on one line, cut to the label's width.
    [[nodiscard]] QString shownText() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    [[nodiscard]] QRect textRoom() const;
};
