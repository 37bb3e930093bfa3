#pragma once

#include <array>
#include <cstdint>

#include "IVoARCameraDistortionFactor.h"
#include "IVoARRgbPixelReader.h"
#include "IVoARRgbRaster.h"
#include "TVoARDoublePoint_t.h"
#include "VoARSquare.h"

namespace VoTrack {

// Refines a detected square's edges and corners to a fraction of a pixel
// from the frame's brightness (red + green + blue). The detector fits edges
// through the outermost dark pixels, about half a pixel inside the true edge;
// this stage finds where the brightness steps from the dark border to the
// bright surround in many pixel rows (or columns) across each edge of the
// frame, from the area under the brightness along the row (exact for a sharp
// edge whose pixels hold their covered share, unmoved by symmetric blur),
// and fits lines to those points in ideal coordinates, dropping the points
// that disagree (an object over part of an edge). Its buffers are members of
// fixed size: refine allocates nothing.
class VoARSubpixelEdges
{
public:
    // Most points located per edge: one per pixel row (or column) the edge
    // crosses between its corner margins, evenly thinned to this many. More
    // points average more noise away, but 16 already keep corners within
    // 0.05 px (median) at noise sigma 5 and blur 1.5, and the time per
    // square grows with them.
    static constexpr int32_t MAX_POINTS = 16;
    // Half-length of the brightness profile read across an edge, as a
    // distance from the edge (pixels). MAX_REACH holds most of a step blurred
    // by a Gaussian of 1.5 pixels; a thin border (a small or steeply tilted
    // marker) gets less, down to MIN_REACH, so that the profile stays inside
    // it.
    static constexpr double MAX_REACH = 3.0;
    static constexpr double MIN_REACH = 1.0;
    // Pixels of a row read for one point's profiles.
    static constexpr int32_t MAX_PROFILE_PIXELS = 23;
    // Least bright-minus-dark difference across an edge (red + green + blue,
    // 0 to 765) for a profile to count: 20 grey levels, well above noise.
    static constexpr double MIN_CONTRAST = 60.0;
    // A refined corner farther than this (ideal pixels) from the coarse one
    // means the refinement went wrong.
    static constexpr double MAX_CORNER_SHIFT = 3.0;
    // Least points left on a line after dropping those that disagree.
    static constexpr int32_t MIN_INLIERS = 6;

    // i_distortion is borrowed and must outlive this object; i_width x
    // i_height is the frame size (pixels) of the rasters to refine on.
    VoARSubpixelEdges(const IVoARCameraDistortionFactor* i_distortion, int32_t i_width, int32_t i_height);

    VoARSubpixelEdges(const VoARSubpixelEdges&) = delete;
    VoARSubpixelEdges& operator=(const VoARSubpixelEdges&) = delete;

    // Refines io_square, a square found in i_raster, in place: its
    // edge_lines and ideal_vertices get the refined lines and corners (same
    // conventions, each line keeping its coarse sign); image_vertices stay.
    // Returns false, leaving the square unchanged, when the raster is not of
    // the frame size, an edge cannot be located (too short, too few points
    // with a step in reach, or too few of them agreeing), two edges are near
    // parallel, or a corner would move more than MAX_CORNER_SHIFT.
    bool refine(const IVoARRgbRaster& i_raster, VoARSquare* io_square);

private:
    // Where along and across one edge to look, in ideal coordinates.
    struct TEdgeFrame
    {
        TVoARDoublePoint_t start;   // the coarse corner the edge starts from
        TVoARDoublePoint_t tangent; // unit vector towards the next corner
        double outward;             // +1 or -1: (tangent.y, -tangent.x) times this points out of the square
        int32_t start_axis;         // profiles run along x (0) or y (1) before middle,
        int32_t end_axis;           // and from it on
        double middle;              // distance from start (pixels)
        double reach;               // of a profile, from the edge (pixels)
        double first;               // distance from start of the first point (pixels)
        double spacing;             // between points, at least a row apart (pixels)
        int32_t count;              // points to locate
    };
    // One profile's reading: the step's offset outwards from the profile's
    // centre (pixels along its axis), the mean of the dark and bright levels
    // at the profile's ends and their difference.
    struct TProfileStep
    {
        double offset;
        double mid;
        double contrast;
    };
    // A point of an edge: the pixel row (or column) its profiles read and
    // what the last one found, in observed pixels.
    struct TEdgePoint
    {
        double along;      // distance from the edge's start (ideal pixels)
        int32_t axis;      // profiles run along x (0) or y (1)
        int32_t line;      // the row (profiles along x) or column (along y)
        double start;      // where the coarse edge crosses it, along the axis
        double sign;       // +1 when the outward direction is the axis's, else -1
        double half;       // half-length of the profile along the axis
        TProfileStep step; // offset from start
    };

