#pragma once
// Writes JSON in the preferences file's layout: indented two blanks a level, one entry a line,
// no blank around ":", the platform's line end, and no line end after the closing bracket.

#include "shell/json_value.h"

#include <QByteArray>

// The platform's line end ("\n" here, "\r\n" on Windows).
[[nodiscard]] QByteArray platformLineEnd();

// An object as the file holds it: "{}" when empty, else "{", one entry a line, "}".
[[nodiscard]] QByteArray writeJson(const JsonObject &object);
// Any value, laid out as it stands inside the top-level object at the given depth.
[[nodiscard]] QByteArray writeJson(const JsonValue &value, int depth = 0);

// The text of a string between its quotes, escaped as the file escapes strings: backslash,
// quote, the short escapes (\b \f \n \r \t), "\u" escapes and slash.
[[nodiscard]] QByteArray escapeJsonString(const QByteArray &utf8);

// A double by the pattern "-0.0##############": rounded to fifteen decimal places, at least one
// digit on each side of the point, no exponent. Non-finite values have no JSON form: "null".
[[nodiscard]] QByteArray formatJsonDouble(double value);
