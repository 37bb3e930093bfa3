// The libFuzzer target of one fuzz entry, named by MARKEYE_FUZZ_ENTRY.

#include <cstddef>
#include <cstdint>

#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* i_data, size_t i_size)
{
    MarkeyeFuzz::MARKEYE_FUZZ_ENTRY(i_data, i_size);
    return 0;
}
