#include "shell/log_window.h"

#include "platform/clock.h"
#include "platform/desktop.h"
#include "window/control_fonts.h"
#include "window/kelvo_bridge.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QWidget>

namespace {

QPointer<logwindow> theLogWindow;

const QString lineEnd = QStringLiteral("\n");

QString withLineEnds(const QString &text, const QString &end)
{
    QString result = text;
    result.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (end != QLatin1StringView("\n"))
        result.replace(QLatin1Char('\n'), end);
    return result;
}

// Margins of the content area kept fixed as the window is resized.
constexpr int contentWidth = 600;
constexpr int contentHeight = 400;

} // namespace

QString logLine(const QString &tag, const QString &dateTime, const QString &text)
{
    return tag + QLatin1Char(' ') + dateTime + QLatin1StringView(": ")
        + withLineEnds(text, lineEnd).trimmed() + lineEnd;
}

QString withCarriageReturns(const QString &text)
{
    return withLineEnds(text, QStringLiteral("\r"));
}

void logIfOn(bool logging, const QString &tag, const QString &text)
{
    if (logging)
        logwindow::instance()->logdata(tag, text);
}

logwindow *logwindow::instance()
{
    if (!theLogWindow) {
        theLogWindow = new logwindow; // owns itself: deleted when it closes
        theLogWindow->show();
    }
    return theLogWindow;
}

logwindow *logwindow::openInstance()
{
    return theLogWindow;
}

logwindow::logwindow(QWidget *parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    Layout();
    CreateControls();
    connect(copyLog(), &QPushButton::clicked, this, &logwindow::copyLog_Action);
    connect(clearLog(), &QPushButton::clicked, this, &logwindow::clearLog_Action);
}

logwindow::~logwindow()
{
    if (theLogWindow == this)
        theLogWindow = nullptr;
}

void logwindow::Layout()
{
    setWindowTitle(QStringLiteral("Connection log"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    setCentralWidget(content);
    content->installEventFilter(this);
    setMinimumSize(64, 64);
    setMaximumSize(32000, 32000);
    resize(contentWidth, contentHeight);
}

void logwindow::CreateControls()
{
    _CreateControls0();
    placeControls();
}

void logwindow::_CreateControls0()
{
    QWidget *content = centralWidget();

    auto *log = new QPlainTextEdit(content);
    log->setObjectName(QStringLiteral("activityLog"));
    log->setReadOnly(true);
    log->setUndoRedoEnabled(false); // the log only grows: an undo history would double it
    log->setTabChangesFocus(true);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    log->setFont(courier);

    auto *label = new QLabel(content);
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFont(controlFonts::controlFont(label->font(), controlFonts::standardPixelSize, true));
    label->setText(QStringLiteral(
        "The connection log shows communication between Kelvo Connect, your Q6, and the Connect "
        "server.  You may be asked to send the contents of the log to the support team, to help "
        "resolve problems."));

    auto *copy = new QPushButton(QStringLiteral("Copy complete log to clipboard"), content);
    copy->setObjectName(QStringLiteral("copyLog"));
    copy->setDefault(true);
    copy->setFont(controlFonts::controlFont(copy->font(), controlFonts::standardPixelSize));

    auto *clear = new QPushButton(QStringLiteral("Clear log"), content);
    clear->setObjectName(QStringLiteral("clearLog"));
    clear->setFont(controlFonts::controlFont(clear->font(), controlFonts::standardPixelSize));

    setTabOrder(log, label);
    setTabOrder(label, copy);
    setTabOrder(copy, clear);
}

// Each control keeps its distance from the edges it is tied to (left and top for all; the log
// also right and bottom, the label right, the buttons bottom, Clear right).
void logwindow::placeControls()
{
    const QWidget *content = centralWidget();
    const int growX = content->width() - contentWidth;
    const int growY = content->height() - contentHeight;
    textArea()->setGeometry(33, 81, 547 + growX, 277 + growY);
    Label1()->setGeometry(33, 10, 547 + growX, 59);
    copyLog()->setGeometry(33, 370 + growY, 219, 22);
    clearLog()->setGeometry(479 + growX, 370 + growY, 101, 22);
}

bool logwindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        placeControls();
    return QMainWindow::eventFilter(watched, event);
}

// Whoever reads the text area sees every line logged so far.
QPlainTextEdit *logwindow::activityLog() const
{
    appendPendingLines();
    return textArea();
}
QLabel *logwindow::Label1() const { return findChild<QLabel *>(QStringLiteral("Label1")); }
QPushButton *logwindow::copyLog() const { return findChild<QPushButton *>(QStringLiteral("copyLog")); }
QPushButton *logwindow::clearLog() const { return findChild<QPushButton *>(QStringLiteral("clearLog")); }

void logwindow::copyLog_Action()
{
    platform::Desktop &desktop = platform::desktop();
    desktop.setClipboardText(withCarriageReturns(activityLog()->toPlainText()));
    desktop.showTooltip(desktop.pointerPosition() + QPoint(0, 20),
                        QStringLiteral("Log data copied to the clipboad"));
}

void logwindow::clearLog_Action()
{
    activityLog()->clear();
}

void logwindow::Event_Close()
{
    if (KelvoBridge *bridge = KelvoBridge::openInstance())
        bridge->logging = false;
}

void logwindow::logdata(const QString &tag, const QString &text)
{
    pendingLines_ += logLine(tag, platform::clock().dateTimeText(), text);
    if (appendQueued_)
        return;
    appendQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            appendQueued_ = false;
            appendPendingLines();
            QScrollBar *bar = textArea()->verticalScrollBar();
            bar->setValue(bar->maximum());
        },
        Qt::QueuedConnection);
}

// Laying out the shown text area costs far more per insertion than per line, and the user
// sees the log only once control is back in the event loop: the lines of one turn of it go
// in together, at the end, through a cursor of its own (the user's selection stays).
void logwindow::appendPendingLines() const
{
    if (pendingLines_.isEmpty())
        return;
    QTextCursor end(textArea()->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    end.insertText(pendingLines_);
    end.endEditBlock();
    pendingLines_.clear();
}

QPlainTextEdit *logwindow::textArea() const
{
    return findChild<QPlainTextEdit *>(QStringLiteral("activityLog"));
}

void logwindow::closeEvent(QCloseEvent *event)
{
    Event_Close();
    QMainWindow::closeEvent(event);
    // Gone for the accessor at once, though deleted later: the next use builds a new log.
    if (event->isAccepted() && theLogWindow == this)
        theLogWindow = nullptr;
}

// Return, Enter and Escape press Copy: it is both the default and the cancel button.
void logwindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        copyLog()->click();
        event->accept();
        return;
    default:
        QMainWindow::keyPressEvent(event);
    }
}
