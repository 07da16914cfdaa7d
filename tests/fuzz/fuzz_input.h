#pragma once
// Reads a fuzzer's input as a stream of choices and bytes; past its end every choice is 0.

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    [[nodiscard]] bool atEnd() const { return m_position >= m_size; }
    [[nodiscard]] std::size_t left() const { return m_size - m_position; }

    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_position++]; }

    // Up to count bytes, fewer at the end of the input.
    QByteArray bytes(std::size_t count)
    {
        count = std::min(count, left());
        const QByteArray out(reinterpret_cast<const char *>(m_data + m_position), qsizetype(count));
        m_position += count;
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// Stops the fuzzer with a crash it records; the condition names what broke.
inline void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace fuzz
