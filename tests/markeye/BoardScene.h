#pragma once

// Boards drawn by the scene renderer: each marker of a grid board at the
// board's pose, showing its generated picture, and grey occluders laid over
// chosen markers afterwards.

#include <cstdint>
#include <random>
#include <vector>

#include "LibraryTestSupport.h"
#include "VoARDoubleMatrix34.h"
#include "markeye/markeye.h"

namespace LibraryTest {

// The picture of generated pattern i_index, kept alive for scenes.
const Markeye::MarkerPicture& generatedMarkerPicture(int32_t i_index);

// The markers of a grid board (made by Board::grid, marker m showing
// generated pattern m) at i_pose (board to camera).
std::vector<Markeye::TSceneMarker> boardScene(const markeye::Board& i_board, const VoTrack::VoARDoubleMatrix34& i_pose);

// Board marker i_marker's pose in the camera frame.
VoTrack::VoARDoubleMatrix34 markerPoseOnBoard(const markeye::Board& i_board, int32_t i_marker,
                                              const VoTrack::VoARDoubleMatrix34& i_pose);

// A copy of a BGRA frame with a flat grey occluder over each listed
// marker: its outline, a little wider on every side.
class OccludedFrame
{
public:
    OccludedFrame(const markeye::ImageView& i_frame, const std::vector<Markeye::TMarkerTruth>& i_truth,
                  const std::vector<int32_t>& i_hidden);
    markeye::ImageView view() const;

private:
    std::vector<uint8_t> _bytes;
    markeye::ImageView _view;
};

// A random pose of i_board, tilted up to i_max_tilt_deg about a random axis,
// turned in its plane up to i_max_roll_deg, about i_distance away, with
// every marker's corners at least i_margin_px inside the frame of i_camera;
// false when none of many tries fits.
bool randomBoardPose(const markeye::Board& i_board, const markeye::Camera& i_camera, double i_distance,
                     double i_max_tilt_deg, double i_max_roll_deg, double i_margin_px, std::mt19937* io_rng,
                     VoTrack::VoARDoubleMatrix34* o_pose);

}  // namespace LibraryTest
