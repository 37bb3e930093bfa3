#pragma once

#include <cstdint>
#include <memory>

#include "VoARVec.h"

namespace VoTrack {

// Run-time sized dense matrix of doubles (row-major) for the core's small
// linear systems: shape-checked product and copy, and an in-place inverse.
// Shape errors throw VoARException and leave the matrix unchanged.
class VoARMat
{
public:
    // The largest order invertSelf supports.
    static constexpr int32_t MAX_INVERSE_ORDER = 50;

    // Allocates exactly i_rows x i_cols doubles, left unset.
    VoARMat(int32_t i_rows, int32_t i_cols);
    virtual ~VoARMat();

    VoARMat(const VoARMat&) = delete;
    VoARMat& operator=(const VoARMat&) = delete;

    // Element (i, j) is at index i x getColumnCount() + j.
    double* getElements() { return _data.get(); }
    const double* getElements() const { return _data.get(); }
    int32_t getColumnCount() const { return _cols; }
    int32_t getRowCount() const { return _rows; }

    // Changes the shape; the buffer and its contents stay unless the new
    // shape needs more room, in which case a new unset buffer replaces it.
    void resize(int32_t i_rows, int32_t i_cols);
    // Copies the contents of a matrix of the same shape.
    void assign(const VoARMat& i_source);
    // this = i_a x i_b; this must be neither operand.
    void multiply(const VoARMat& i_a, const VoARMat& i_b);
    // Inverts a square matrix in place by Gauss-Jordan elimination with row
    // pivoting. Returns false on a zero pivot, leaving meaningless contents.
    bool invertSelf();

private:
    std::unique_ptr<double[]> _data;
    int32_t _capacity;
    int32_t _cols;
    int32_t _rows;
    std::unique_ptr<VoARVec> _work;
};

}  // namespace VoTrack
