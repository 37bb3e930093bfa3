#pragma once

#include <cstdint>
#include <memory>

#include "IVoARCameraDistortionFactor.h"
#include "IVoARSquareDetector.h"
#include "TVoARIntSize.h"
#include "TVoARSquareSearch.h"
#include "VoARAcceptedLabelList.h"
#include "VoARCornerList.h"
#include "VoARDoubleMatrix22.h"
#include "VoARLabelingImage.h"
#include "VoARLabeling_Kestrel.h"
#include "VoARObserv2IdealMap.h"
#include "VoARPca2d_MatrixPCA_O2.h"

namespace VoTrack {

// Turns a binarised frame into candidate squares: labels the dark regions,
// keeps those of plausible size, position and spacing, traces each outline,
// finds its four corners, fits the four edges as lines in ideal (undistorted)
// coordinates and intersects them. Takes the frame as a binary raster or as
// a one-byte dark mask (the faster form). Built once per frame size and
// camera; detection allocates nothing once warm, or at all after reserve.
class VoARSquareDetector : public IVoARSquareDetector
{
public:
    // Regions outside these areas (pixels, inclusive) are no markers,
    // unless setAreaLimits says otherwise.
    static constexpr int32_t AREA_MAX = TVoARSquareSearch::DEFAULT_AREA_MAX;
    static constexpr int32_t AREA_MIN = TVoARSquareSearch::DEFAULT_AREA_MIN;

    // i_dist_factor is borrowed for the detector's life (the ideal map
    // converts pixels with it as outlines reach them); i_size is the frame
    // size (positive). Throws VoARException for a frame too large to address.
    VoARSquareDetector(const IVoARCameraDistortionFactor* i_dist_factor, const TVoARIntSize* i_size);
    ~VoARSquareDetector() override;

    VoARSquareDetector(const VoARSquareDetector&) = delete;
    VoARSquareDetector& operator=(const VoARSquareDetector&) = delete;

    // i_raster: BUFFERFORMAT_INT1D_BIN_8, of the frame size. Squares come
    // out largest region first. When o_square_stack fills up, the pass stops
    // and keeps the squares found so far. Throws VoARException when the
    // frame has too many regions to label.
    void detectSquares(const IVoARRaster* i_raster, VoARSquareStack* o_square_stack) override;
    // The same from a dark mask of the frame size (one byte per pixel,
    // non-zero for dark; see VoARLabeling_Kestrel::labelingDark): the same
    // squares as detectSquares on the matching binary raster.
    void detectSquaresInDarkMask(const uint8_t* i_dark, VoARSquareStack* o_square_stack);
    // Grows the accepted-label list to its largest now, for stacks of up to
    // i_square_capacity squares, so that no later detection allocates (the
    // label records and the labeling's work records are made with the
    // detector, for the most its frame size can have).
    void reserve(int32_t i_square_capacity);
    // The least and most pixels of a region that may be a marker's border,
    // inclusive; AREA_MIN and AREA_MAX until set.
    void setAreaLimits(int32_t i_min, int32_t i_max);

private:
    // The pass over the labelled regions, once the label image is filled.
    void searchSquares(VoARSquareStack* o_square_stack);
    bool isOnBorder(const VoARLabelingLabel& i_label) const;
    // Traces label i_label_index's outline and rotates it to begin at its
    // point farthest from the start. False for an outline of _max_contour
    // points or more.
    bool traceOutline(int32_t i_label_index, int32_t* o_start, int32_t* o_count);
    // The index in i_first..i_last of the outline point strictly farthest
    // from point i_from (the first of equals); i_from if none is apart.
    int32_t farthestPoint(int32_t i_from, int32_t i_first, int32_t i_last) const;
    // Corner indices c0..c4 (c4 closing the outline) of the i_count points
    // from i_start, or false when the outline is no quadrilateral.
    bool findCorners(int32_t i_start, int32_t i_count, int32_t i_area, int32_t* o_corners);
    bool splitPair(int32_t i_first, int32_t i_middle, int32_t i_last, double i_threshold);
    bool splitInto(VoARCornerList& io_list, int32_t i_first, int32_t i_last, double i_threshold) const;
    bool splitCorners(int32_t i_first, int32_t i_last, double i_threshold, int32_t i_pending,
                      VoARCornerList& io_list) const;
    bool fitSquare(const int32_t* i_corners, VoARSquare* o_square);
    bool fitEdge(int32_t i_first, int32_t i_last, double* o_line);

    int32_t _width;
    int32_t _height;
    std::unique_ptr<VoARLabelingImage> _label_image;
    std::unique_ptr<VoARObserv2IdealMap> _ideal_map;
    std::unique_ptr<VoARLabeling_Kestrel> _labeling;
    std::unique_ptr<VoARPca2d_MatrixPCA_O2> _pca;
    // One edge's points in ideal coordinates. An edge can span a whole
    // outline, so they hold _max_contour points.
    std::unique_ptr<double[]> _ideal_x;
    std::unique_ptr<double[]> _ideal_y;
    // The outline in image pixels, with room behind it for the rotated copy
    // of up to _max_contour - 1 points.
    std::unique_ptr<int32_t[]> _contour_x;
    std::unique_ptr<int32_t[]> _contour_y;
    std::unique_ptr<VoARAcceptedLabelList> _accepted;
    VoARCornerList _corners_a;
    VoARCornerList _corners_b;
    // Outlines of this many points or more are skipped: 2 x (w + h).
    int32_t _max_contour;
    int32_t _area_min;
    int32_t _area_max;
    VoARDoubleMatrix22 _evec;
};

}  // namespace VoTrack
