#include "TrackSession.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace Markeye {

namespace {

// The size of the built-in camera file.
constexpr int32_t BUILTIN_WIDTH = 640;
constexpr int32_t BUILTIN_HEIGHT = 480;
// Frames per second of frames given without a time.
constexpr double NOMINAL_FRAME_RATE = 30.0;

markeye::Camera builtinCameraFor(int32_t i_width, int32_t i_height)
{
    const markeye::Camera nominal = markeye::Camera::builtin(BUILTIN_WIDTH, BUILTIN_HEIGHT);
    return nominal.fits(i_width, i_height) ? nominal : markeye::Camera::builtin(i_width, i_height);
}

TMarkerReport foundMarker(const markeye::Detection& i_detection)
{
    TMarkerReport marker;
    marker.pattern = i_detection.pattern;
    marker.selected = true;
    marker.found = true;
    marker.confidence = i_detection.confidence;
    marker.direction = i_detection.direction;
    marker.corners = i_detection.corners;
    marker.track = i_detection.track_id;
    for (int row = 0; row < 3; row++) {
        for (int column = 0; column < 3; column++) {
            marker.pose[row][column] = i_detection.rotation[row][column];
        }
        marker.pose[row][3] = i_detection.translation[row];
    }
    return marker;
}

}  // namespace

TrackSession::TrackSession(std::optional<markeye::Camera> i_camera, std::vector<markeye::Pattern> i_patterns,
                           const markeye::TrackerOptions& i_options, std::optional<markeye::Board> i_board)
    : _camera_file(std::move(i_camera)),
      _patterns(i_board ? i_board->patterns() : std::move(i_patterns)),
      _options(i_options),
      _board(std::move(i_board)),
      _last_time(std::numeric_limits<double>::quiet_NaN())
{
    // A camera file's tracker waits for the first frame: tables for the size
    // the file states could be far larger than the frames'.
    if (!_camera_file) {
        makeTracker(builtinCameraFor(BUILTIN_WIDTH, BUILTIN_HEIGHT));
    }
}

void TrackSession::makeTracker(const markeye::Camera& i_camera)
{
    if (_board) {
        _board_tracker.emplace(i_camera, *_board, _options);
        return;
    }
    _tracker.emplace(i_camera, _patterns, _options);
}

void TrackSession::prepare(int32_t i_width, int32_t i_height)
{
    if ((!_tracker && !_board_tracker) || !camera().fits(i_width, i_height)) {
        // A frame not in a camera file's proportions is refused with the
        // camera's own message.
        makeTracker(_camera_file ? _camera_file->rescaled(i_width, i_height) : builtinCameraFor(i_width, i_height));
    }
    if (_board_tracker) {
        _board_tracker->prepare(i_width, i_height);
        return;
    }
    _tracker->prepare(i_width, i_height);
}

const std::vector<markeye::Detection>& TrackSession::trackFrame(const markeye::Image& i_frame, double i_time,
                                                                TFrameReport* io_report)
{
    if (!_board_tracker) {
        return _tracker->track(i_frame.view(), i_time);
    }
    const markeye::BoardDetection& board = _board_tracker->track(i_frame.view(), i_time);
    const std::vector<markeye::Detection>& seen = _board_tracker->detections();
    TBoardReport entry;
    entry.name = _board->name();
    entry.found = board.found;
    entry.markers_used = board.markers_used;
    for (const int32_t dropped : board.dropped) {
        entry.dropped.push_back(seen[static_cast<size_t>(dropped)].pattern);
    }
    entry.reprojection_error = board.reprojection_error;
    for (int row = 0; row < 3; row++) {
        for (int column = 0; column < 3; column++) {
            entry.pose[row][column] = board.rotation[static_cast<size_t>(row)][static_cast<size_t>(column)];
        }
        entry.pose[row][3] = board.translation[static_cast<size_t>(row)];
    }
    io_report->boards.assign(1, entry);
    return seen;
}

void TrackSession::track(const markeye::Image& i_frame, double i_time, TFrameReport* io_report)
{
    prepare(i_frame.width(), i_frame.height());
    _last_time = i_time;
    io_report->time = i_time;
    io_report->width = i_frame.width();
    io_report->height = i_frame.height();
    const auto start = std::chrono::steady_clock::now();
    const std::vector<markeye::Detection>& found = trackFrame(i_frame, i_time, io_report);
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    io_report->elapsed_ms = elapsed.count();
    report(found, io_report);
}

void TrackSession::track(const markeye::Image& i_frame, TFrameReport* io_report)
{
    track(i_frame, std::isnan(_last_time) ? 0.0 : _last_time + 1.0 / NOMINAL_FRAME_RATE, io_report);
}

void TrackSession::report(const std::vector<markeye::Detection>& i_found, TFrameReport* io_report) const
{
    io_report->markers.clear();
    const std::vector<double>& best = _board_tracker ? _board_tracker->bestConfidences() : _tracker->bestConfidences();
    // The detections come by pattern.
    auto next = i_found.begin();
    for (int32_t p = 0; p < static_cast<int32_t>(_patterns.size()); p++) {
        const bool found = next != i_found.end() && next->pattern == p;
        for (; next != i_found.end() && next->pattern == p; ++next) {
            io_report->markers.push_back(foundMarker(*next));
        }
        if (!found) {
            TMarkerReport missing;
            missing.pattern = p;
            missing.selected = !std::isnan(best[static_cast<size_t>(p)]);
            missing.confidence = missing.selected ? best[static_cast<size_t>(p)] : 0.0;
            io_report->markers.push_back(missing);
        }
    }
}

}  // namespace Markeye
