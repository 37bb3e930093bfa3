#pragma once

#include <cstdint>
#include <vector>

#include "VoARPoseFilter.h"
#include "VoARTransMatResult.h"

namespace VoTrack {

// The markers followed through a sequence of frames: each track is one
// marker, with a number that stays its own while it is seen (and for a few
// frames it is not), where it was last seen, its last measured pose (the
// start of the next frame's), its pose filter, and how well the other side
// of the planar ambiguity has fitted its recent frames against the side it
// follows. Built once with room for a fixed number of tracks; a frame's
// calls allocate nothing.
class VoARMarkerTracks
{
public:
    // A track moves to the other side of the ambiguity when the other
    // side's squared reprojection errors, summed over the recent frames
    // (each frame's weight decaying by SIDE_MEMORY per frame), are below
    // those of its own side by this factor; the evidence of one frame is
    // noisy (two poses of a small, squarely facing marker fit about alike),
    // that of some twenty is not.
    static constexpr double SIDE_SWITCH_RATIO = 2.0;
    static constexpr double SIDE_MEMORY = 0.95;
    // ...and the frames summed weigh at least this much: the side of a new
    // track is the one its first frames fit best.
    static constexpr double MIN_SIDE_WEIGHT = 3.0;
    // A marker belongs to a track of its pattern when its centre lies within
    // this many of its sides (pixels across) of the track's last centre, the
    // reach growing by as much again for each frame the track went unseen.
    static constexpr double GATE_SIDES = 1.0;

    struct TTrack
    {
        // Numbered from 0 in the order tracks begin, never reused.
        int64_t id;
        int32_t pattern;
        // Its marker's last direction (-1 in a new track), and when it was
        // last seen (seconds): both kept up by the track's user.
        int32_t direction;
        double time;
        // Where the marker was last seen: its square's centre and side
        // (pixels).
        double centre[2];
        double side;
        // Frames since it was last seen (0 once seen in this frame).
        int32_t unseen;
        bool seen_this_frame;
        // The last measured pose, before the filter, and the last that
        // leaned across its viewing ray (VoARPlanarPose::leans), whose side
        // of the ambiguity the track keeps.
        VoARTransMatResult measured;
        VoARTransMatResult kept_side;
        VoARPoseFilter filter;
        // The decayed sums of the squared reprojection errors of the side
        // followed and of the other side, and of the frames' weights.
        double own_side_sum;
        double other_side_sum;
        double side_weight;
    };

    // Room for i_capacity tracks at once; a track is dropped once unseen for
    // more than i_max_unseen frames. Each track's filter gets i_filter.
    VoARMarkerTracks(int32_t i_capacity, int32_t i_max_unseen, const VoARPoseFilter::TParameters& i_filter,
                     double i_marker_width);

    // Starts a frame: no track is seen yet.
    void beginFrame();
    // The track of a marker of i_pattern whose square has its centre at
    // i_centre and side i_side (pixels): the nearest track of the pattern
    // not yet seen in this frame whose reach holds it, else a new one (its
    // measured pose without a value, its filter reset); null when every
    // place is taken. The track is marked seen, at the new place.
    TTrack* match(int32_t i_pattern, const double i_centre[2], double i_side);
    // Ends a frame: tracks not seen in it age by a frame, and those unseen
    // for too long are dropped.
    void endFrame();
    // Forgets every track (a new sequence); numbering goes on.
    void clear();

    // Adds a frame's squared errors of the side followed and of the other
    // side to the track's evidence (nothing when the other is infinite: the
    // frame had none); true when the other side now fits clearly better, in
    // which case the track takes it (the sums change places).
    static bool prefersOtherSide(double i_own_error, double i_other_error, TTrack* io_track);

private:
    std::vector<TTrack> _tracks;
    // Tracks in use are _tracks[0.._count).
    int32_t _count;
    int32_t _max_unseen;
    int64_t _next_id;
};

}  // namespace VoTrack
