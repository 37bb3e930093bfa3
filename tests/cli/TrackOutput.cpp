#include "TrackOutput.h"

#include <algorithm>
#include <cmath>

#include "MarkerPose.h"

namespace CliTest {

VoTrack::VoARDoubleMatrix34 poseOf(const TJson& i_marker)
{
    double values[12];
    for (size_t row = 0; row < 3; row++) {
        for (size_t column = 0; column < 4; column++) {
            values[4 * row + column] = i_marker["pose"][row][column].number;
        }
    }
    VoTrack::VoARDoubleMatrix34 pose;
    pose.setValue(values);
    return pose;
}

double worstCornerError(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth)
{
    double worst = 0.0;
    for (size_t i = 0; i < 4; i++) {
        const TJson& corner = i_marker["corners"][i];
        worst = std::max(worst, std::hypot(corner[0].number - i_truth.observed_corners[i].x,
                                           corner[1].number - i_truth.observed_corners[i].y));
    }
    return worst;
}

double rotationErrorDeg(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth)
{
    return Markeye::MarkerPose::rotationDifferenceDeg(poseOf(i_marker), i_truth.pose);
}

double translationError(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth)
{
    const VoTrack::VoARDoubleMatrix34 pose = poseOf(i_marker);
    return std::hypot(pose.m03 - i_truth.pose.m03, pose.m13 - i_truth.pose.m13, pose.m23 - i_truth.pose.m23) /
           i_truth.pose.m23;
}

}  // namespace CliTest
