#include "support/bridge_readers.h"

#include "shell/log_window.h"
#include "window/kelvo_bridge.h"
#include "window/status_lamp.h"

#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>

namespace test {

QString lampOf(const KelvoBridge &window)
{
    const QIcon icon = window.connectButton()->icon();
    if (icon.isNull())
        return QStringLiteral("none");
    const QImage shown = icon.pixmap(QSize(40, 40)).toImage().convertToFormat(QImage::Format_ARGB32);
    for (const char *colour : {"red", "amber", "green", "grey"}) {
        const QString name = QString::fromLatin1(colour);
        if (shown == lampPicture(name).toImage().convertToFormat(QImage::Format_ARGB32))
            return name;
    }
    return QStringLiteral("other");
}

QStringList portRows(const KelvoBridge &window)
{
    const QComboBox *list = window.portselector();
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->itemText(i);
    return rows;
}

QStringList logLines()
{
    logwindow *log = logwindow::openInstance();
    if (!log)
        return {};
    log->appendPendingLines();
    return log->activityLog()->toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

QStringList logEntries(const QString &dateText)
{
    // A line is the tag (seven characters), a blank, the date and time, ": " and the text.
    constexpr qsizetype tagSize = 7;
    const QString stamp = u' ' + dateText + QStringLiteral(": ");
    QStringList entries;
    for (const QString &line : logLines()) {
        if (line.mid(tagSize, stamp.size()) == stamp || entries.isEmpty())
            entries << line.left(tagSize) + u'|' + line.mid(tagSize + stamp.size());
        else
            entries.back() += u'\n' + line;
    }
    return entries;
}

void clearLog()
{
    if (logwindow *log = logwindow::openInstance())
        log->clearLog_Action();
}

} // namespace test
