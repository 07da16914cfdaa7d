// The unit's receive framing and status-line parsing, fed as the serial port delivers bytes: in
// chunks of any size. The framing's contracts are checked against a plain model of them.

#include "fuzz_input.h"

#include "core/rules/status_line.h"
#include "core/rules/text_number.h"
#include "core/rules/text_rules.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

using fuzz::check;

namespace {

// The framed line by its definition: text before the first LF, CR and LF removed, trimmed.
QByteArray expectedLine(const QByteArray &buffer)
{
    QByteArray line = buffer.left(buffer.indexOf('\n'));
    line.replace('\r', QByteArray());
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && kelvo::isAsciiSpace(line[begin]))
        ++begin;
    while (end > begin && kelvo::isAsciiSpace(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

void checkStatusLine(const QByteArray &line)
{
    const std::optional<kelvo::StatusLine> status = kelvo::parseStatusLine(line);
    const QList<QByteArray> fields = line.split(':');
    check(status.has_value() == (fields.size() == 9));
    if (!status)
        return;
    check(status->levelA == kelvo::truncateToInt64(kelvo::textNumber(fields[1]) / 2));
    check(status->levelB == kelvo::truncateToInt64(kelvo::textNumber(fields[2]) / 2));
    check(status->version == fields[8]);
    check(status->batteryPercent == kelvo::batteryPercent(kelvo::textNumber(fields[0])));
    check(status->battery == kelvo::batteryPictureFor(status->batteryPercent));
    check(status->supportsRelativeLevels == kelvo::firmwareSupportsRelativeLevels(fields[8]));
}

} // namespace

// Input: one byte n, then n + 1 chunk-size bytes used in turn (255 means a chunk of 5000 bytes,
// to reach the buffer's cap), then the bytes the port delivers.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::size_t sizeCount = input.byte() % 16 + 1;
    std::size_t sizes[16];
    for (std::size_t i = 0; i < sizeCount; ++i) {
        const std::uint8_t s = input.byte();
        sizes[i] = s == 255 ? 5000 : s;
    }

    QByteArray buffer; // the bridge's receive buffer
    // Chunks of 0 bytes are empty events; the bound keeps all-zero sizes from looping forever.
    const std::size_t maxEvents = 2 * size + 16;
    for (std::size_t event = 0; !input.atEnd() && event < maxEvents; ++event) {
        const QByteArray chunk = input.bytes(sizes[event % sizeCount]);
        buffer += chunk;
        const kelvo::UnitFrame frame = kelvo::frameUnitLine(buffer);
        switch (frame.kind) {
        case kelvo::UnitFrame::Kind::Line:
            // One line per event, and only when the event's bytes end the line.
            check(chunk.endsWith('\n'));
            check(frame.line == expectedLine(buffer));
            check(!frame.line.contains('\n') && !frame.line.contains('\r'));
            checkStatusLine(frame.line);
            buffer.clear();
            break;
        case kelvo::UnitFrame::Kind::Overflow:
            check(!buffer.endsWith('\n') && buffer.size() > kelvo::maxUnitBuffer);
            check(frame.line.isEmpty());
            buffer.clear();
            break;
        case kelvo::UnitFrame::Kind::Incomplete:
            check(!buffer.endsWith('\n'));
            check(frame.line.isEmpty());
            break;
        }
        // Between events the buffer holds only an incomplete line, within the cap.
        check(buffer.size() <= kelvo::maxUnitBuffer);
        check(!buffer.endsWith('\n'));
    }
    // The parser also takes lines that did not come through the framing.
    checkStatusLine(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
