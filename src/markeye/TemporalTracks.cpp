#include "TemporalTracks.h"

#include <cmath>
#include <limits>
#include <utility>

namespace markeye {

namespace {

using VoTrack::VoARMarkerTracks;

VoTrack::VoARPoseFilter::TParameters filterParameters(const TemporalOptions& i_options)
{
    return {i_options.min_cutoff_hz, i_options.rotation_beta, i_options.translation_beta, i_options.depth_beta,
            i_options.derivative_cutoff_hz};
}

// The square's centre and mean side (ideal pixels), which place it for
// matching with a track.
void placeOf(const VoTrack::VoARSquare& i_square, double o_centre[2], double* o_side)
{
    o_centre[0] = 0.0;
    o_centre[1] = 0.0;
    *o_side = 0.0;
    for (int i = 0; i < 4; i++) {
        const double* here = i_square.ideal_vertices[i];
        const double* next = i_square.ideal_vertices[(i + 1) % 4];
        o_centre[0] += 0.25 * here[0];
        o_centre[1] += 0.25 * here[1];
        *o_side += 0.25 * std::hypot(next[0] - here[0], next[1] - here[1]);
    }
}

}  // namespace

TemporalTracks::TemporalTracks(const TrackerOptions& i_options, int32_t i_capacity)
    : _options(i_options.temporal),
      _marker_width(i_options.marker_width),
      _pose_solver(i_options.plugin_compatible ? PoseSolver::PLUGIN : i_options.pose_solver),
      _tracks(i_capacity, i_options.temporal.max_lost_frames, filterParameters(i_options.temporal),
              i_options.marker_width),
      _time(0.0),
      _started(false),
      _width(0),
      _height(0)
{
}

void TemporalTracks::beginFrame(double i_time, const TFrameSetup& i_setup)
{
    const double time = std::isnan(i_time) ? (_started ? _time + 1.0 / _options.frame_rate : 0.0) : i_time;
    if (_started && (!(time > _time) || !i_setup.isFor(_width, _height))) {
        _tracks.clear();
    }
    _time = time;
    _started = true;
    _width = i_setup.camera.width();
    _height = i_setup.camera.height();
    _tracks.beginFrame();
}

bool TemporalTracks::solve(TFrameSetup& io_setup, const VoTrack::VoARSquare& i_square, int32_t i_pattern,
                           int32_t i_direction, VoTrack::VoARSingleDetectMarker* io_detector, TPose* o_pose)
{
    double centre[2];
    double side;
    placeOf(i_square, centre, &side);
    VoARMarkerTracks::TTrack* track = _tracks.match(i_pattern, centre, side);
    if (track == nullptr) {
        // No room for another track: the marker is reported as measured.
        VoARMarkerTracks::TTrack untracked = VoARMarkerTracks::TTrack{
            -1,   i_pattern, -1, _time, {0.0, 0.0}, 0.0, 0, true, VoTrack::VoARTransMatResult(),
            {0.0, 0.0, 0.0}, VoTrack::VoARPoseFilter(filterParameters(_options), _marker_width),
            0.0,  0.0,       0.0};
        return measure(io_setup, i_square, i_direction, io_detector, &untracked, o_pose);
    }
    const double elapsed = _time - track->time;
    if (!measure(io_setup, i_square, i_direction, io_detector, track, o_pose)) {
        return false;
    }
    track->direction = i_direction;
    track->time = _time;
    track->measured = o_pose->pose;
    o_pose->track_id = track->id;
    if (_options.filter) {
        track->filter.filter(o_pose->pose, elapsed, &o_pose->pose);
    }
    return true;
}

bool TemporalTracks::measure(TFrameSetup& io_setup, const VoTrack::VoARSquare& i_square, int32_t i_direction,
                             VoTrack::VoARSingleDetectMarker* io_detector, VoARMarkerTracks::TTrack* io_track,
                             TPose* o_pose) const
{
    // A marker turned by a quarter between frames (or misread) has other
    // vertices: its last pose is no start.
    const bool continued = io_track->measured.has_value && io_track->direction == i_direction;
    if (!continued) {
        io_track->filter.reset();
    }
    o_pose->track_id = -1;
    o_pose->ambiguity = std::numeric_limits<double>::quiet_NaN();
    o_pose->pose.has_value = false;
    if (continued) {
        o_pose->pose = io_track->measured;
    }
    if (io_detector != nullptr) {
        io_detector->setContinueMode(continued);
        io_detector->getPose(&o_pose->pose);
        return true;
    }
    if (_pose_solver == PoseSolver::PLUGIN) {
        io_setup.pose->computePoseContinued(&i_square, i_direction, _marker_width, &o_pose->pose);
        return true;
    }
    double corners[4][2];
    for (int i = 0; i < 4; i++) {
        const double* ideal = i_square.ideal_vertices[(i + 4 - i_direction) % 4];
        corners[i][0] = ideal[0];
        corners[i][1] = ideal[1];
    }
    return measurePlanar(*io_setup.planar_pose, corners, continued, io_track, o_pose);
}

bool TemporalTracks::measurePlanar(const VoTrack::VoARPlanarPose& i_solver, const double i_corners[4][2],
                                   bool i_continue, VoARMarkerTracks::TTrack* io_track, TPose* o_pose) const
{
    double error = 0.0;
    double tilt[3];
    if (!i_continue) {
        if (!i_solver.solve(i_corners, _marker_width, &o_pose->pose, &error, &o_pose->ambiguity)) {
            return false;
        }
        VoTrack::VoARPlanarPose::tiltOf(o_pose->pose, tilt);
        VoARMarkerTracks::startSide(tilt, io_track);
        return true;
    }
    VoTrack::VoARTransMatResult other;
    double other_error = 0.0;
    if (!i_solver.solveContinued(i_corners, _marker_width, io_track->measured, io_track->lean, &o_pose->pose, &error,
                                 &other, &other_error, tilt)) {
        return false;
    }
    VoARMarkerTracks::addLean(tilt, io_track);
    if (VoARMarkerTracks::prefersOtherSide(error * error, other_error * other_error, io_track)) {
        o_pose->pose = other;
        std::swap(error, other_error);
        VoTrack::VoARPlanarPose::tiltOf(other, tilt);
        VoARMarkerTracks::restartSide(tilt, io_track);
        // The pose jumps to the other side: smoothing across would drag.
        io_track->filter.reset();
    }
    o_pose->ambiguity = other_error > error ? error / other_error : 1.0;
    return true;
}

void TemporalTracks::endFrame()
{
    _tracks.endFrame();
}

void TemporalTracks::reset()
{
    _tracks.clear();
}

}  // namespace markeye
