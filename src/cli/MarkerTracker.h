#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "BgraImage.h"
#include "FrameReport.h"
#include "PatternFile.h"
#include "VoARParam.h"

namespace VoTrack {
class VoARFrameAnalysis;
class VoARRgbRaster_BGRA;
class VoARSingleDetectMarker;
}  // namespace VoTrack

namespace Markeye {

// The tracker as the plug-in runs it, for frames from files: one detector
// per pattern sharing one camera and one analysis of each frame,
// binarisation threshold 100, marker width 80. The camera is rescaled to each frame's size as the plug-in's `new`
// does (by the width ratio alone); camera and detectors are rebuilt only
// when the frame size changes.
class MarkerTracker
{
public:
    static constexpr int32_t THRESHOLD = 100;
    static constexpr double MARKER_WIDTH = 80.0;
    // Least confidence for a marker to count as found. A built-in marker 56
    // pixels across or larger matches its own pattern at 0.58 or more (0.85
    // and more from 100 pixels); the built-in markers match each other's
    // patterns at up to 0.5 (hook and moon).
    static constexpr double DEFAULT_MIN_CONFIDENCE = 0.55;

    MarkerTracker(const VoTrack::TVoARParamFileRecord& i_camera, std::vector<TPattern> i_patterns,
                  double i_min_confidence);
    ~MarkerTracker();
    MarkerTracker(const MarkerTracker&) = delete;
    MarkerTracker& operator=(const MarkerTracker&) = delete;

    // Fills io_report's size, time and one marker report per pattern.
    // elapsed_ms covers detection, pose and corners of every pattern, not
    // the one-off rebuild for a new frame size.
    void track(const BgraImage& i_frame, TFrameReport* io_report);

    // The camera as rescaled for the last frame tracked.
    const VoTrack::VoARParam& camera() const { return *_param; }
    const std::vector<TPattern>& patterns() const { return _patterns; }
    // Whether a frame of this size has the camera file's proportions; if not,
    // the rescaled camera is wrong for it (the height does not enter).
    bool fitsCamera(int32_t i_width, int32_t i_height) const;

private:
    void prepare(int32_t i_width, int32_t i_height);
    void reportMarker(int32_t i_index, TMarkerReport* o_marker);

    VoTrack::TVoARParamFileRecord _record;
    std::vector<TPattern> _patterns;
    double _min_confidence;
    // Declared before the detectors, which borrow them.
    std::unique_ptr<VoTrack::VoARParam> _param;
    std::unique_ptr<VoTrack::VoARFrameAnalysis> _analysis;
    std::unique_ptr<VoTrack::VoARRgbRaster_BGRA> _raster;
    std::vector<std::unique_ptr<VoTrack::VoARSingleDetectMarker>> _detectors;
    // The same detectors, as the shared detection call takes them.
    std::vector<VoTrack::VoARSingleDetectMarker*> _detector_list;
    int32_t _width = 0;
    int32_t _height = 0;
};

}  // namespace Markeye
