#include "TrackOutput.h"

#include <algorithm>
#include <cmath>

#include "MarkerPose.h"

namespace CliTest {

namespace {

const std::string SUMMARY_START = "markeye track: ";

}  // namespace

std::string withoutSummary(const std::string& i_err)
{
    std::string kept;
    for (std::string::size_type at = 0; at < i_err.size();) {
        const std::string::size_type end = std::min(i_err.find('\n', at), i_err.size() - 1);
        const std::string line = i_err.substr(at, end + 1 - at);
        const bool summary = line.rfind(SUMMARY_START, 0) == 0 && line.find(" tracked") != std::string::npos;
        if (!summary) {
            kept += line;
        }
        at = end + 1;
    }
    return kept;
}

bool endsWithSummary(const std::string& i_err, int i_frames)
{
    if (i_err.empty() || i_err.back() != '\n') {
        return false;
    }
    const std::string::size_type last = i_err.rfind('\n', i_err.size() - 2);
    const std::string line = i_err.substr(last == std::string::npos ? 0 : last + 1);
    return line.rfind(SUMMARY_START + std::to_string(i_frames) + (i_frames == 1 ? " frame tracked" : " frames tracked"), 0) == 0 &&
           line.find("; per pattern:") != std::string::npos;
}

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
