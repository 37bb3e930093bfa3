#include "VoARSampleBuffers.h"

#include <limits>

#include "VoARException.h"

namespace VoTrack {

namespace {

constexpr int32_t TERM_ARRAYS = 3;
constexpr int32_t INTEGER_ARRAYS = 6;

}  // namespace

VoARSampleBuffers::VoARSampleBuffers() : _count(0), _capacity(0) {}

VoARSampleBuffers::~VoARSampleBuffers() = default;

void VoARSampleBuffers::prepare(int32_t i_count)
{
    if (i_count < 0 || i_count > std::numeric_limits<int32_t>::max() / INTEGER_ARRAYS) {
        throw VoARException();
    }
    if (i_count > _capacity) {
        _terms.reset(new double[TERM_ARRAYS * i_count]);
        _integers.reset(new int32_t[INTEGER_ARRAYS * i_count]);
        _capacity = i_count;
    }
    _count = i_count;
}

}  // namespace VoTrack
