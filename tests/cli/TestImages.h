#pragma once

// Frames for the end-to-end tests: built-in markers rendered at known poses
// through the built-in camera, and picture files written by the tests'
// own encoders (independent of the program's readers).

#include <cstdint>
#include <string>
#include <vector>

#include "MarkerPicture.h"
#include "TMarkerTruth.h"
#include "VoARDoubleMatrix34.h"

namespace CliTest {

constexpr int32_t FRAME_WIDTH = 640;
constexpr int32_t FRAME_HEIGHT = 480;
constexpr double MARKER_WIDTH = 80.0;

// 32-bit pixels: blue, green, red, unused; rows without padding.
struct TFrame
{
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bgra;
    // One record per placed marker, in order.
    std::vector<Markeye::TMarkerTruth> truth;
};

struct TPlacedMarker
{
    // Borrowed; must outlive the render call.
    const Markeye::MarkerPicture* picture;
    VoTrack::VoARDoubleMatrix34 pose;
};

// Markers 80 units wide on a plain light background through the built-in
// camera (640 x 480, focal length 700 pixels).
TFrame renderFrame(const std::vector<TPlacedMarker>& i_markers);

// A PNG of 8-bit RGB pixels, written with uncompressed deflate blocks.
std::string encodePng(const TFrame& i_frame);
// A binary PPM (P6).
std::string encodePpm(const TFrame& i_frame);
// The frame's bytes as they are (a raw BGRA stream frame).
std::string rawBytes(const TFrame& i_frame);
// A picture upscaled by a whole factor: each pixel a block.
TFrame pictureFrame(const Markeye::MarkerPicture& i_picture, int32_t i_scale);

// A PNG's size from its header chunk, and its pixels per metre from its
// physical-size chunk (0 without one).
struct TPngFacts
{
    uint32_t width;
    uint32_t height;
    uint32_t pixels_per_metre;
};

TPngFacts pngFacts(const std::string& i_bytes);

// A JPEG of 24 x 16 pixels, all of the colour red 200, green 120, blue 40.
std::string smallJpeg();

}  // namespace CliTest
