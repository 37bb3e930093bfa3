#include "VoARMat.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "VoARException.h"

namespace VoTrack {

namespace {

// Number of elements of a rows x cols shape; throws for a negative shape or
// one whose element count does not fit the 32-bit capacity.
int32_t elementCount(int32_t i_rows, int32_t i_cols)
{
    const int64_t count = static_cast<int64_t>(i_rows) * i_cols;
    if (i_rows < 0 || i_cols < 0 || count > std::numeric_limits<int32_t>::max()) {
        throw VoARException();
    }
    return static_cast<int32_t>(count);
}

}  // namespace

VoARMat::VoARMat(int32_t i_rows, int32_t i_cols)
    : _data(new double[elementCount(i_rows, i_cols)]),
      _capacity(i_rows * i_cols),
      _cols(i_cols),
      _rows(i_rows),
      _work(std::make_unique<VoARVec>(1))
{
}

VoARMat::~VoARMat() = default;

void VoARMat::resize(int32_t i_rows, int32_t i_cols)
{
    const int32_t count = elementCount(i_rows, i_cols);
    if (count > _capacity) {
        _data.reset(new double[count]);
        _capacity = count;
    }
    _rows = i_rows;
    _cols = i_cols;
}

void VoARMat::assign(const VoARMat& i_source)
{
    if (i_source._rows != _rows || i_source._cols != _cols) {
        throw VoARException();
    }
    std::copy(i_source._data.get(), i_source._data.get() + _rows * _cols, _data.get());
}

void VoARMat::multiply(const VoARMat& i_a, const VoARMat& i_b)
{
    // The product is written while the operands are read, so neither may be
    // this matrix.
    if (i_a._cols != i_b._rows || _rows != i_a._rows || _cols != i_b._cols || &i_a == this || &i_b == this) {
        throw VoARException();
    }
    const double* a = i_a._data.get();
    const double* b = i_b._data.get();
    double* out = _data.get();
    const int32_t inner = i_a._cols;
    for (int32_t i = 0; i < _rows; i++) {
        for (int32_t j = 0; j < _cols; j++) {
            double sum = 0.0;
            for (int32_t k = 0; k < inner; k++) {
                sum += a[i * inner + k] * b[k * _cols + j];
            }
            out[i * _cols + j] = sum;
        }
    }
}

bool VoARMat::invertSelf()
{
    const int32_t n = _rows;
    if (n <= 0 || n > MAX_INVERSE_ORDER) {
        throw VoARException();
    }
    double* a = _data.get();
    if (n == 1) {
        a[0] = 1.0 / a[0];
        return true;
    }

    // The elimination shifts the columns one place to the left after each
    // step, so every step's pivot is searched in column 0; nos records the
    // row exchanges so that they can be undone at the end.
    int32_t nos[MAX_INVERSE_ORDER];
    for (int32_t i = 0; i < n; i++) {
        nos[i] = i;
    }
    for (int32_t r = 0; r < n; r++) {
        double max_magnitude = 0.0;
        int32_t ip = r;
        for (int32_t i = r; i < n; i++) {
            const double magnitude = std::fabs(a[i * n]);
            if (magnitude > max_magnitude) {
                max_magnitude = magnitude;
                ip = i;
            }
        }
        if (max_magnitude == 0.0) {
            return false;
        }
        std::swap(nos[ip], nos[r]);
        std::swap_ranges(a + ip * n, a + ip * n + n, a + r * n);

        double* pivot_row = a + r * n;
        const double p = pivot_row[0];
        for (int32_t k = 0; k < n - 1; k++) {
            pivot_row[k] = pivot_row[k + 1] / p;
        }
        pivot_row[n - 1] = 1.0 / p;

        for (int32_t i = 0; i < n; i++) {
            if (i == r) {
                continue;
            }
            double* row = a + i * n;
            const double d = row[0];
            for (int32_t k = 0; k < n - 1; k++) {
                row[k] = row[k + 1] - d * pivot_row[k];
            }
            row[n - 1] = -d * pivot_row[n - 1];
        }
    }

    for (int32_t j = 0; j < n; j++) {
        int32_t k = j;
        while (nos[k] != j) {
            k++;
        }
        nos[k] = nos[j];
        for (int32_t i = 0; i < n; i++) {
            std::swap(a[i * n + j], a[i * n + k]);
        }
    }
    return true;
}

}  // namespace VoTrack
