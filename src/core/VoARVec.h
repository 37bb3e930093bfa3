#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// Run-time sized vector of doubles whose buffer only grows.
class VoARVec
{
public:
    // Allocates exactly i_length doubles, left unset.
    explicit VoARVec(int32_t i_length);
    virtual ~VoARVec();

    VoARVec(const VoARVec&) = delete;
    VoARVec& operator=(const VoARVec&) = delete;

    // Keeps the buffer (and its first elements) unless i_length exceeds the
    // capacity, in which case a new unset buffer of exactly i_length replaces it.
    void resize(int32_t i_length);
    // Resizes to i_length and copies i_length doubles from i_values.
    void assign(const double* i_values, int32_t i_length);

    double* getArray() { return _data.get(); }
    const double* getArray() const { return _data.get(); }
    int32_t getLength() const { return _length; }
    int32_t getCapacity() const { return _capacity; }

private:
    int32_t _length;
    std::unique_ptr<double[]> _data;
    int32_t _capacity;
};

}  // namespace VoTrack
