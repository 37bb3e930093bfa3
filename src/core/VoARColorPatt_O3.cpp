#include "VoARColorPatt_O3.h"

#include <algorithm>
#include <cmath>

#include "VoARException.h"
#include "VoARPatternSize.h"

namespace VoTrack {

namespace {

constexpr int32_t COMPONENTS = 3;
constexpr int32_t CORNERS = 4;
constexpr int32_t UNKNOWNS = 8;

// Marker plane coordinates of the square's corners 0..3 (a square of side
// 10); the sampled central half runs from 102.5 to 107.5 on both axes.
constexpr double PLANE_CORNERS[CORNERS][2] = {{100.0, 100.0}, {110.0, 100.0}, {110.0, 110.0}, {100.0, 110.0}};
constexpr double SAMPLED_START = 102.5;
constexpr double SAMPLED_LENGTH = 5.0;

int32_t checkedCellCount(int32_t i_width, int32_t i_height)
{
    if (!VoARPatternSize::isValid(i_width) || !VoARPatternSize::isValid(i_height)) {
        throw VoARException();
    }
    return i_width * i_height;
}

// In doubles: exact for integer corners while both differences are below
// 2^26 pixels, and far beyond the sample cap otherwise, where 32-bit squares
// would overflow.
double squaredDistance(const double* i_a, const double* i_b)
{
    const double dx = i_a[0] - i_b[0];
    const double dy = i_a[1] - i_b[1];
    return dx * dx + dy * dy;
}

// Samples along one axis: the pattern size doubled while a quarter of the
// longer squared edge exceeds its square, at most VoARPatternSize::MAX.
int32_t sampleCount(int32_t i_size, double i_edge1_squared, double i_edge2_squared)
{
    const double q = std::floor(std::max(i_edge1_squared, i_edge2_squared) / 4.0);
    int32_t count = i_size;
    while (count < VoARPatternSize::MAX && q > static_cast<double>(count) * count) {
        count *= 2;
    }
    return count;
}

// Plane coordinate of sample i of n across the central half.
double planeCoordinate(int32_t i_index, int32_t i_count)
{
    return (i_index + 0.5) * SAMPLED_LENGTH / i_count + SAMPLED_START;
}

// True when i_value truncated toward zero lies in 0..i_size-1. Tested in
// doubles so that a far-off point never reaches an integer conversion.
bool truncatesInto(double i_value, int32_t i_size)
{
    return i_value > -1.0 && i_value < i_size;
}

}  // namespace

VoARColorPatt_O3::VoARColorPatt_O3(int32_t i_width, int32_t i_height)
    : _sample(new int32_t[checkedCellCount(i_width, i_height) * COMPONENTS]()),
      _width(i_width),
      _height(i_height),
      _system(std::make_unique<VoARMat>(UNKNOWNS, UNKNOWNS)),
      _rhs(std::make_unique<VoARMat>(UNKNOWNS, 1)),
      _params(std::make_unique<VoARMat>(UNKNOWNS, 1)),
      _work(std::make_unique<VoARSampleBuffers>())
{
}

VoARColorPatt_O3::~VoARColorPatt_O3() = default;

bool VoARColorPatt_O3::sampleSquare(const IVoARRgbRaster* i_raster, const VoARSquare* i_square)
{
    double corners[CORNERS][2];
    for (int32_t k = 0; k < CORNERS; k++) {
        corners[k][0] = i_square->image_vertices[k][0];
        corners[k][1] = i_square->image_vertices[k][1];
    }
    return sampleQuad(*i_raster, corners);
}

bool VoARColorPatt_O3::sampleCorners(const IVoARRgbRaster* i_raster, const TVoARDoublePoint_t (&i_corners)[4])
{
    // Pixel x covers x - 0.5 to x + 0.5, which truncation reads from x + 0.5.
    double corners[CORNERS][2];
    for (int32_t k = 0; k < CORNERS; k++) {
        corners[k][0] = i_corners[k].x + 0.5;
        corners[k][1] = i_corners[k].y + 0.5;
    }
    return sampleQuad(*i_raster, corners);
}

bool VoARColorPatt_O3::sampleQuad(const IVoARRgbRaster& i_raster, const double (&i_corners)[4][2])
{
    const double(*v)[2] = i_corners;
    // Rows run along edges 0-1 and 2-3, columns along edges 1-2 and 3-0.
    const int32_t xdiv2 = sampleCount(_width, squaredDistance(v[0], v[1]), squaredDistance(v[2], v[3]));
    const int32_t ydiv2 = sampleCount(_height, squaredDistance(v[1], v[2]), squaredDistance(v[3], v[0]));
    if (!computeTransform(i_corners)) {
        return false;
    }
    samplePoints(i_raster, xdiv2, ydiv2);
    return true;
}

bool VoARColorPatt_O3::computeTransform(const double (&i_corners)[4][2])
{
    double* system = _system->getElements();
    double* rhs = _rhs->getElements();
    for (int32_t k = 0; k < CORNERS; k++) {
        const double plane_x = PLANE_CORNERS[k][0];
        const double plane_y = PLANE_CORNERS[k][1];
        const double image_x = i_corners[k][0];
        const double image_y = i_corners[k][1];
        const double rows[2 * UNKNOWNS] = {
            plane_x, plane_y, 1.0, 0.0, 0.0, 0.0, -(plane_x * image_x), -(plane_y * image_x),
            0.0, 0.0, 0.0, plane_x, plane_y, 1.0, -(plane_x * image_y), -(plane_y * image_y)};
        std::copy(rows, rows + 2 * UNKNOWNS, system + 2 * k * UNKNOWNS);
        rhs[2 * k] = image_x;
        rhs[2 * k + 1] = image_y;
    }
    if (!_system->invertSelf()) {
        return false;
    }
    _params->multiply(*_system, *_rhs);
    return true;
}

void VoARColorPatt_O3::samplePoints(const IVoARRgbRaster& i_raster, int32_t i_xdiv2, int32_t i_ydiv2)
{
    const int32_t length = _width * _height * COMPONENTS;
    std::fill(_sample.get(), _sample.get() + length, 0);
    const int32_t xdiv = i_xdiv2 / _width;
    const int32_t ydiv = i_ydiv2 / _height;
    _work->prepare(i_xdiv2);
    computeColumnTerms(i_xdiv2);

    const IVoARRgbPixelReader* reader = i_raster.getRgbPixelReader();
    const int32_t raster_width = i_raster.getWidth();
    const int32_t raster_height = i_raster.getHeight();
    const int32_t* cell_column = _work->getCellColumn();
    const int32_t* rgb = _work->getRgb();
    for (int32_t j = 0; j < i_ydiv2; j++) {
        const int32_t count = collectRowPoints(j, i_xdiv2, i_ydiv2, xdiv, raster_width, raster_height);
        reader->getPixelSet(_work->getSampleX(), _work->getSampleY(), count, _work->getRgb());
        int32_t* row = _sample.get() + (j / ydiv) * _width * COMPONENTS;
        for (int32_t k = 0; k < count; k++) {
            int32_t* cell = row + cell_column[k] * COMPONENTS;
            cell[0] += rgb[COMPONENTS * k];
            cell[1] += rgb[COMPONENTS * k + 1];
            cell[2] += rgb[COMPONENTS * k + 2];
        }
    }
    // Every cell has xdiv x ydiv sample points, so dropped ones count as black.
    const int32_t per_cell = xdiv * ydiv;
    for (int32_t k = 0; k < length; k++) {
        _sample[k] /= per_cell;
    }
}

void VoARColorPatt_O3::computeColumnTerms(int32_t i_xdiv2)
{
    const double* p = _params->getElements();
    double* term_x = _work->getColumnTermX();
    double* term_y = _work->getColumnTermY();
    double* term_w = _work->getColumnTermW();
    for (int32_t i = 0; i < i_xdiv2; i++) {
        const double plane_x = planeCoordinate(i, i_xdiv2);
        term_x[i] = p[0] * plane_x;
        term_y[i] = p[3] * plane_x;
        term_w[i] = p[6] * plane_x;
    }
}

int32_t VoARColorPatt_O3::collectRowPoints(int32_t i_j, int32_t i_xdiv2, int32_t i_ydiv2, int32_t i_xdiv,
                                           int32_t i_raster_width, int32_t i_raster_height)
{
    const double* p = _params->getElements();
    const double plane_y = planeCoordinate(i_j, i_ydiv2);
    const double row_w = p[7] * plane_y + 1.0;
    const double row_x = p[1] * plane_y + p[2];
    const double row_y = p[4] * plane_y + p[5];
    const double* term_x = _work->getColumnTermX();
    const double* term_y = _work->getColumnTermY();
    const double* term_w = _work->getColumnTermW();
    int32_t* sample_x = _work->getSampleX();
    int32_t* sample_y = _work->getSampleY();
    int32_t* cell_column = _work->getCellColumn();
    int32_t count = 0;
    for (int32_t i = 0; i < i_xdiv2; i++) {
        const double d = row_w + term_w[i];
        if (d == 0.0) {
            throw VoARException();
        }
        const double x = (row_x + term_x[i]) / d;
        const double y = (row_y + term_y[i]) / d;
        if (!truncatesInto(x, i_raster_width) || !truncatesInto(y, i_raster_height)) {
            continue;
        }
        sample_x[count] = static_cast<int32_t>(x);
        sample_y[count] = static_cast<int32_t>(y);
        cell_column[count] = i / i_xdiv;
        count++;
    }
    return count;
}

}  // namespace VoTrack
