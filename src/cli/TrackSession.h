#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "FrameReport.h"
#include "markeye/markeye.h"

namespace Markeye {

// The library's tracker as the commands run it on frames of any size: with
// a camera file, frames of its proportions (others are refused); without
// one, the built-in camera for each frame's size (the 640 x 480 camera
// rescaled to frames of its proportions, as the plug-in is given it, the
// nominal camera of the same field of view for others). What was found
// becomes report lines.
class TrackSession
{
public:
    // No i_camera: the built-in camera. With i_board, its markers are the
    // patterns (i_patterns is not used) and each frame's report also holds
    // the board's pose.
    TrackSession(std::optional<markeye::Camera> i_camera, std::vector<markeye::Pattern> i_patterns,
                 const markeye::TrackerOptions& i_options, std::optional<markeye::Board> i_board = std::nullopt);

    // Fills io_report's size, time and markers: per pattern in load order,
    // one entry per marker found, or one saying it was not. i_time: when the
    // frame was shown (seconds), which temporal tracking goes by. elapsed_ms
    // covers tracking alone, not the set-up for a new frame size. Throws
    // markeye::Error for a frame the tracker refuses.
    void track(const markeye::Image& i_frame, double i_time, TFrameReport* io_report);
    // The same for a frame 1/30 s after the last (the first at 0).
    void track(const markeye::Image& i_frame, TFrameReport* io_report);

    // The camera as used for the last frame.
    const markeye::Camera& camera() const { return _board_tracker ? _board_tracker->camera() : _tracker->camera(); }
    const std::vector<markeye::Pattern>& patterns() const { return _patterns; }
    const markeye::TrackerOptions& options() const { return _options; }

private:
    // A tracker whose camera fits frames of this size, built for it.
    void prepare(int32_t i_width, int32_t i_height);
    // The tracker (or the board's) for i_camera.
    void makeTracker(const markeye::Camera& i_camera);
    // The markers of i_frame, and with a board its pose into io_report.
    const std::vector<markeye::Detection>& trackFrame(const markeye::Image& i_frame, double i_time,
                                                      TFrameReport* io_report);
    void report(const std::vector<markeye::Detection>& i_found, TFrameReport* io_report) const;

    std::optional<markeye::Camera> _camera_file;
    std::vector<markeye::Pattern> _patterns;
    markeye::TrackerOptions _options;
    // One of the two, as a board was given or not.
    std::optional<markeye::Tracker> _tracker;
    std::optional<markeye::Board> _board;
    std::optional<markeye::BoardTracker> _board_tracker;
    // The last frame's time; NaN before the first.
    double _last_time;
};

}  // namespace Markeye