    // The mid level along an edge, level + slope * (along - mean_along)
    // (red + green + blue, along in pixels), the standard deviation (noise)
    // of the points' own about it, and whether it describes them (usable).
    struct TMidLevel
    {
        double level;
        double slope;
        double mean_along;
        double noise;
        bool usable;
    };

    // Where to look along edge i_edge of i_square; false when its corners
    // are not finite or it is too short to place points clear of them.
    bool planEdge(const VoARSquare& i_square, int32_t i_edge, TEdgeFrame* o_frame) const;
    // Chooses the profiles' axes and places the points of io_frame (start,
    // tangent, outward and reach set) along the edge of length i_length;
    // false when they do not fit between its corners.
    bool planPoints(const VoARSquare& i_square, int32_t i_edge, double i_length, TEdgeFrame* io_frame) const;
    // Locates the step at each point of i_frame, then puts the points found
    // in ideal coordinates into _x, _y; returns how many were found.
    int32_t locatePoints(const IVoARRgbPixelReader& i_reader, const TEdgeFrame& i_frame);
    // Puts the point at distance i_along from the start of the edge on the
    // nearest row (or column) the coarse edge crosses in the frame (the lens
    // bends the edge); false when the edge runs along it there.
    bool placePoint(const TEdgeFrame& i_frame, double i_along, TEdgePoint* o_point) const;
    // Locates the step across the edge at io_point from profiles, each
    // centred where the last ones put it; false when there is no step in
    // reach.
    bool locateAcross(const IVoARRgbPixelReader& i_reader, TEdgePoint* io_point);
    // One profile of i_point's row, pixels i_first..i_last of it in _row,
    // centred i_centre outwards of its start; false when it leaves them or
    // holds no dark-to-bright step of MIN_CONTRAST.
    bool readStep(const TEdgePoint& i_point, int32_t i_first, int32_t i_last, double i_centre,
                  TProfileStep* o_step) const;
    // Reads the pixels i_first..i_last of row (or column) i_line into _row;
    // false when they are not all on the frame.
    bool readRow(const IVoARRgbPixelReader& i_reader, int32_t i_axis, int32_t i_line, int32_t i_first,
                 int32_t i_last);
    // The integral over [i_from, i_to] of the brightness interpolated
    // linearly between the pixel centres of _row, whose first pixel is at
    // i_first; exact for the interpolation.
    double rowIntegral(int32_t i_first, double i_from, double i_to) const;
    // The integral of the interpolated brightness from _row's first pixel
    // centre to i_at.
    double rowPrimitive(int32_t i_first, double i_at) const;
    // The interpolated brightness at i_at.
    double rowAt(int32_t i_first, double i_at) const;
    // The mid level along the edge fitted to the i_count points of _points.
    TMidLevel fitMidLevel(int32_t i_count);
    // The median of the points' mid levels, each less i_slope times its
    // distance along the edge from i_mean_along.
    double medianLevel(int32_t i_count, double i_slope, double i_mean_along);
    // Fits the line through the i_count points of _x, _y robustly into
    // o_line, (A, B, C) oriented like i_coarse; false when fewer than
    // MIN_INLIERS or MIN_INLIER_SHARE of the i_planned points agree.
    bool fitLine(int32_t i_count, int32_t i_planned, const double* i_coarse, double* o_line);
    // The line among some through pairs of points that most points lie
    // near; false when there is none.
    bool seedLine(int32_t i_count, double* o_line) const;
    // Marks in _inlier the points near i_line and returns their count.
    int32_t selectInliers(int32_t i_count, const double* i_line);
    // Median distance (pixels) of the i_count points from i_line.
    double medianDistance(int32_t i_count, const double* i_line);
    // Least-squares (orthogonal) line through the inliers.
    void fitInliers(int32_t i_count, double* o_line) const;

    const IVoARCameraDistortionFactor* _distortion;
    int32_t _width;
    int32_t _height;
    // One edge's points as located, then in ideal pixels, and which of them
    // agree with the line.
    std::array<TEdgePoint, MAX_POINTS> _points;
    std::array<double, MAX_POINTS> _x;
    std::array<double, MAX_POINTS> _y;
    std::array<bool, MAX_POINTS> _inlier;
    // Values whose median is wanted (distances, levels, slopes), reordered
    // by the search.
    std::array<double, MAX_POINTS> _scratch;
    // One point's row of pixels, their red, green and blue, and brightness.
    std::array<int32_t, MAX_PROFILE_PIXELS> _pixel_x;
    std::array<int32_t, MAX_PROFILE_PIXELS> _pixel_y;
    std::array<int32_t, 3 * MAX_PROFILE_PIXELS> _rgb;
    std::array<double, MAX_PROFILE_PIXELS> _row;
    // Per pixel of _row, the integral of its interpolated brightness from
    // the first pixel's centre to this one's.
    std::array<double, MAX_PROFILE_PIXELS> _row_area;
};

}  // namespace VoTrack
