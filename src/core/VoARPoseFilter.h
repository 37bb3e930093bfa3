#pragma once

#include "VoARDoubleMatrix34.h"

namespace VoTrack {

// Smooths one marker's pose from frame to frame without lagging its motion:
// a one-euro filter (an exponential low-pass whose cutoff frequency rises
// with the speed, so that a still marker is smoothed strongly and a moving
// one is followed closely). Each component is filtered with its own speed:
// the translation's three camera-frame components, and the rotation's three
// components (camera frame) of the turn from the smoothed rotation to the
// measured one, applied as a rotation. Noise differs much between them (the
// distance and the tilt of a small marker are far noisier than its place on
// the screen and its roll), so one noisy component does not open the filter
// for the others. Holds a few numbers: built once per marker, it allocates
// nothing.
class VoARPoseFilter
{
public:
    struct TParameters
    {
        // Cutoff frequency (Hz) of a component at rest.
        double min_cutoff_hz;
        // Added to the cutoff (Hz) per radian per second of a rotation
        // component's speed.
        double rotation_beta;
        // Added to the cutoff (Hz) per marker width per second of the speed
        // of the translation's x or y component (across the image)...
        double translation_beta;
        // ...and per unit of the relative speed (1/s) of its z component, the
        // distance: far noisier (a square's size tells its distance less
        // surely than its place tells where it is across), and measured
        // relative to the distance so that its noise, like that across in
        // marker widths, is against the marker's apparent size and grows
        // alike with the distance.
        double depth_beta;
        // Cutoff frequency (Hz) of the low-pass on the speeds themselves.
        double derivative_cutoff_hz;
    };

    // i_marker_width: the marker's side in the translation's unit, which
    // makes the translation's speeds independent of that unit.
    VoARPoseFilter(const TParameters& i_parameters, double i_marker_width);

    // The next pose passes through unchanged and starts the smoothing anew.
    void reset() { _primed = false; }
    // Smooths i_pose (columns 0 to 2 a rotation, column 3 the translation),
    // measured i_dt seconds after the last one, into o_pose (which may be
    // i_pose). A first pose, or one with i_dt not positive, passes through.
    void filter(const VoARDoubleMatrix34& i_pose, double i_dt, VoARDoubleMatrix34* o_pose);

private:
    // One component's speed (its unit per second): low-passed, and the
    // envelope of its size that the cutoff goes by.
    struct TSpeed
    {
        double filtered;
        double envelope;
    };

    // The share of the way from the smoothed value to the measured one that
    // a low-pass of cutoff i_cutoff_hz moves in i_dt seconds.
    static double smoothing(double i_cutoff_hz, double i_dt);
    // One component: its speed io_speed updated from i_change over i_dt,
    // then the share of i_change to take.
    double step(double i_change, double i_beta, double i_dt, TSpeed* io_speed) const;
    void store(VoARDoubleMatrix34* o_pose) const;

    TParameters _parameters;
    double _marker_width;
    bool _primed;
    double _rotation[3][3];
    double _translation[3];
    TSpeed _rotation_speed[3];
    TSpeed _translation_speed[3];
};

}  // namespace VoTrack
