#include "VoARMarkerTracks.h"

#include <cmath>
#include <limits>

namespace VoTrack {

VoARMarkerTracks::VoARMarkerTracks(int32_t i_capacity, int32_t i_max_unseen,
                                   const VoARPoseFilter::TParameters& i_filter, double i_marker_width)
    : _count(0), _max_unseen(i_max_unseen), _next_id(0)
{
    const TTrack blank{0,
                       0,
                       -1,
                       0.0,
                       {0.0, 0.0},
                       0.0,
                       0,
                       false,
                       VoARTransMatResult(),
                       {0.0, 0.0, 0.0},
                       VoARPoseFilter(i_filter, i_marker_width),
                       0.0,
                       0.0,
                       0.0};
    _tracks.assign(static_cast<std::size_t>(i_capacity), blank);
}

void VoARMarkerTracks::beginFrame()
{
    for (int32_t i = 0; i < _count; i++) {
        _tracks[static_cast<std::size_t>(i)].seen_this_frame = false;
    }
}

VoARMarkerTracks::TTrack* VoARMarkerTracks::match(int32_t i_pattern, const double i_centre[2], double i_side)
{
    TTrack* nearest = nullptr;
    double nearest_distance = std::numeric_limits<double>::infinity();
    for (int32_t i = 0; i < _count; i++) {
        TTrack& track = _tracks[static_cast<std::size_t>(i)];
        if (track.pattern != i_pattern || track.seen_this_frame) {
            continue;
        }
        const double distance = std::hypot(i_centre[0] - track.centre[0], i_centre[1] - track.centre[1]);
        const double reach = GATE_SIDES * std::fmax(i_side, track.side) * (1.0 + track.unseen);
        if (distance <= reach && distance < nearest_distance) {
            nearest = &track;
            nearest_distance = distance;
        }
    }
    if (nearest == nullptr) {
        if (_count == static_cast<int32_t>(_tracks.size())) {
            return nullptr;
        }
        nearest = &_tracks[static_cast<std::size_t>(_count++)];
        nearest->id = _next_id++;
        nearest->pattern = i_pattern;
        nearest->direction = -1;
        nearest->measured.has_value = false;
        nearest->filter.reset();
        const double facing[3] = {0.0, 0.0, 0.0};
        startSide(facing, nearest);
    }
    nearest->centre[0] = i_centre[0];
    nearest->centre[1] = i_centre[1];
    nearest->side = i_side;
    nearest->unseen = 0;
    nearest->seen_this_frame = true;
    return nearest;
}

void VoARMarkerTracks::endFrame()
{
    int32_t kept = 0;
    for (int32_t i = 0; i < _count; i++) {
        TTrack& track = _tracks[static_cast<std::size_t>(i)];
        if (!track.seen_this_frame && ++track.unseen > _max_unseen) {
            continue;
        }
        if (kept != i) {
            _tracks[static_cast<std::size_t>(kept)] = track;
        }
        kept++;
    }
    _count = kept;
}

void VoARMarkerTracks::clear()
{
    _count = 0;
}

void VoARMarkerTracks::startSide(const double i_tilt[3], TTrack* io_track)
{
    restartSide(i_tilt, io_track);
    io_track->noise_sum = 0.0;
    io_track->side_weight = 0.0;
}

void VoARMarkerTracks::restartSide(const double i_tilt[3], TTrack* io_track)
{
    for (int k = 0; k < 3; k++) {
        io_track->lean[k] = i_tilt[k];
    }
    io_track->side_evidence = 0.0;
}

void VoARMarkerTracks::addLean(const double i_tilt[3], TTrack* io_track)
{
    for (int k = 0; k < 3; k++) {
        io_track->lean[k] = LEAN_MEMORY * io_track->lean[k] + (1.0 - LEAN_MEMORY) * i_tilt[k];
    }
}

bool VoARMarkerTracks::prefersOtherSide(double i_own_error, double i_other_error, TTrack* io_track)
{
    // A frame without another side tells nothing either way.
    if (!std::isfinite(i_other_error)) {
        return false;
    }
    io_track->noise_sum = NOISE_MEMORY * io_track->noise_sum + std::fmin(i_own_error, i_other_error);
    io_track->side_weight = NOISE_MEMORY * io_track->side_weight + 1.0;
    const double noise = std::fmax(io_track->noise_sum / io_track->side_weight, NOISE_FLOOR);
    const double evidence = std::fmin((i_own_error - i_other_error) / noise, FRAME_EVIDENCE);
    io_track->side_evidence = std::fmax(0.0, SIDE_MEMORY * io_track->side_evidence + evidence);
    return io_track->side_weight >= MIN_SIDE_WEIGHT && io_track->side_evidence > SWITCH_EVIDENCE;
}

}  // namespace VoTrack
