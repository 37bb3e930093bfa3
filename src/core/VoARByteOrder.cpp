#include "VoARByteOrder.h"

#include <cstring>
#include <limits>

namespace VoTrack {

// The double's bits travel through a 64-bit integer; that only means the
// file's value if both use IEEE 754 binary64.
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == sizeof(uint64_t),
              "camera files hold IEEE 754 doubles");

int32_t VoARByteOrder::readInt32BE(const unsigned char* i_bytes)
{
    // memcpy rather than a cast keeps values above INT32_MAX well defined.
    const uint32_t bits = static_cast<uint32_t>(readUnsignedBE(i_bytes, INT32_SIZE));
    int32_t value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

double VoARByteOrder::readDoubleBE(const unsigned char* i_bytes)
{
    const uint64_t bits = readUnsignedBE(i_bytes, DOUBLE_SIZE);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void VoARByteOrder::writeInt32BE(int32_t i_value, unsigned char* o_bytes)
{
    uint32_t bits;
    std::memcpy(&bits, &i_value, sizeof(bits));
    writeUnsignedBE(bits, INT32_SIZE, o_bytes);
}

void VoARByteOrder::writeDoubleBE(double i_value, unsigned char* o_bytes)
{
    uint64_t bits;
    std::memcpy(&bits, &i_value, sizeof(bits));
    writeUnsignedBE(bits, DOUBLE_SIZE, o_bytes);
}

uint64_t VoARByteOrder::readUnsignedBE(const unsigned char* i_bytes, int i_count)
{
    uint64_t value = 0;
    for (int i = 0; i < i_count; i++) {
        value = (value << 8) | i_bytes[i];
    }
    return value;
}

void VoARByteOrder::writeUnsignedBE(uint64_t i_value, int i_count, unsigned char* o_bytes)
{
    for (int i = i_count - 1; i >= 0; i--) {
        o_bytes[i] = static_cast<unsigned char>(i_value & 0xFFu);
        i_value >>= 8;
    }
}

}  // namespace VoTrack
