#pragma once

// The library's tracker as the fuzz entries drive it: built and run through
// the public API only, each answer checked against what Tracker.h promises.
// A broken promise aborts; a refusal by markeye::Error is an answer.

#include <memory>
#include <optional>
#include <vector>

#include "markeye/Camera.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"

namespace MarkeyeFuzz {

// Whether the tracker must take these options: marker width positive and
// finite, least confidence and margin 0 to 1, threshold 0 to 255, temporal
// rates finite and 0 or more, a positive finite frame rate, lost frames 0 or
// more.
bool optionsInRange(const markeye::TrackerOptions& i_options);

// A tracker, or null when it refused the options, which it must do exactly
// when they are out of range. Any other refusal escapes as an exception.
// The camera must be one the tracker takes.
std::unique_ptr<markeye::Tracker> makeTracker(const markeye::Camera& i_camera, std::vector<markeye::Pattern> i_patterns,
                                              const markeye::TrackerOptions& i_options);

// Tracks i_frame and checks the answer: pattern indices in range and in
// order, confidences 0 to 1 and at least the least confidence, directions 0
// to 3, finite corners, a rotation and a planar pose's ambiguity of 0 to 1
// (when the pose is finite; none from the plug-in's estimator), the best
// confidences consistent with the detections, each pattern once in the
// plug-in's mode and each square once in the default mode. Null when the
// tracker refused the frame with markeye::Error. With i_time, the frame is
// shown at that time (seconds).
const std::vector<markeye::Detection>* trackChecked(markeye::Tracker& io_tracker, const markeye::ImageView& i_frame,
                                                    std::optional<double> i_time = std::nullopt);

}  // namespace MarkeyeFuzz
