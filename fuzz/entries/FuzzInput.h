#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace MarkeyeFuzz {

// Reads a fuzz input front to back as the fields a target asks for. Past the
// end every field reads as zero, so each input, however short, is one
// well-defined case. Multi-byte numbers are little-endian.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* i_data, size_t i_size) : _data(i_data), _size(i_size), _position(0) {}

    size_t remaining() const { return _size - _position; }
    bool empty() const { return remaining() == 0; }

    uint8_t u8() { return static_cast<uint8_t>(unsignedOf(1)); }
    uint16_t u16() { return static_cast<uint16_t>(unsignedOf(2)); }
    uint32_t u32() { return static_cast<uint32_t>(unsignedOf(4)); }
    int32_t i32()
    {
        const uint32_t bits = u32();
        int32_t value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // Any bit pattern: NaN, infinities and denormals included.
    double f64()
    {
        const uint64_t bits = unsignedOf(8);
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // One of i_count choices (i_count > 0).
    uint32_t choose(uint32_t i_count) { return u8() % i_count; }
    // Up to i_count bytes, fewer at the end of the input.
    std::vector<uint8_t> bytes(size_t i_count)
    {
        const size_t count = i_count < remaining() ? i_count : remaining();
        std::vector<uint8_t> out(_data + _position, _data + _position + count);
        _position += count;
        return out;
    }
    std::vector<uint8_t> rest() { return bytes(remaining()); }
    std::string text(size_t i_count)
    {
        const std::vector<uint8_t> raw = bytes(i_count);
        return std::string(raw.begin(), raw.end());
    }

private:
    uint64_t unsignedOf(int i_bytes)
    {
        uint64_t value = 0;
        for (int k = 0; k < i_bytes && _position < _size; k++) {
            value |= static_cast<uint64_t>(_data[_position++]) << (8 * k);
        }
        return value;
    }

    const uint8_t* _data;
    size_t _size;
    size_t _position;
};

}  // namespace MarkeyeFuzz
