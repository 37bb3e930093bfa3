#include "VoARFrameAnalysis.h"

#include "VoARColorPatt_O3.h"
#include "VoARDarkMaskOpening.h"
#include "VoARException.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARParam.h"
#include "VoARPatternSize.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARRasterFilter_TileThreshold.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSquare.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"
#include "VoARSubpixelEdges.h"

namespace VoTrack {

namespace {

// Image corners of a square of 256-pixel sides lying off a 1 x 1 raster:
// sampling it draws the most sample points per row (VoARPatternSize::MAX)
// and reads none of them.
constexpr int32_t WARM_UP_CORNERS[4][2] = {{1000, 1000}, {1256, 1000}, {1256, 1256}, {1000, 1256}};

}  // namespace

// One pattern grid size in use: its sampler, the matcher holding the last
// sampled square, and which square of which frame that is.
struct VoARFrameAnalysis::TGrid
{
    TGrid(int32_t i_width, int32_t i_height)
        : width(i_width), height(i_height), users(0), sampler(i_width, i_height), frame_number(0), square(-1),
          usable(false)
    {
        growBuffers();
    }

    // Sampler and matcher grow their work buffers at their first and largest
    // square; doing it now keeps every frame free of allocations.
    void growBuffers()
    {
        const VoARRgbRaster_BGRA nowhere(1, 1);
        VoARSquare far_off;
        for (int i = 0; i < 4; i++) {
            far_off.image_vertices[i][0] = WARM_UP_CORNERS[i][0];
            far_off.image_vertices[i][1] = WARM_UP_CORNERS[i][1];
        }
        sampler.sampleSquare(&nowhere, &far_off);
        matcher.setSample(&sampler);
    }

