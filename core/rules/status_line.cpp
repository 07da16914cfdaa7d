#include "core/rules/status_line.h"

#include "core/rules/text_number.h"
#include "core/rules/text_rules.h"

#include <array>

namespace kelvo {

UnitFrame frameUnitLine(QByteArrayView buffer)
{
    if (buffer.isEmpty() || buffer.back() != '\n') {
        if (buffer.size() > maxUnitBuffer)
            return {UnitFrame::Kind::Overflow, {}};
        return {};
    }
    const qsizetype firstLf = buffer.indexOf('\n');
    return {UnitFrame::Kind::Line, trimmed(removeLineEnds(buffer.first(firstLf)))};
}

qint64 batteryPercent(double reading)
{
    return truncateToInt64((reading - 320.0) * 100.0 / 422.0);
}

BatteryPicture batteryPictureFor(qint64 percent)
{
    if (percent < 11)
        return BatteryPicture::Low;
    if (percent < 26)
        return BatteryPicture::Quarter;
    if (percent < 51)
        return BatteryPicture::Half;
    if (percent < 76)
        return BatteryPicture::ThreeQuarters;
    return BatteryPicture::Full;
}

bool firmwareSupportsRelativeLevels(QByteArrayView versionText)
{
    return truncateToInt64(textNumber(versionText) * 1000.0) >= 2107;
}

std::optional<StatusLine> parseStatusLine(QByteArrayView line)
{
    std::array<QByteArrayView, 9> fields;
    qsizetype count = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype colon = line.indexOf(':', start);
        const qsizetype end = colon < 0 ? line.size() : colon;
        if (count == 9)
            return std::nullopt;
        fields[count++] = line.sliced(start, end - start);
        if (colon < 0)
            break;
        start = colon + 1;
    }
    if (count != 9)
        return std::nullopt;
    StatusLine s;
    s.levelA = truncateToInt64(textNumber(fields[1]) / 2.0);
    s.levelB = truncateToInt64(textNumber(fields[2]) / 2.0);
    s.version = fields[8].toByteArray();
    s.batteryPercent = batteryPercent(textNumber(fields[0]));
    s.battery = batteryPictureFor(s.batteryPercent);
    s.supportsRelativeLevels = firmwareSupportsRelativeLevels(fields[8]);
    return s;
}

} // namespace kelvo
