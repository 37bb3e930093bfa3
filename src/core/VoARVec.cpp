#include "VoARVec.h"

#include <algorithm>

#include "VoARException.h"

namespace VoTrack {

namespace {

std::unique_ptr<double[]> allocateDoubles(int32_t i_count)
{
    if (i_count < 0) {
        throw VoARException();
    }
    return std::unique_ptr<double[]>(new double[i_count]);
}

}  // namespace

VoARVec::VoARVec(int32_t i_length) : _length(i_length), _data(allocateDoubles(i_length)), _capacity(i_length) {}

VoARVec::~VoARVec() = default;

void VoARVec::resize(int32_t i_length)
{
    if (i_length < 0) {
        throw VoARException();
    }
    if (i_length > _capacity) {
        _data = allocateDoubles(i_length);
        _capacity = i_length;
    }
    _length = i_length;
}

void VoARVec::assign(const double* i_values, int32_t i_length)
{
    resize(i_length);
    std::copy(i_values, i_values + _length, _data.get());
}

}  // namespace VoTrack
