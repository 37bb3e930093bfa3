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
    // A track moves to the other side of the ambiguity on the evidence of
    // its recent frames: each frame adds the amount by which the side
    // followed fits worse than the other (the difference of their squared
    // reprojection errors, in units of the track's usual squared error),
    // the sum decaying by SIDE_MEMORY per frame and never below 0, and the
    // track moves once the sum passes SWITCH_EVIDENCE. A marker facing the
    // camera nearly squarely gives each side now and then a frame that fits
    // it better by chance, seldom several in a row; a pose on the wrong side
    // fits worse frame after frame, by more the more the marker leans. One
    // frame counts at most FRAME_EVIDENCE: a corner misplaced once (a
    // reflection, a blurred frame) would otherwise turn the pose over alone.
    static constexpr double SIDE_MEMORY = 0.9;
    static constexpr double SWITCH_EVIDENCE = 20.0;
    static constexpr double FRAME_EVIDENCE = 6.0;
    // The track's usual squared error: the better side's, averaged over its
    // frames (decaying by NOISE_MEMORY per frame), never taken below
    // NOISE_FLOOR squared pixels (noise-free frames would make any
    // difference count).
    static constexpr double NOISE_MEMORY = 0.95;
    static constexpr double NOISE_FLOOR = 0.02 * 0.02;
    // No evidence counts before the frames summed weigh this much: the side
    // of a new track is the one its first frames fit best.
    static constexpr double MIN_SIDE_WEIGHT = 3.0;
    // The side a track keeps is the way its poses' normals lean across their
    // viewing rays, averaged over its frames (each frame's weight decaying
    // by LEAN_MEMORY per frame): one frame whose noise turns the pose over
    // does not move it, a marker turning through facing the camera does.
    static constexpr double LEAN_MEMORY = 0.85;
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
        // The last measured pose, before the filter.
        VoARTransMatResult measured;
        // The averaged lean (VoARPlanarPose::tiltOf), whose side of the
        // ambiguity the track keeps.
        double lean[3];
        VoARPoseFilter filter;
        // The evidence for the other side, the decayed sums of the better
        // side's squared errors and of the frames' weights.
        double side_evidence;
        double noise_sum;
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

    // A track's side, its evidence and its usual error start from a pose
    // whose tilt is i_tilt (a new track, or another direction).
    static void startSide(const double i_tilt[3], TTrack* io_track);
    // Its side and evidence start again from a pose on the other side whose
    // tilt is i_tilt; the usual error is the marker's, and stays.
    static void restartSide(const double i_tilt[3], TTrack* io_track);
    // Adds the tilt of a pose refined from the track's last one to its lean.
    static void addLean(const double i_tilt[3], TTrack* io_track);
    // Adds a frame's squared errors of the side followed and of the other
    // side to the track's evidence (nothing when the other is infinite: the
    // frame had none); true when the other side now fits clearly better, in
    // which case the track should take it (restartSide).
    static bool prefersOtherSide(double i_own_error, double i_other_error, TTrack* io_track);

private:
    std::vector<TTrack> _tracks;
    // Tracks in use are _tracks[0.._count).
    int32_t _count;
    int32_t _max_unseen;
    int64_t _next_id;
};

}  // namespace VoTrack
