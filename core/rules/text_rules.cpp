#include "core/rules/text_rules.h"

namespace kelvo {

QByteArray trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isAsciiSpace(text[begin]))
        ++begin;
    while (end > begin && isAsciiSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

QByteArray trimmedEnd(QByteArrayView text)
{
    qsizetype end = text.size();
    while (end > 0 && isAsciiSpace(text[end - 1]))
        --end;
    return text.first(end).toByteArray();
}

QByteArray removeLineEnds(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            out.append(c);
    return out;
}

QByteArray normaliseLineEnds(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.append('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

QString normaliseLineEnds(QStringView text)
{
    QString out = text.toString();
    out.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

} // namespace kelvo
