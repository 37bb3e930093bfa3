#pragma once

#include <cstdint>

#include "FrameSetup.h"
#include "VoARMarkerTracks.h"
#include "VoARSquare.h"
#include "VoARTransMatResult.h"
#include "markeye/Tracker.h"

namespace markeye {

// Temporal tracking for a tracker: the frame's time, the markers' tracks,
// and each found marker's pose continued from its track's last one, kept to
// the side of the planar ambiguity the track's recent frames fit best, and
// filtered. Built once with room for every square a frame can hold; a
// frame's calls allocate nothing.
class TemporalTracks
{
public:
    // What a found marker's track makes of it.
    struct TPose
    {
        // The pose to report (filtered unless the filter is off).
        VoTrack::VoARTransMatResult pose;
        // As Detection::pose_ambiguity.
        double ambiguity;
        int64_t track_id;
    };

    TemporalTracks(const TrackerOptions& i_options, int32_t i_capacity);

    // Starts a frame of i_setup shown at i_time seconds (NaN: one frame
    // period after the last). A time not after the last, or another frame
    // size than the last frame's, starts a new sequence.
    void beginFrame(double i_time, const TFrameSetup& i_setup);
    // The pose of i_square, found showing i_pattern in i_direction: for the
    // plug-in's way, from io_detector (the pattern's, whose square it is),
    // else from io_setup's solver. false when no pose is found.
    bool solve(TFrameSetup& io_setup, const VoTrack::VoARSquare& i_square, int32_t i_pattern, int32_t i_direction,
               VoTrack::VoARSingleDetectMarker* io_detector, TPose* o_pose);
    // Ends the frame: markers not found in it age, and are forgotten after
    // max_lost_frames.
    void endFrame();
    // Forgets every marker.
    void reset();

private:
    // The measured pose from the solver, continued from io_track's when it
    // has one of the same direction; false when none is found.
    bool measure(TFrameSetup& io_setup, const VoTrack::VoARSquare& i_square, int32_t i_direction,
                 VoTrack::VoARSingleDetectMarker* io_detector, VoTrack::VoARMarkerTracks::TTrack* io_track,
                 TPose* o_pose) const;
    // The planar solver's pose: continued, or moved to the other side of the
    // ambiguity when the track's frames fit it clearly better (which restarts
    // the filter), or fresh for a track without a pose to continue from.
    bool measurePlanar(const VoTrack::VoARPlanarPose& i_solver, const double i_corners[4][2], bool i_continue,
                       VoTrack::VoARMarkerTracks::TTrack* io_track, TPose* o_pose) const;

    TemporalOptions _options;
    double _marker_width;
    PoseSolver _pose_solver;
    VoTrack::VoARMarkerTracks _tracks;
    // The current frame's time and size; no time before the first frame.
    double _time;
    bool _started;
    int32_t _width;
    int32_t _height;
};

}  // namespace markeye
