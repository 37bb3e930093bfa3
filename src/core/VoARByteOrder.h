#pragma once

#include <cstdint>

namespace VoTrack {

// Big-endian numbers of the camera parameter file, assembled from and split
// into bytes so that the result does not depend on the host's byte order.
class VoARByteOrder
{
public:
    static constexpr int INT32_SIZE = 4;
    static constexpr int DOUBLE_SIZE = 8;

    VoARByteOrder() = delete;

    // i_bytes holds INT32_SIZE (or DOUBLE_SIZE) bytes, most significant first.
    static int32_t readInt32BE(const unsigned char* i_bytes);
    static double readDoubleBE(const unsigned char* i_bytes);
    // o_bytes receives INT32_SIZE (or DOUBLE_SIZE) bytes, most significant first.
    static void writeInt32BE(int32_t i_value, unsigned char* o_bytes);
    static void writeDoubleBE(double i_value, unsigned char* o_bytes);

private:
    static uint64_t readUnsignedBE(const unsigned char* i_bytes, int i_count);
    static void writeUnsignedBE(uint64_t i_value, int i_count, unsigned char* o_bytes);
};

}  // namespace VoTrack
