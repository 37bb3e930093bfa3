#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "markeye/markeye.h"

namespace MarkeyePython {

// One marker found, as Python sees it: the library's detection with its
// pattern's name and the marker width its translation is measured in.
struct TFoundMarker
{
    markeye::Detection detection;
    std::string name;
    double marker_width;
};

// markeye.Tracker: the library's tracker with the camera chosen per frame
// size when none is given (the built-in camera for that size, as the
// command-line program does), frames read from NumPy arrays, and the GIL
// released while tracking. A mutex keeps two Python threads from using one
// tracker at once; trackers on different threads run in parallel.
class PythonTracker
{
public:
    // i_camera empty: the built-in camera for each frame's size. Throws Error
    // as the library's Tracker does (no pattern, options out of range).
    PythonTracker(std::optional<markeye::Camera> i_camera, std::vector<markeye::Pattern> i_patterns,
                  const markeye::TrackerOptions& i_options);

    // The markers in i_image (see ArrayFrame for what it may be), shown at
    // i_time seconds (empty: as the library's track() without a time).
    // Releases the GIL while the frame is read and tracked.
    std::vector<TFoundMarker> track(const pybind11::object& i_image, const std::string& i_order, bool i_allow_copy,
                                    std::optional<double> i_time);
    // Temporal tracking forgets every marker (the library's resetTracks()).
    void resetTracks();
    void prepare(int32_t i_width, int32_t i_height);

    // The camera used for the last frame; empty before the first frame when
    // no camera was given.
    std::optional<markeye::Camera> camera() const;
    const std::vector<markeye::Pattern>& patterns() const { return _patterns; }
    const markeye::TrackerOptions& options() const { return _options; }
    std::vector<double> bestConfidences() const;
    // Milliseconds the library's track() took on the last frame.
    double elapsedMs() const { return _elapsed_ms; }

private:
    // The library's tracker for frames of this size, made anew with the
    // built-in camera of that size when no camera was given and the last one
    // does not fit. Called with _mutex held.
    markeye::Tracker& trackerFor(int32_t i_width, int32_t i_height);

    const bool _builtin_camera;
    std::vector<markeye::Pattern> _patterns;
    markeye::TrackerOptions _options;
    // Null only until the first frame when no camera was given.
    std::unique_ptr<markeye::Tracker> _tracker;
    bool _tracked = false;
    // Frames whose layout is not readable in place are packed here.
    std::vector<uint8_t> _copy;
    double _elapsed_ms = 0.0;
    mutable std::mutex _mutex;
};

}  // namespace MarkeyePython
