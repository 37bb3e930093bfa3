#include "SceneRandom.h"

#include <cmath>

namespace Markeye {

namespace {

constexpr uint64_t GOLDEN_GAMMA = 0x9E3779B97F4A7C15ULL;
constexpr double TWO_PI = 6.283185307179586476925;

uint64_t mix(uint64_t i_z)
{
    i_z = (i_z ^ (i_z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    i_z = (i_z ^ (i_z >> 27)) * 0x94D049BB133111EBULL;
    return i_z ^ (i_z >> 31);
}

}  // namespace

SceneRandom::SceneRandom(uint64_t i_seed, uint64_t i_stream)
    : _state(mix(i_seed) ^ mix(i_stream + GOLDEN_GAMMA)), _spare(0.0), _has_spare(false)
{
}

uint64_t SceneRandom::nextBits()
{
    _state += GOLDEN_GAMMA;
    return mix(_state);
}

double SceneRandom::uniform()
{
    // The top 53 bits fill a double's mantissa exactly.
    return static_cast<double>(nextBits() >> 11) * 0x1.0p-53;
}

double SceneRandom::uniform(double i_low, double i_high)
{
    return i_low + (i_high - i_low) * uniform();
}

int32_t SceneRandom::below(int32_t i_count)
{
    return static_cast<int32_t>(uniform() * i_count);
}

double SceneRandom::gaussian()
{
    if (_has_spare) {
        _has_spare = false;
        return _spare;
    }
    // 1 - u lies in (0, 1], so the logarithm is finite.
    const double radius = std::sqrt(-2.0 * std::log(1.0 - uniform()));
    const double angle = TWO_PI * uniform();
    _spare = radius * std::sin(angle);
    _has_spare = true;
    return radius * std::cos(angle);
}

}  // namespace Markeye
