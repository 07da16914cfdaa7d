#pragma once
// Reads the preferences file's JSON: a top-level object or array, then nothing more is examined.
// Strings are taken byte for byte, each "\u" escape on its own; integers become 32-bit where
// they fit, 64-bit otherwise; other numbers become doubles.

#include "shell/json_value.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Deeper nesting is refused, so a hostile file cannot exhaust the stack.
inline constexpr int maxJsonDepth = 256;

struct JsonReadResult {
    std::optional<JsonValue> value; // the top-level object or array; empty after an error
    QString error;                  // what went wrong, for diagnostics
    qsizetype position = 0;         // byte offset of the error

    [[nodiscard]] bool ok() const { return value.has_value(); }
};

[[nodiscard]] JsonReadResult readJson(QByteArrayView text);
