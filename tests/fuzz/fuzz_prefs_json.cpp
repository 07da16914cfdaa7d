// Whatever the preferences reader accepts must write out as text that reads back and writes out
// the same again: the file a user's program saves must load to the same file.

#include "shell/json_reader.h"
#include "shell/json_writer.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const JsonReadResult first = readJson(input);
    if (!first.ok())
        return 0;
    const QByteArray written = writeJson(*first.value);

    const JsonReadResult second = readJson(written);
    if (!second.ok())
        __builtin_trap(); // our own output must parse
    if (writeJson(*second.value) != written)
        __builtin_trap(); // and must be a fixed point of read-then-write
    return 0;
}
