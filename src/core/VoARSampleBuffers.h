#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// Work buffers of the pattern sampler for one row of n samples: the plane
// column terms p0*X, p3*X, p6*X, and the sample points, their target cell
// columns and their colours. Grows only, so a warm sampler never allocates.
class VoARSampleBuffers
{
public:
    // Empty: prepare before use.
    VoARSampleBuffers();
    virtual ~VoARSampleBuffers();

    VoARSampleBuffers(const VoARSampleBuffers&) = delete;
    VoARSampleBuffers& operator=(const VoARSampleBuffers&) = delete;

    // Makes room for i_count samples; allocates only when i_count exceeds
    // every earlier count. Throws VoARException for a negative count or one
    // too large to address.
    void prepare(int32_t i_count);
    // The count of the last prepare.
    int32_t getCount() const { return _count; }

    // Each n entries.
    double* getColumnTermX() { return _terms.get(); }
    double* getColumnTermY() { return _terms.get() + _capacity; }
    double* getColumnTermW() { return _terms.get() + 2 * _capacity; }
    int32_t* getSampleX() { return _integers.get(); }
    int32_t* getSampleY() { return _integers.get() + _capacity; }
    int32_t* getCellColumn() { return _integers.get() + 2 * _capacity; }
    // 3 x n entries: red, green, blue per sample.
    int32_t* getRgb() { return _integers.get() + 3 * _capacity; }

private:
    // 3 x capacity doubles and 6 x capacity integers.
    std::unique_ptr<double[]> _terms;
    std::unique_ptr<int32_t[]> _integers;
    int32_t _count;
    int32_t _capacity;
};

}  // namespace VoTrack
