#pragma once

// What the fuzz entries share: the built-in camera and patterns, marker
// frames rendered through the built-in camera, a private folder for the
// files a target writes, and a detector run from start to pose.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VoARCode.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"

namespace MarkeyeFuzz {

// Marker edge length and binarisation threshold the plug-in uses.
constexpr double MARKER_WIDTH = 80.0;
constexpr int32_t THRESHOLD = 100;

struct TFrameSize
{
    int32_t width;
    int32_t height;
};

// Frame sizes the targets pick from: the camera's own, smaller rescales and
// frames too small to hold a marker or even a border.
const std::vector<TFrameSize>& frameSizes();
TFrameSize pickFrameSize(uint8_t i_choice);
// A choice among the sizes of at most 160 x 120 pixels, for targets whose
// subject is not the frame: each detector they build costs its frame size.
TFrameSize pickSmallFrameSize(uint8_t i_choice);

// The 136 bytes of the built-in camera file.
const std::vector<uint8_t>& builtinCameraBytes();
// The built-in camera rescaled to i_width x i_height.
std::unique_ptr<VoTrack::VoARParam> builtinCamera(int32_t i_width, int32_t i_height);

// The 12 x size x size numbers of built-in marker i_marker (taken modulo the
// number of markers); i_size from 1 to 64. Cached.
const std::vector<int32_t>& patternNumbers(int32_t i_marker, int32_t i_size);
// A loaded pattern of those numbers.
std::unique_ptr<VoTrack::VoARCode> makePattern(int32_t i_marker, int32_t i_size);

// A frame (bytes blue, green, red, 255) of built-in marker 0 facing the
// built-in camera rescaled to that size, 400 units away. Cached per size.
const std::vector<uint8_t>& markerFrame(const TFrameSize& i_size);

// Writes a file in this process's own temporary folder (removed at exit)
// and returns its path.
std::string writeTempFile(const std::string& i_name, const std::vector<uint8_t>& i_bytes);
std::string tempPath(const std::string& i_name);

// Builds a detector for the pattern on the camera, runs it on the raster and
// asks for the pose whatever the confidence, in both pose modes. A
// VoARException anywhere counts as an ordinary refusal; false then.
bool detectAndPose(const VoTrack::VoARParam& i_param, std::unique_ptr<VoTrack::VoARCode> i_code,
                   const VoTrack::VoARRgbRaster_BGRA& i_raster, int32_t i_threshold);

}  // namespace MarkeyeFuzz
