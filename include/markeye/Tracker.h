#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "markeye/Camera.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"

namespace markeye {

// One marker found in a frame.
struct Detection
{
    // The pattern's index in the order the tracker was given them.
    int pattern;
    // How well the square's picture matches the pattern, 0 to 1.
    double confidence;
    // Which of the pattern's four blocks matched (0 to 3): marker vertex i
    // is the detected square's corner (i + 4 - direction) mod 4.
    int direction;
    // Marker vertices 0 to 3 in observed pixels (x right, y down; vertex 0
    // the upright picture's top-left, then clockwise as seen from the front).
    std::array<std::array<double, 2>, 4> corners;
    // Marker-to-camera rotation: a marker point p lies at rotation p +
    // translation in the camera frame (x right, y down, z forward).
    std::array<std::array<double, 3>, 3> rotation;
    // The marker's centre in the camera frame, in the unit of the marker width.
    std::array<double, 3> translation;
    // Root mean square over the four vertices of the distance in ideal pixels
    // between the square's corners and the marker's projected through the pose;
    // infinite when a vertex projects onto the camera's plane.
    double reprojection_error;
    // The planar pose's ambiguity: its reprojection error divided by the
    // least error of a pose with the marker's face turned the other way
    // about the line of sight, 0 to 1. Near 1 the two poses are hard to tell
    // apart (a small or squarely facing marker): the rotation may be the
    // mirror of the true one. NaN with the plug-in's pose estimator. With
    // temporal tracking, the error of the side kept over the other side's
    // (at most 1).
    double pose_ambiguity;
    // With temporal tracking, the number of the marker's track: it stays the
    // marker's from frame to frame, also across a few frames where it is not
    // found (TemporalOptions::max_lost_frames); tracks are numbered from 0 in
    // the order they begin. -1 without temporal tracking.
    int64_t track_id = -1;
};

// How a marker's pose is computed from its square.
enum class PoseSolver
{
    // Both poses a square allows are refined on the reprojection error of
    // its corners, and the better one is reported.
    PLANAR,
    // The scripting plug-in's estimator: a rotation from the square's edges,
    // refined on a grid.
    PLUGIN,
};

// How a frame is split into dark (marker border) and light pixels.
enum class Binarisation
{
    // Thresholds follow the light tile by tile: markers are found from a
    // quarter to 1.6 times the normal brightness, with the light falling
    // across the frame (docs/identification.md).
    TILE,
    // Dark where red + green + blue is at most 3 x TrackerOptions::threshold,
    // as the scripting plug-in does: loses the marker once its ground is
    // darker than about half the normal brightness.
    FIXED,
};

// Temporal tracking, for the frames of one sequence (a video): each marker's
// pose starts from its pose in the frame before, keeps to the side of the
// planar ambiguity its recent frames fit best, and is smoothed by a pose
// filter (docs/library.md, "Temporal tracking").
struct TemporalOptions
{
    // Off: every frame is tracked on its own, as if it were the first.
    bool enabled = false;
    // Smooths the poses (a one-euro filter on each component of the rotation
    // and the translation: a low-pass whose cutoff frequency is
    // min_cutoff_hz at rest and rises with the component's speed, the size
    // of its low-passed speed held through a turn back). false
    // reports the poses as measured, still continued from frame to frame.
    bool filter = true;
    // Cutoff frequency (Hz) at rest: lower smooths a still marker more.
    double min_cutoff_hz = 1.0;
    // Cutoff added (Hz) per radian per second of turning: higher follows
    // turns more closely (lag under about 1 / (2 pi beta) radians).
    double rotation_beta = 50.0;
    // Cutoff added (Hz) per marker width per second of motion across the
    // image, in x or y (lag under about 1 / (2 pi beta) marker widths)...
    double translation_beta = 100.0;
    // ...and per unit of the distance's relative speed (1/s: a marker 1000 mm
    // away approaching at 500 mm/s moves at 0.5/s). The distance is far
    // noisier than the place across (a square's size tells it less surely),
    // but measured relative to the distance both speeds are against the
    // marker's apparent size, so their noise grows alike with the distance
    // and one beta fits near and far markers.
    double depth_beta = 800.0;
    // Cutoff frequency (Hz) of the low-pass on the speeds.
    double derivative_cutoff_hz = 1.0;
    // Frames a marker may go unfound and keep its track (its track_id).
    int32_t max_lost_frames = 10;
    // Frames per second assumed by track() without a time.
    double frame_rate = 30.0;
};

// How a tracker finds and reports markers.
struct TrackerOptions
{
    // The marker's side (the outer edge of its black border), in the unit
    // the translation is wanted in, such as millimetres.
    double marker_width = 80.0;
    // Least confidence of a reported marker. A built-in marker 56 pixels
    // across or larger matches its own pattern at 0.58 or more (0.85 and more
    // from 100 pixels); the built-in markers match each other's patterns at
    // up to 0.5 (hook and moon).
    double min_confidence = 0.55;
    // Least lead of a reported marker's confidence over its square's next
    // best match among all loaded patterns and directions (0 to 1). Markers
    // whose pictures are not loaded tend to match several alike; measured on
    // rendered scenes, 0.24 reports them under 0.1 times per 100 frames
    // (9 without it) and still finds 99.97 % of loaded markers 40 pixels
    // across or larger (docs/identification.md). Patterns of identical
    // numbers count as one here, the first taking the square. Not used with
    // plugin_compatible.
    double min_margin = 0.24;
    // How dark pixels are told (with plugin_compatible, always FIXED).
    Binarisation binarisation = Binarisation::TILE;
    // With the FIXED binarisation, a pixel is dark when red + green + blue is
    // at most 3 x threshold (0 to 255).
    int threshold = 100;
    // Each found square's edges are located to a fraction of a pixel on the
    // frame's intensity before its corners and pose are computed (corners
    // within 0.05 px median on rendered scenes, against about 0.6 px
    // without). Not used with plugin_compatible.
    bool subpixel_edges = true;
    // How poses are computed (with plugin_compatible, always the plug-in's).
    PoseSolver pose_solver = PoseSolver::PLANAR;
    // false: each square is reported at most once, for the pattern it matches
    // best, and a pattern shown several times is reported once per copy.
    // true: the scripting plug-in's results exactly: each pattern's best
    // square, reported when it reaches min_confidence, so that one square
    // may stand for several patterns and a pattern is found once at most.
    bool plugin_compatible = false;
    // Off unless enabled: frames then stay independent of each other.
    TemporalOptions temporal;

