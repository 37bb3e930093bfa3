#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "TVoARDoublePoint_t.h"
#include "TVoARSquareSearch.h"

namespace VoTrack {

class IVoARCameraDistortionFactor;
class IVoARRgbRaster;
class VoARColorPatt_O3;
class VoARDarkMaskOpening;
class VoARMatchPatt_Color_WITHOUT_PCA;
class VoARParam;
class VoARRasterFilter_KestrelThreshold;
class VoARRasterFilter_TileThreshold;
class VoARSquareDetector;
class VoARSquareStack;
class VoARSubpixelEdges;
struct VoARSquare;

// The pattern-independent work on a frame, done once for every pattern of
// one camera: binarisation, labeling and the square search, then each
// square's sample on each pattern grid size in use. Built once per camera,
// frame size and raster format with all its buffers at their largest, so
// that analysing and sampling allocate nothing. Single-pattern detectors
// own one each or borrow one shared.
class VoARFrameAnalysis
{
public:
    // Candidate squares kept per frame by default.
    static constexpr int32_t SQUARE_CAPACITY = TVoARSquareSearch::DEFAULT_SQUARE_CAPACITY;

    // How analyse binarises a frame.
    enum class TBinarisation
    {
        // Dark where red + green + blue is at most 3 x analyse's threshold:
        // the plug-in's way.
        FIXED_THRESHOLD,
        // Dark by VoARRasterFilter_TileThreshold, which follows dim and
        // uneven light; analyse's threshold is not used. Reads only 32-bit
        // frames with the colour in the first three bytes.
        TILE_THRESHOLD,
    };

    // i_param's screen size is the frame size; its distortion is borrowed
    // for the analysis's life (ideal map, refined corners). i_raster_format
    // is the buffer-format code of the frames (VoARException for one the
    // binarisation cannot read, or a frame too large to address). i_search
    // bounds the square search (the defaults are the plug-in's).
    VoARFrameAnalysis(const VoARParam* i_param, int32_t i_raster_format,
                      const TVoARSquareSearch& i_search = TVoARSquareSearch(),
                      TBinarisation i_binarisation = TBinarisation::FIXED_THRESHOLD);
    ~VoARFrameAnalysis();

    VoARFrameAnalysis(const VoARFrameAnalysis&) = delete;
    VoARFrameAnalysis& operator=(const VoARFrameAnalysis&) = delete;

    // Binarises i_raster (at i_threshold with FIXED_THRESHOLD), labels it
    // and finds its squares; i_raster is borrowed until the next analyse,
    // for sampling. Throws VoARException, touching nothing, for a raster of
    // another size than the one the analysis was built for, or of a layout
    // its binarisation does not read (see the filters' reads); a
    // VoARException from the search (too many regions) leaves the frame
    // without usable squares.
    void analyse(const IVoARRgbRaster* i_raster, int32_t i_threshold);
    // Counts the analyses begun: what was read from a frame is stale once
    // the number has moved on.
    uint64_t getFrameNumber() const { return _frame_number; }
    int32_t getSquareCount() const;
    // Squares are numbered in the search's order, largest region first;
    // each stays valid until the next analyse.
    const VoARSquare* getSquare(int32_t i_index) const;

    // Moves each square's edges and corners onto the frame's brightness
    // steps with io_edges (a square whose edges cannot be located keeps its
    // own); sampleSquare then reads the picture through the refined corners,
    // where it lies, instead of through the outline's pixels half a pixel
    // inside it. Call after analyse and before sampling the frame.
    void refineSquares(VoARSubpixelEdges* io_edges);
    // Registers a pattern grid of i_width x i_height cells (each 1, 2, 4, 8,
    // 16, 32 or 64, else VoARException) and returns its number for
    // sampleSquare. Patterns of one size share one sampler; each acquire
    // needs a releaseGrid.
    int32_t acquireGrid(int32_t i_width, int32_t i_height);
    void releaseGrid(int32_t i_grid);
    // The matcher holding the sample of square i_index on grid i_grid, ready
    // for matchCode; null when the square cannot be sampled (a sample point
    // at infinity, no perspective transform) or samples uniformly. A grid
    // keeps the last square sampled, so asking for the squares in order
    // samples each once per frame whatever the number of patterns.
    VoARMatchPatt_Color_WITHOUT_PCA* sampleSquare(int32_t i_grid, int32_t i_index);

private:
    struct TGrid;
    // A square's refined corners in observed pixels, for sampling.
    struct TRefinedCorners
    {
        bool refined;
        TVoARDoublePoint_t corners[4];
    };

    // The search again on the opened dark mask, for a frame with more
    // regions than the labeling holds.
    void searchOpened();

    int32_t _width;
    int32_t _height;
    std::unique_ptr<VoARRasterFilter_KestrelThreshold> _threshold_filter;
    // Null with FIXED_THRESHOLD; otherwise it binarises in place of the above.
    std::unique_ptr<VoARRasterFilter_TileThreshold> _tile_filter;
    // The binarised frame: one byte per pixel, 1 for dark.
    std::unique_ptr<uint8_t[]> _dark;
    std::unique_ptr<VoARSquareDetector> _square_detector;
    std::unique_ptr<VoARSquareStack> _square_stack;
    // Null unless crowded frames are opened and searched again.
    std::unique_ptr<VoARDarkMaskOpening> _opening;
    // Borrowed from the camera, as the square detector does.
    const IVoARCameraDistortionFactor* _distortion;
    // One per square the search keeps; valid for the frame _refined_frame.
    std::unique_ptr<TRefinedCorners[]> _refined;
    uint64_t _refined_frame;
    // The frame of the last analyse, borrowed.
    const IVoARRgbRaster* _raster;
    uint64_t _frame_number;
    // Null entries are free slots.
    std::vector<std::unique_ptr<TGrid>> _grids;
};

}  // namespace VoTrack
