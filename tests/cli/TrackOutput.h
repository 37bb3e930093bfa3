#pragma once

// Reading the track command's JSON against the ground truth of a rendered
// frame.

#include <string>

#include "TMarkerTruth.h"
#include "TestJson.h"
#include "VoARDoubleMatrix34.h"

namespace CliTest {

// Built-in markers the track command loads when given no pattern.
constexpr int BUILTIN_COUNT = 8;
// What the tracker reaches on clean frames with markers 110 to 130 pixels
// across: corners within 1.5 pixels, rotation within 2 degrees, translation
// within 2 % of the distance.
constexpr double CORNER_TOLERANCE_PX = 1.5;
constexpr double ROTATION_TOLERANCE_DEG = 2.0;
constexpr double TRANSLATION_TOLERANCE = 0.02;

// The "pose" member of a marker object.
VoTrack::VoARDoubleMatrix34 poseOf(const TJson& i_marker);
// Largest distance in pixels between a marker's "corners" (in marker order)
// and the rendered vertices where they appear in the frame.
double worstCornerError(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth);
// Standard error of a track run less the summary at its end (the line
// "markeye track: ... frames tracked ..." or "... no frame tracked ..."):
// the messages alone.
std::string withoutSummary(const std::string& i_err);
// Whether standard error ends with the one-line summary of a run of
// i_frames frames tracked.
bool endsWithSummary(const std::string& i_err, int i_frames);

// Angle in degrees between the reported and the rendered rotation.
double rotationErrorDeg(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth);
// Distance between reported and rendered translation, as a fraction of the
// rendered distance.
double translationError(const TJson& i_marker, const Markeye::TMarkerTruth& i_truth);

}  // namespace CliTest
