#pragma once

// Tracks a board (markers at known places on one plane) as one object: one
// pose from the corners of every marker of it that is seen.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "markeye/Board.h"
#include "markeye/Camera.h"
#include "markeye/Image.h"
#include "markeye/Tracker.h"

namespace markeye {

// The board's pose in one frame.
struct BoardDetection
{
    // At least one of the board's markers was seen and the pose found.
    bool found;
    // Board-to-camera rotation: a board point p lies at rotation p +
    // translation in the camera frame (x right, y down, z forward).
    std::array<std::array<double, 3>, 3> rotation;
    // The board's origin in the camera frame, in the board's unit.
    std::array<double, 3> translation;
    // Root mean square over the corners of the markers used of the distance
    // in ideal pixels between each corner and the board's projected one.
    double reprojection_error;
    // The board's markers (indices into Board::markers()) whose corners the
    // pose was fitted to, in the board's order.
    std::vector<int32_t> markers_used;
    // Markers of the board's patterns that were seen but left out: taken
    // for the wrong pattern, or measured where the board cannot put them.
    // Indices into BoardTracker::detections().
    std::vector<int32_t> dropped;
};

// Finds a board in the frames of one camera. Built once with its buffers,
// as Tracker is; track() then allocates nothing for frames of a size seen
// before. A marker's corners count towards the pose when the pose puts
// them within max(INLIER_PX, INLIER_SHARE x the marker's side in pixels) of
// where they were seen.
class BoardTracker
{
public:
    static constexpr double INLIER_PX = 3.0;
    static constexpr double INLIER_SHARE = 0.05;

    // i_options as for Tracker; its marker_width is not used (each board
    // marker has its side). Throws Error as Tracker does.
    BoardTracker(const Camera& i_camera, Board i_board, const TrackerOptions& i_options = {});
    ~BoardTracker();
    BoardTracker(BoardTracker&& io_other) noexcept;
    BoardTracker& operator=(BoardTracker&& io_other) noexcept;
    BoardTracker(const BoardTracker&) = delete;
    BoardTracker& operator=(const BoardTracker&) = delete;

    // The board's pose in i_frame; valid until the next call. Throws Error
    // as Tracker::track does.
    const BoardDetection& track(const ImageView& i_frame);
    // The same for a frame of a sequence shown at i_time seconds, for
    // temporal tracking of the markers (see Tracker::track).
    const BoardDetection& track(const ImageView& i_frame, double i_time);
    // Builds the buffers for frames of this size now (see Tracker::prepare).
    void prepare(int32_t i_width, int32_t i_height);
    // Per board marker, its best confidence in the last frame (see
    // Tracker::bestConfidences).
    const std::vector<double>& bestConfidences() const;
    // The markers of the board's patterns seen in the last frame, each with
    // its own pose (translation in the board's unit), as Tracker reports
    // them; pattern i is board marker i.
    const std::vector<Detection>& detections() const;
    const Board& board() const;
    // The camera as used for the last frame size.
    const Camera& camera() const;

private:
    class Impl;
    // Null only in a tracker moved from.
    std::unique_ptr<Impl> _impl;
};

}  // namespace markeye
