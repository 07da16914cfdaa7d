#include "shell/log_window.h"

#include "core/rules/text_rules.h"

#include "platform/clock.h"
#include "platform/desktop.h"
#include "window/control_fonts.h"

#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMargins>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSize>
#include <QSizePolicy>
#include <QTextCursor>
#include <QWidget>

using namespace kelvo;

namespace {

QPointer<logwindow> theLogWindow;

const QString lineEnd = QStringLiteral("\n");

QString withLineEnds(const QString &text, const QString &end)
{
    QString result = normaliseLineEnds(text);
    if (end != QLatin1StringView("\n"))
        result.replace(QLatin1Char('\n'), end);
    return result;
}

// The content area as it opens. Every control keeps its distance from the edges it is tied to
// (the margins, the gaps between the rows); the text area takes what the window grows by in
// both directions, the label what it grows by in width.
constexpr int contentWidth = 600;
constexpr int contentHeight = 400;
constexpr QMargins contentMargins{33, 10, 20, 8}; // left, top, right, bottom
constexpr int rowGap = 12;
constexpr int labelHeight = 59;
constexpr QSize copyButtonSize{219, 22};
constexpr QSize clearButtonSize{101, 22};

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

LogWindowNotices &logwindow::notices()
{
    static LogWindowNotices theNotices;
    return theNotices;
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
    setMinimumSize(64, 64);
    setMaximumSize(32000, 32000);
    resize(contentWidth, contentHeight);
}

void logwindow::CreateControls()
{
    _CreateControls0();
    layOutControls();
}

void logwindow::_CreateControls0()
{
    QWidget *content = centralWidget();

    auto *log = activityLog_ = new QPlainTextEdit(content);
    log->setObjectName(QStringLiteral("activityLog"));
    log->setReadOnly(true);
    log->setUndoRedoEnabled(false); // the log only grows: an undo history would double it
    log->setTabChangesFocus(true);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    log->setFont(courier);

    auto *label = label1_ = new QLabel(content);
    label->setObjectName(QStringLiteral("Label1"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFont(controlFonts::controlFont(label->font(), controlFonts::standardPixelSize, true));
    label->setText(QStringLiteral(
        "The connection log shows communication between Kelvo Connect, your Q6, and the Connect "
        "server.  You may be asked to send the contents of the log to the support team, to help "
        "resolve problems."));

    auto *copy = copyLog_ = new QPushButton(QStringLiteral("Copy complete log to clipboard"), content);
    copy->setObjectName(QStringLiteral("copyLog"));
    copy->setDefault(true);
    copy->setFont(controlFonts::controlFont(copy->font(), controlFonts::standardPixelSize));

    auto *clear = clearLog_ = new QPushButton(QStringLiteral("Clear log"), content);
    clear->setObjectName(QStringLiteral("clearLog"));
    clear->setFont(controlFonts::controlFont(clear->font(), controlFonts::standardPixelSize));

    setTabOrder(log, label);
    setTabOrder(label, copy);
    setTabOrder(copy, clear);
}

void logwindow::layOutControls()
{
    // Only the margins, the gaps and the fixed sizes hold the controls: neither the text area
    // nor the label sets a least size of its own.
    activityLog_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    label1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label1_->setFixedHeight(labelHeight);
    copyLog_->setFixedSize(copyButtonSize);
    clearLog_->setFixedSize(clearButtonSize);

    auto *grid = new QGridLayout(centralWidget());
    grid->setContentsMargins(contentMargins);
    grid->setVerticalSpacing(rowGap);
    grid->addWidget(label1_, 0, 0);
    grid->addWidget(activityLog_, 1, 0);
    grid->setRowStretch(1, 1);
    // Both buttons in one cell, one held to its left edge and one to its right: in a narrow
    // window each keeps its own edge, even where they overlap.
    grid->addWidget(copyLog_, 2, 0, Qt::AlignLeft);
    grid->addWidget(clearLog_, 2, 0, Qt::AlignRight);
    // The window's own minimum holds: below the controls' sizes they are cut off, not the
    // window held larger.
    grid->setSizeConstraint(QLayout::SetNoConstraint);
}

QPlainTextEdit *logwindow::activityLog() const { return activityLog_; }
QLabel *logwindow::Label1() const { return label1_; }
QPushButton *logwindow::copyLog() const { return copyLog_; }
QPushButton *logwindow::clearLog() const { return clearLog_; }

void logwindow::copyLog_Action()
{
    appendPendingLines();
    platform::Desktop &desktop = platform::desktop();
    desktop.setClipboardText(withCarriageReturns(activityLog_->toPlainText()));
    desktop.showTooltip(desktop.pointerPosition() + QPoint(0, 20),
                        QStringLiteral("Log data copied to the clipboad"));
}

void logwindow::clearLog_Action()
{
    pendingLines_.clear();
    activityLog_->clear();
}

// The main window hears of it and turns its logging off.
void logwindow::Event_Close()
{
    emit notices().closed();
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
            QScrollBar *bar = activityLog_->verticalScrollBar();
            bar->setValue(bar->maximum());
        },
        Qt::QueuedConnection);
}

// Laying out the shown text area costs far more per insertion than per line, and the user
// sees the log only once control is back in the event loop: the lines of one turn of it go
// in together, at the end, through a cursor of its own (the user's selection stays).
void logwindow::appendPendingLines()
{
    if (pendingLines_.isEmpty())
        return;
    QTextCursor end(activityLog_->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    end.insertText(pendingLines_);
    end.endEditBlock();
    pendingLines_.clear();
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
