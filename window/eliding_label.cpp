#include "window/eliding_label.h"

#include "core/rules/text_rules.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

namespace {

[[nodiscard]] QString onOneLine(QString text)
{
    for (const QChar end : {QChar(u'\n'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        text.replace(end, QLatin1Char(' '));
    return text;
}

} // namespace

ElidingLabel::ElidingLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QRect ElidingLabel::textRoom() const
{
    const int m = margin();
    return contentsRect().adjusted(m, m, -m, -m);
}

QString ElidingLabel::shownText() const
{
    return fontMetrics().elidedText(onOneLine(kelvo::normaliseLineEnds(text())), Qt::ElideRight,
                                    textRoom().width());
}

bool ElidingLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && shownText() != text()) {
        // Escaped: a tooltip would take a text that looks like markup as rich text.
        const auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(),
                           Qt::convertFromPlainText(kelvo::normaliseLineEnds(text()), Qt::WhiteSpaceNormal),
                           this, rect());
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, textRoom(),
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}
