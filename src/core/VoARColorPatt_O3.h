#pragma once

#include <cstdint>
#include <memory>

#include "IVoARColorPatt.h"
#include "TVoARDoublePoint_t.h"
#include "VoARMat.h"
#include "VoARSampleBuffers.h"

namespace VoTrack {

// Samples the central half of a square through the perspective transform
// given by its four image corners, averaging the colours cell by cell on a
// W x H pattern grid. Built once per pattern; sampling a square allocates
// nothing once the work buffers have grown to the longest sample row.
class VoARColorPatt_O3 : public IVoARColorPatt
{
public:
    // Each size 1, 2, 4, 8, 16, 32 or 64 (VoARException otherwise, before
    // anything is allocated).
    VoARColorPatt_O3(int32_t i_width, int32_t i_height);
    ~VoARColorPatt_O3() override;

    VoARColorPatt_O3(const VoARColorPatt_O3&) = delete;
    VoARColorPatt_O3& operator=(const VoARColorPatt_O3&) = delete;

    int32_t getWidth() const override { return _width; }
    int32_t getHeight() const override { return _height; }
    const int32_t* getSampleData() const override { return _sample.get(); }
    // Sample points outside the raster count as black. Throws VoARException
    // when a sample point maps to infinity (the sample is then partly
    // written).
    bool sampleSquare(const IVoARRgbRaster* i_raster, const VoARSquare* i_square) override;
    // The same through corners known to a fraction of a pixel (observed
    // pixels, each pixel centred on its integer coordinates), such as a
    // square's refined ones: the picture is then read where it lies, not
    // half a pixel inside the outline's pixels.
    bool sampleCorners(const IVoARRgbRaster* i_raster, const TVoARDoublePoint_t (&i_corners)[4]);

    // p0..p7 of the last transform found: the marker plane point (X, Y), with
    // corners 0..3 at (100, 100), (110, 100), (110, 110), (100, 110), maps to
    // image x = (p0 X + p1 Y + p2) / (p6 X + p7 Y + 1) and
    // y = (p3 X + p4 Y + p5) / (p6 X + p7 Y + 1). Undefined before the first.
    const double* getTransformParams() const { return _params->getElements(); }

private:
    // Corners in the sampler's own coordinates: a sample at x reads pixel
    // x truncated toward zero.
    bool sampleQuad(const IVoARRgbRaster& i_raster, const double (&i_corners)[4][2]);
    bool computeTransform(const double (&i_corners)[4][2]);
    void samplePoints(const IVoARRgbRaster& i_raster, int32_t i_xdiv2, int32_t i_ydiv2);
    void computeColumnTerms(int32_t i_xdiv2);
    // Fills the work buffers with row j's points inside the raster; returns
    // how many there are.
    int32_t collectRowPoints(int32_t i_j, int32_t i_xdiv2, int32_t i_ydiv2, int32_t i_xdiv, int32_t i_raster_width,
                             int32_t i_raster_height);

    std::unique_ptr<int32_t[]> _sample;
    int32_t _width;
    int32_t _height;
    std::unique_ptr<VoARMat> _system;
    std::unique_ptr<VoARMat> _rhs;
    std::unique_ptr<VoARMat> _params;
    std::unique_ptr<VoARSampleBuffers> _work;
};

}  // namespace VoTrack