    // The plug-in's settings: marker width 80, the fixed threshold at 100,
    // least confidence 0 (its default), its pose estimator,
    // plugin_compatible.
    static TrackerOptions pluginCompatible();
};

// Finds the markers of known patterns in the frames of one camera. Built once
// with its buffers for the camera's frame size; track() then allocates
// nothing, but at the first frame of another size, whose buffers it keeps
// (for the last four sizes seen). A tracker is used by one thread at a time;
// trackers share nothing mutable, so each thread may run its own.
class Tracker
{
public:
    // Builds the buffers for frames of the camera's size. Throws Error for
    // no pattern, options out of range, or, for the planar pose solver, a
    // camera whose projection matrix cannot be inverted.
    Tracker(const Camera& i_camera, std::vector<Pattern> i_patterns, const TrackerOptions& i_options = {});
    ~Tracker();
    Tracker(Tracker&& io_other) noexcept;
    Tracker& operator=(Tracker&& io_other) noexcept;
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;

    // Every marker in i_frame at min_confidence or above, by pattern and,
    // for copies of one pattern, largest first. Valid until the next call.
    // A frame of the camera's size is tracked as it is; a frame of another
    // size with the camera's proportions gets the camera rescaled to it, made
    // at the first frame of that size (which allocates). Throws Error for a
    // view that cannot be read, a frame whose proportions differ from the
    // camera's, or, for the planar pose solver, a frame size to which the
    // camera rescales with a projection matrix that cannot be inverted (a
    // degenerate camera, as the constructor refuses at the camera's own
    // size); with plugin_compatible also for a frame with more dark
    // regions than can be labelled (the default way searches such a frame
    // again with its specks removed).
    const std::vector<Detection>& track(const ImageView& i_frame);
    // The same for a frame shown at i_time seconds, which the pose filter of
    // temporal tracking goes by (track() without it takes the frame one
    // period of TemporalOptions::frame_rate after the last). A time not
    // after the last frame's starts a new sequence, as resetTracks() does.
    const std::vector<Detection>& track(const ImageView& i_frame, double i_time);
    // Temporal tracking forgets every marker: the next frame starts a new
    // sequence (after a seek, or a cut in the video). Track numbers go on.
    void resetTracks();
    // Builds the buffers for frames of this size now, as track() would at
    // the first such frame, so that timing a frame leaves the set-up out.
    void prepare(int32_t i_width, int32_t i_height);

    // Per pattern, its best confidence over the last frame's squares, found
    // or not (what min_confidence is compared with); NaN when the frame held
    // no square that could be read.
    const std::vector<double>& bestConfidences() const;
    // The camera as used for the last frame size.
    const Camera& camera() const;
    const std::vector<Pattern>& patterns() const;
    const TrackerOptions& options() const;

private:
    class Impl;
    // Null only in a tracker moved from.
    std::unique_ptr<Impl> _impl;
};

}  // namespace markeye
