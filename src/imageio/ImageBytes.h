#pragma once

#include <cstddef>
#include <cstdint>

namespace markeye {

// A picture file's bytes, borrowed from the caller for one decode.
struct TBytes
{
    const uint8_t* data;
    std::size_t size;
};

}  // namespace markeye