    int32_t width;
    int32_t height;
    int32_t users;
    VoARColorPatt_O3 sampler;
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    uint64_t frame_number;
    int32_t square;
    bool usable;
};

VoARFrameAnalysis::VoARFrameAnalysis(const VoARParam* i_param, int32_t i_raster_format,
                                     const TVoARSquareSearch& i_search, TBinarisation i_binarisation)
    : _width(i_param->getScreenSize()->w),
      _height(i_param->getScreenSize()->h),
      _distortion(i_param->getDistortionFactor()),
      _refined(std::make_unique<TRefinedCorners[]>(static_cast<std::size_t>(i_search.square_capacity))),
      _refined_frame(0),
      _raster(nullptr),
      _frame_number(0)
{
    const TVoARIntSize* screen = i_param->getScreenSize();
    _threshold_filter = std::make_unique<VoARRasterFilter_KestrelThreshold>(0, i_raster_format);
    // The square detector refuses a frame too large to address first.
    _square_detector = std::make_unique<VoARSquareDetector>(i_param->getDistortionFactor(), screen);
    if (i_binarisation == TBinarisation::TILE_THRESHOLD) {
        _tile_filter = std::make_unique<VoARRasterFilter_TileThreshold>(screen, i_raster_format);
    }
    _square_detector->reserve(i_search.square_capacity);
    _square_detector->setAreaLimits(i_search.area_min, i_search.area_max);
    _dark = std::make_unique<uint8_t[]>(static_cast<std::size_t>(_width) * static_cast<std::size_t>(_height));
    // Its records are made as the first busy frames need them, without
    // allocating.
    _square_stack = std::make_unique<VoARSquareStack>(i_search.square_capacity);
    if (i_search.open_crowded_frames) {
        _opening = std::make_unique<VoARDarkMaskOpening>(_width, _height);
    }
}

VoARFrameAnalysis::~VoARFrameAnalysis() = default;

void VoARFrameAnalysis::analyse(const IVoARRgbRaster* i_raster, int32_t i_threshold)
{
    // The size the buffers were made for, whatever the camera says now.
    const int32_t format = i_raster->getBufferReader()->getBufferType();
    const bool readable =
        _tile_filter ? VoARRasterFilter_TileThreshold::reads(format) : _threshold_filter->reads(format);
    if (i_raster->getWidth() != _width || i_raster->getHeight() != _height || !readable) {
        throw VoARException();
    }
    _frame_number++;
    _raster = i_raster;
    if (_tile_filter) {
        _tile_filter->doFilterDark(*i_raster, _dark.get());
    } else {
        _threshold_filter->setThreshold(i_threshold);
        _threshold_filter->doFilterDark(*i_raster, _dark.get());
    }
    try {
        _square_detector->detectSquaresInDarkMask(_dark.get(), _square_stack.get());
    } catch (const VoARException&) {
        _square_stack->clear();
        if (_opening == nullptr) {
            throw;
        }
        searchOpened();
    } catch (...) {
        _square_stack->clear();
        throw;
    }
}

void VoARFrameAnalysis::searchOpened()
{
    _opening->open(_dark.get());
    try {
        _square_detector->detectSquaresInDarkMask(_dark.get(), _square_stack.get());
    } catch (...) {
        _square_stack->clear();
        throw;
    }
}

int32_t VoARFrameAnalysis::getSquareCount() const
{
    return _square_stack->getLength();
}

const VoARSquare* VoARFrameAnalysis::getSquare(int32_t i_index) const
{
    return _square_stack->getArray()[i_index];
}

void VoARFrameAnalysis::refineSquares(VoARSubpixelEdges* io_edges)
{
    VoARSquare* const* squares = _square_stack->getArray();
    for (int32_t i = 0; i < getSquareCount(); i++) {
        TRefinedCorners& refined = _refined[static_cast<size_t>(i)];
        refined.refined = io_edges->refine(*_raster, squares[i]);
        if (!refined.refined) {
            continue;
        }
        for (int32_t k = 0; k < 4; k++) {
            const TVoARDoublePoint_t ideal{squares[i]->ideal_vertices[k][0], squares[i]->ideal_vertices[k][1]};
            _distortion->ideal2Observ(&ideal, &refined.corners[k]);
        }
    }
    _refined_frame = _frame_number;
}

int32_t VoARFrameAnalysis::acquireGrid(int32_t i_width, int32_t i_height)
{
    if (!VoARPatternSize::isValid(i_width) || !VoARPatternSize::isValid(i_height)) {
        throw VoARException();
    }
    int32_t free_slot = -1;
    for (int32_t g = 0; g < static_cast<int32_t>(_grids.size()); g++) {
        TGrid* grid = _grids[static_cast<size_t>(g)].get();
        if (grid == nullptr) {
            free_slot = free_slot < 0 ? g : free_slot;
        } else if (grid->width == i_width && grid->height == i_height) {
            grid->users++;
            return g;
        }
    }
    auto grid = std::make_unique<TGrid>(i_width, i_height);
    grid->users = 1;
    if (free_slot < 0) {
        _grids.push_back(std::move(grid));
        return static_cast<int32_t>(_grids.size()) - 1;
    }
    _grids[static_cast<size_t>(free_slot)] = std::move(grid);
    return free_slot;
}

void VoARFrameAnalysis::releaseGrid(int32_t i_grid)
{
    std::unique_ptr<TGrid>& grid = _grids[static_cast<size_t>(i_grid)];
    if (--grid->users == 0) {
        grid.reset();
    }
}

VoARMatchPatt_Color_WITHOUT_PCA* VoARFrameAnalysis::sampleSquare(int32_t i_grid, int32_t i_index)
{
    TGrid& grid = *_grids[static_cast<size_t>(i_grid)];
    if (grid.frame_number != _frame_number || grid.square != i_index) {
        bool usable = false;
        try {
            const TRefinedCorners& refined = _refined[static_cast<size_t>(i_index)];
            const bool sampled = _refined_frame == _frame_number && refined.refined
                                     ? grid.sampler.sampleCorners(_raster, refined.corners)
                                     : grid.sampler.sampleSquare(_raster, getSquare(i_index));
            usable = sampled && grid.matcher.setSample(&grid.sampler);
        } catch (const VoARException&) {
            // A sample point on the square's vanishing line: nothing to read.
        }
        grid.frame_number = _frame_number;
        grid.square = i_index;
        grid.usable = usable;
    }
    return grid.usable ? &grid.matcher : nullptr;
}

}  // namespace VoTrack
