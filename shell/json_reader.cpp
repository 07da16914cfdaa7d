#include "shell/json_reader.h"

#include "core/rules/decimal_magnitude.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

class Reader {
public:
    explicit Reader(QByteArrayView text) : text_(text) {}

    JsonReadResult read()
    {
        JsonReadResult result;
        skipWhiteSpace();
        if (!atEnd() && (peek() == '{' || peek() == '[')) {
            JsonValue value;
            if (readValue(value, 0))
                result.value = std::move(value);
        } else {
            fail(QStringLiteral("Parse Error: Expecting '{' or '['"));
        }
        if (!result.ok()) {
            result.error = error_;
            result.position = errorPosition_;
        }
        return result;
    }

private:
    [[nodiscard]] bool atEnd() const { return position_ >= text_.size(); }
    [[nodiscard]] char peek() const { return text_[position_]; }

    bool fail(const QString &message)
    {
        if (error_.isEmpty()) {
            error_ = message;
            errorPosition_ = position_;
        }
        return false;
    }

    void skipWhiteSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++position_;
    }

    bool expect(char wanted)
    {
        if (atEnd() || peek() != wanted)
            return fail(QStringLiteral("Parse Error: Expecting '%1'").arg(QLatin1Char(wanted)));
        ++position_;
        return true;
    }

    bool readWord(QByteArrayView word, JsonValue value, JsonValue &out)
    {
        if (text_.sliced(position_).startsWith(word)) {
            position_ += word.size();
            out = std::move(value);
            return true;
        }
        return fail(QStringLiteral("Parse Error: Unexpected character"));
    }

    bool readValue(JsonValue &out, int depth)
    {
        if (atEnd())
            return fail(QStringLiteral("Parse Error: Unexpected end of text"));
        const char c = peek();
        if (c == '{' || c == '[') {
            if (depth >= maxJsonDepth)
                return fail(QStringLiteral("Parse Error: Nesting too deep"));
            return c == '{' ? readObject(out, depth + 1) : readArray(out, depth + 1);
        }
        if (c == '"') {
            QByteArray text;
            if (!readString(text))
                return false;
            out = JsonValue(text);
            return true;
        }
        if (c == '-' || (c >= '0' && c <= '9'))
            return readNumber(out);
        if (c == 't')
            return readWord("true", true, out);
        if (c == 'f')
            return readWord("false", false, out);
        if (c == 'n')
            return readWord("null", JsonValue(), out);
        return fail(QStringLiteral("Parse Error: Unexpected character"));
    }

    bool readObject(JsonValue &out, int depth)
    {
        ++position_; // '{'
        JsonObject object;
        skipWhiteSpace();
        if (!atEnd() && peek() == '}') {
            ++position_;
            out = JsonValue(std::move(object));
            return true;
        }
        for (;;) {
            skipWhiteSpace();
            if (atEnd() || peek() != '"')
                return fail(QStringLiteral("Parse Error: Expecting a key"));
            QByteArray key;
            if (!readString(key))
                return false;
            skipWhiteSpace();
            if (!expect(':'))
                return false;
            skipWhiteSpace();
            JsonValue value;
            if (!readValue(value, depth))
                return false;
            object.set(key, std::move(value)); // a repeated key: the later value stands
            skipWhiteSpace();
            if (atEnd())
                return fail(QStringLiteral("Parse Error: Unexpected end of text"));
            if (peek() == '}') {
                ++position_;
                out = JsonValue(std::move(object));
                return true;
            }
            if (!expect(','))
                return false;
        }
    }

    bool readArray(JsonValue &out, int depth)
    {
        ++position_; // '['
        JsonArray array;
        skipWhiteSpace();
        if (!atEnd() && peek() == ']') {
            ++position_;
            out = JsonValue(std::move(array));
            return true;
        }
        for (;;) {
            skipWhiteSpace();
            JsonValue value;
            if (!readValue(value, depth))
                return false;
            array.push_back(std::move(value));
            skipWhiteSpace();
            if (atEnd())
                return fail(QStringLiteral("Parse Error: Unexpected end of text"));
            if (peek() == ']') {
                ++position_;
                out = JsonValue(std::move(array));
                return true;
            }
            if (!expect(','))
                return false;
        }
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // The code point as UTF-8, whatever it is: surrogate halves are not joined.
    static void appendUtf8(QByteArray &out, char32_t codePoint)
    {
        if (codePoint < 0x80) {
            out += char(codePoint);
        } else if (codePoint < 0x800) {
            out += char(0xC0 | (codePoint >> 6));
            out += char(0x80 | (codePoint & 0x3F));
        } else {
            out += char(0xE0 | (codePoint >> 12));
            out += char(0x80 | ((codePoint >> 6) & 0x3F));
            out += char(0x80 | (codePoint & 0x3F));
        }
    }

    bool readString(QByteArray &out)
    {
        ++position_; // opening quote
        for (;;) {
            if (atEnd())
                return fail(QStringLiteral("Parse Error: Unterminated string"));
            const char c = text_[position_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd())
                return fail(QStringLiteral("Parse Error: Unterminated string"));
            const char escape = text_[position_++];
            switch (escape) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (text_.size() - position_ < 4)
                    return fail(QStringLiteral("Parse Error: Incomplete \\u escape"));
                char32_t codePoint = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = hexDigit(text_[position_++]);
                    if (digit < 0)
                        return fail(QStringLiteral("Parse Error: Bad \\u escape"));
                    codePoint = codePoint << 4 | char32_t(digit);
                }
                appendUtf8(out, codePoint);
                break;
            }
            default:
                --position_;
                return fail(QStringLiteral("Parse Error: Bad escape"));
            }
        }
    }

    bool skipDigits()
    {
        const qsizetype start = position_;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++position_;
        return position_ > start;
    }

    bool readNumber(JsonValue &out)
    {
        const qsizetype start = position_;
        if (peek() == '-')
            ++position_;
        if (atEnd() || peek() < '0' || peek() > '9')
            return fail(QStringLiteral("Parse Error: Expecting a digit"));
        if (peek() == '0')
            ++position_;
        else
            skipDigits();
        bool whole = true;
        if (!atEnd() && peek() == '.') {
            ++position_;
            whole = false;
            if (!skipDigits())
                return fail(QStringLiteral("Parse Error: Expecting a digit"));
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++position_;
            whole = false;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++position_;
            if (!skipDigits())
                return fail(QStringLiteral("Parse Error: Expecting a digit"));
        }
        const QByteArrayView number = text_.sliced(start, position_ - start);
        const char *first = number.data();
        const char *last = first + number.size();

        // Whole numbers are converted exactly: through a double they would lose digits past 2^53.
        if (whole) {
            qint64 integer = 0;
            const auto [end, error] = std::from_chars(first, last, integer);
            if (error == std::errc() && end == last) {
                if (integer >= std::numeric_limits<qint32>::min()
                    && integer <= std::numeric_limits<qint32>::max())
                    out = JsonValue(static_cast<qint32>(integer));
                else
                    out = JsonValue(integer);
                return true;
            }
        }
        double real = 0;
        const auto [end, error] = std::from_chars(first, last, real);
        if (error == std::errc::result_out_of_range) {
            if (kelvo::decimalMagnitude(number) >= 0) {
                position_ = start;
                return fail(QStringLiteral("Parse Error: Number out of range"));
            }
            real = number.startsWith('-') ? -0.0 : 0.0; // too small: it reads as zero
        } else if (error != std::errc() || end != last || !std::isfinite(real)) {
            position_ = start;
            return fail(QStringLiteral("Parse Error: Bad number"));
        }
        out = JsonValue(real);
        return true;
    }

    QByteArrayView text_;
    qsizetype position_ = 0;
    QString error_;
    qsizetype errorPosition_ = 0;
};

} // namespace

JsonReadResult readJson(QByteArrayView text)
{
    return Reader(text).read();
}
