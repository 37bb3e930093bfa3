#pragma once

#include <cstdint>

namespace Markeye {

// Seeded random numbers for rendered scenes. Written out here (SplitMix64 and
// Box-Muller) rather than taken from <random>, whose distributions differ
// between standard libraries: the same seed gives the same frame everywhere.
class SceneRandom
{
public:
    // i_stream separates independent sequences drawn from one seed.
    SceneRandom(uint64_t i_seed, uint64_t i_stream);

    uint64_t nextBits();
    // Uniform in [0, 1).
    double uniform();
    // Uniform in [i_low, i_high).
    double uniform(double i_low, double i_high);
    // Uniform integer in [0, i_count), i_count > 0.
    int32_t below(int32_t i_count);
    // Standard normal (mean 0, deviation 1).
    double gaussian();

private:
    uint64_t _state;
    double _spare;
    bool _has_spare;
};

}  // namespace Markeye
