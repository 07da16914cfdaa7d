#pragma once
// Reads a fuzzer's input as a stream of choices and bytes; past its end every choice is 0.

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    [[nodiscard]] bool atEnd() const { return position_ >= size_; }
    [[nodiscard]] std::size_t left() const { return size_ - position_; }

    std::uint8_t byte() { return atEnd() ? 0 : data_[position_++]; }
    // The next byte, left for the next read.
    [[nodiscard]] std::uint8_t peek() const { return atEnd() ? 0 : data_[position_]; }

    // Up to count bytes, fewer at the end of the input.
    QByteArray bytes(std::size_t count)
    {
        count = std::min(count, left());
        const QByteArray out(reinterpret_cast<const char *>(data_ + position_), qsizetype(count));
        position_ += count;
        return out;
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Stops the fuzzer with a crash it records; the condition names what broke.
inline void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace fuzz
