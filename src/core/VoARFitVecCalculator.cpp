#include "VoARFitVecCalculator.h"

#include "VoARAssert.h"

namespace VoTrack {

namespace {

constexpr int VERTEX_COUNT = 4;
constexpr int ROW_COUNT = 2 * VERTEX_COUNT;
// The missing-offset assertion reports this fixed line so that its message
// stays the same whatever this file looks like.
constexpr unsigned OFFSET_ASSERT_LINE = 118;

}  // namespace

VoARFitVecCalculator::VoARFitVecCalculator(const VoARPerspectiveProjectionMatrix* i_projection,
                                           const IVoARCameraDistortionFactor* i_distortion)
    : _at(std::make_unique<VoARMat>(3, ROW_COUNT)),
      _a(std::make_unique<VoARMat>(ROW_COUNT, 3)),
      _ata_inv(std::make_unique<VoARMat>(3, 3)),
      _projection(i_projection),
      _distortion(i_distortion),
      _image_vertices(),
      _offset_square(nullptr),
      _atb(std::make_unique<VoARMat>(3, 1)),
      _t(std::make_unique<VoARMat>(3, 1)),
      _b(std::make_unique<VoARMat>(ROW_COUNT, 1))
{
    // Columns 0 and 1 (the coefficients of tx and ty) depend on the camera only.
    double* a = _a->getElements();
    double* at = _at->getElements();
    for (int row = 0; row < ROW_COUNT; row += 2) {
        a[row * 3] = i_projection->m00;
        a[row * 3 + 1] = i_projection->m01;
        a[(row + 1) * 3] = 0.0;
        a[(row + 1) * 3 + 1] = i_projection->m11;
        at[row] = i_projection->m00;
        at[ROW_COUNT + row] = i_projection->m01;
        at[row + 1] = 0.0;
        at[ROW_COUNT + row + 1] = i_projection->m11;
    }
}

VoARFitVecCalculator::~VoARFitVecCalculator() = default;

void VoARFitVecCalculator::setOffsetSquare(const VoARMarkerOffset* i_offset)
{
    _offset_square = i_offset;
}

const VoARMarkerOffset* VoARFitVecCalculator::getOffsetSquare() const
{
    return _offset_square;
}

bool VoARFitVecCalculator::setImageVertices(const double* const* i_vertices)
{
    TVoARDoublePoint_t ideal[VERTEX_COUNT];
    const TVoARDoublePoint_t* ideal_pointers[VERTEX_COUNT];
    for (int i = 0; i < VERTEX_COUNT; i++) {
        ideal[i].x = i_vertices[i][0];
        ideal[i].y = i_vertices[i][1];
        ideal_pointers[i] = &ideal[i];
    }
    _distortion->ideal2ObservBatch(ideal_pointers, _image_vertices, VERTEX_COUNT);

    // Column 2 holds the coefficient of tz, which depends on the vertex.
    double* a = _a->getElements();
    double* at = _at->getElements();
    for (int i = 0; i < VERTEX_COUNT; i++) {
        const double x_term = _projection->m02 - _image_vertices[i].x;
        const double y_term = _projection->m12 - _image_vertices[i].y;
        a[2 * i * 3 + 2] = x_term;
        a[(2 * i + 1) * 3 + 2] = y_term;
        at[2 * ROW_COUNT + 2 * i] = x_term;
        at[2 * ROW_COUNT + 2 * i + 1] = y_term;
    }
    _ata_inv->multiply(*_at, *_a);
    return _ata_inv->invertSelf();
}

const TVoARDoublePoint_t* VoARFitVecCalculator::getImageVertices() const
{
    return _image_vertices;
}

void VoARFitVecCalculator::solveTranslation(const VoARRotMatrix* i_rotation, double* o_translation)
{
    VOTRACK_ASSERT_AT(_offset_square != nullptr, "src/core/VoARFitVecCalculator", OFFSET_ASSERT_LINE,
                      "this->_offset_square!=__null");
    double rotated[VERTEX_COUNT][3];
    i_rotation->rotatePoints(_offset_square->corners, rotated, VERTEX_COUNT);

    // Vertex i = projection of (rotated corner i + t):
    //   m00*tx + m01*ty + (m02 - x)*tz = Z*x - m00*X - m01*Y - Z*m02
    //            m11*ty + (m12 - y)*tz = Z*y - m11*Y - Z*m12
    const VoARPerspectiveProjectionMatrix& p = *_projection;
    double* b = _b->getElements();
    for (int i = 0; i < VERTEX_COUNT; i++) {
        const double x = _image_vertices[i].x;
        const double y = _image_vertices[i].y;
        const double* c = rotated[i];
        b[2 * i] = c[2] * x - p.m00 * c[0] - p.m01 * c[1] - c[2] * p.m02;
        b[2 * i + 1] = c[2] * y - p.m11 * c[1] - c[2] * p.m12;
    }
    _atb->multiply(*_at, *_b);
    _t->multiply(*_ata_inv, *_atb);
    const double* t = _t->getElements();
    o_translation[0] = t[0];
    o_translation[1] = t[1];
    o_translation[2] = t[2];
}

}  // namespace VoTrack
