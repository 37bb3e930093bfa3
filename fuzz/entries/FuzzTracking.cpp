#include "FuzzTracking.h"

#include <algorithm>
#include <cmath>

#include "FuzzScene.h"
#include "markeye/Error.h"

namespace MarkeyeFuzz {

namespace {

// How far R^T R may be from the identity: the pose's rotation is built from
// angles, so only rounding separates it from a rotation.
constexpr double ROTATION_TOLERANCE = 1e-6;

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "tracker", i_promise);
}

bool isFinitePose(const markeye::Detection& i_detection)
{
    bool finite = std::all_of(i_detection.translation.begin(), i_detection.translation.end(),
                              [](double i_v) { return std::isfinite(i_v); });
    for (const std::array<double, 3>& row : i_detection.rotation) {
        finite = finite && std::all_of(row.begin(), row.end(), [](double i_v) { return std::isfinite(i_v); });
    }
    return finite;
}

bool isRotation(const std::array<std::array<double, 3>, 3>& i_r)
{
    for (int a = 0; a < 3; a++) {
        for (int b = 0; b < 3; b++) {
            const double dot = i_r[0][a] * i_r[0][b] + i_r[1][a] * i_r[1][b] + i_r[2][a] * i_r[2][b];
            if (!(std::fabs(dot - (a == b ? 1.0 : 0.0)) <= ROTATION_TOLERANCE)) {
                return false;
            }
        }
    }
    const double determinant = i_r[0][0] * (i_r[1][1] * i_r[2][2] - i_r[1][2] * i_r[2][1]) -
                               i_r[0][1] * (i_r[1][0] * i_r[2][2] - i_r[1][2] * i_r[2][0]) +
                               i_r[0][2] * (i_r[1][0] * i_r[2][1] - i_r[1][1] * i_r[2][0]);
    return determinant > 0.0;
}

// The corners as a set: a square's, whichever vertex comes first.
std::array<std::array<double, 2>, 4> cornerSet(const markeye::Detection& i_detection)
{
    std::array<std::array<double, 2>, 4> corners = i_detection.corners;
    std::sort(corners.begin(), corners.end());
    return corners;
}

void checkDetection(const markeye::Tracker& i_tracker, const markeye::Detection& i_detection)
{
    const std::vector<double>& best = i_tracker.bestConfidences();
    require(i_detection.pattern >= 0 && static_cast<size_t>(i_detection.pattern) < i_tracker.patterns().size(),
            "a detection's pattern index is in range");
    require(i_detection.confidence >= 0.0 && i_detection.confidence <= 1.0, "a confidence is from 0 to 1");
    require(i_detection.confidence >= i_tracker.options().min_confidence,
            "a detection reaches the least confidence");
    const double pattern_best = best[static_cast<size_t>(i_detection.pattern)];
    if (i_tracker.options().plugin_compatible) {
        require(i_detection.confidence == pattern_best, "a pattern is reported with its best confidence");
    } else {
        require(i_detection.confidence <= pattern_best, "no detection beats its pattern's best confidence");
    }
    require(i_detection.direction >= 0 && i_detection.direction <= 3, "a direction is from 0 to 3");
    for (const std::array<double, 2>& corner : i_detection.corners) {
        require(std::isfinite(corner[0]) && std::isfinite(corner[1]), "corners are finite");
    }
    // The plug-in's mode has the plug-in's poses, whichever solver is asked for.
    const bool planar = !i_tracker.options().plugin_compatible &&
                        i_tracker.options().pose_solver == markeye::PoseSolver::PLANAR;
    if (!planar) {
        require(std::isnan(i_detection.pose_ambiguity), "the plug-in's pose estimator tells no ambiguity");
    }
    if (isFinitePose(i_detection)) {
        require(isRotation(i_detection.rotation), "a finite pose's rotation is a rotation");
        require(!planar || (i_detection.pose_ambiguity >= 0.0 && i_detection.pose_ambiguity <= 1.0),
                "a planar pose's ambiguity is from 0 to 1");
        // Infinite when a vertex projects onto the camera's plane, as a
        // fuzzed projection matrix can make it.
        require(i_detection.reprojection_error >= 0.0, "a finite pose has a reprojection error");
    }
}

void checkAnswer(const markeye::Tracker& i_tracker, const std::vector<markeye::Detection>& i_found)
{
    const std::vector<double>& best = i_tracker.bestConfidences();
    require(best.size() == i_tracker.patterns().size(), "one best confidence per pattern");
    for (double confidence : best) {
        require(std::isnan(confidence) || (confidence >= 0.0 && confidence <= 1.0),
                "a best confidence is from 0 to 1, or NaN");
    }
    for (size_t k = 0; k < i_found.size(); k++) {
        checkDetection(i_tracker, i_found[k]);
        if (k == 0) {
            continue;
        }
        const int previous = i_found[k - 1].pattern;
        if (i_tracker.options().plugin_compatible) {
            require(previous < i_found[k].pattern, "the plug-in's mode reports a pattern once, in pattern order");
        } else {
            require(previous <= i_found[k].pattern, "detections come in pattern order");
        }
    }
    if (i_tracker.options().plugin_compatible) {
        return;
    }
    std::vector<std::array<std::array<double, 2>, 4>> squares;
    for (const markeye::Detection& detection : i_found) {
        squares.push_back(cornerSet(detection));
    }
    std::sort(squares.begin(), squares.end());
    require(std::adjacent_find(squares.begin(), squares.end()) == squares.end(),
            "the default mode reports a square once");
}

}  // namespace

bool optionsInRange(const markeye::TrackerOptions& i_options)
{
    const markeye::TemporalOptions& temporal = i_options.temporal;
    const auto is_rate = [](double i_v) { return i_v >= 0.0 && std::isfinite(i_v); };
    return i_options.marker_width > 0.0 && std::isfinite(i_options.marker_width) && i_options.min_confidence >= 0.0 &&
           i_options.min_confidence <= 1.0 && i_options.min_margin >= 0.0 && i_options.min_margin <= 1.0 &&
           i_options.threshold >= 0 && i_options.threshold <= 255 && is_rate(temporal.min_cutoff_hz) &&
           is_rate(temporal.rotation_beta) && is_rate(temporal.translation_beta) && is_rate(temporal.depth_beta) &&
           is_rate(temporal.derivative_cutoff_hz) && temporal.frame_rate > 0.0 && std::isfinite(temporal.frame_rate) &&
           temporal.max_lost_frames >= 0;
}

std::unique_ptr<markeye::Tracker> makeTracker(const markeye::Camera& i_camera, std::vector<markeye::Pattern> i_patterns,
                                              const markeye::TrackerOptions& i_options)
{
    if (optionsInRange(i_options)) {
        return std::make_unique<markeye::Tracker>(i_camera, std::move(i_patterns), i_options);
    }
    try {
        markeye::Tracker accepted(i_camera, std::move(i_patterns), i_options);
    } catch (const markeye::Error&) {
        return nullptr;
    }
    require(false, "options out of range are refused");
    return nullptr;
}

const std::vector<markeye::Detection>* trackChecked(markeye::Tracker& io_tracker, const markeye::ImageView& i_frame,
                                                    std::optional<double> i_time)
{
    const std::vector<markeye::Detection>* found = nullptr;
    try {
        found = i_time ? &io_tracker.track(i_frame, *i_time) : &io_tracker.track(i_frame);
    } catch (const markeye::Error&) {
        return nullptr;
    }
    checkAnswer(io_tracker, *found);
    return found;
}

}  // namespace MarkeyeFuzz
