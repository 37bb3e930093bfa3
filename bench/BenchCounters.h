#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace MarkeyeBench {

// Adds the time per pixel of one iteration (reported in seconds per pixel,
// so "1.5n" reads 1.5 ns per pixel).
inline void setPixelCounter(benchmark::State& io_state, int64_t i_pixels)
{
    io_state.counters["per_pixel"] = benchmark::Counter(static_cast<double>(i_pixels),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}

}  // namespace MarkeyeBench
