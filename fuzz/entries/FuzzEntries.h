#pragma once

// The fuzz targets' bodies, one per entry point of the tracker that reads
// outside data. Each takes one input of any length and runs it through the
// code under test; it returns normally unless the code crashes, corrupts
// memory or breaks a promise (then it aborts). The libFuzzer targets and the
// regression test both call these.

#include <cstddef>
#include <cstdint>

namespace MarkeyeFuzz {

// The camera parameter file and its 136-element list form, through the
// plug-in's `new` (file name or list) and through the core's reader with the
// host-order flag set; then a pattern, a frame and a pose on that camera.
void fuzzCamera(const uint8_t* i_data, size_t i_size);
// The pattern file reader and the list form with arbitrary grid sizes,
// through the core and through the plug-in's loading methods.
void fuzzPattern(const uint8_t* i_data, size_t i_size);
// One frame through the whole detector: arbitrary or structured pixels
// (quadrilaterals, checkerboards, noise, rendered markers) at one of the
// camera's sizes, with any threshold.
void fuzzFrame(const uint8_t* i_data, size_t i_size);
// The plug-in through the emulated host: a sequence of method calls with
// arbitrary indices, argument counts and argument values.
void fuzzXtra(const uint8_t* i_data, size_t i_size);

// Focused entries, each doing the least work that reaches its code:
// the library's camera reader and rescaling, from fuzzCamera's input.
void fuzzCameraFile(const uint8_t* i_data, size_t i_size);
// The library's pattern readers, from fuzzPattern's input.
void fuzzPatternFile(const uint8_t* i_data, size_t i_size);
// Board files (JSON) and their patterns.
void fuzzBoard(const uint8_t* i_data, size_t i_size);
// The PNG, JPEG and Netpbm decoders from memory.
void fuzzImage(const uint8_t* i_data, size_t i_size);
// The video reader from memory (with FFmpeg only).
void fuzzVideo(const uint8_t* i_data, size_t i_size);
// One frame of at most 160 x 120 pixels, packed, in one mode, with trackers
// kept for a few settings and no rendering.
void fuzzFrameLean(const uint8_t* i_data, size_t i_size);
// The plug-in's call sequences with frames of at most 4 096 pixels.
void fuzzXtraLean(const uint8_t* i_data, size_t i_size);
// The library's API: a tracker from any camera, patterns and options, then
// frames of changing sizes, formats and strides.
void fuzzLibrary(const uint8_t* i_data, size_t i_size);

struct TFuzzEntry
{
    const char* name;
    void (*run)(const uint8_t* i_data, size_t i_size);
};

// Every entry, by the name its target, seed folder and regression folder use.
constexpr TFuzzEntry FUZZ_ENTRIES[] = {
    {"camera", fuzzCamera},
    {"pattern", fuzzPattern},
    {"frame", fuzzFrame},
    {"xtra", fuzzXtra},
    {"camera_file", fuzzCameraFile},
    {"pattern_file", fuzzPatternFile},
    {"board", fuzzBoard},
    {"image", fuzzImage},
#ifdef MARKEYE_FUZZ_VIDEO
    {"video", fuzzVideo},
#endif
    {"frame_lean", fuzzFrameLean},
    {"xtra_lean", fuzzXtraLean},
    {"library", fuzzLibrary},
};

}  // namespace MarkeyeFuzz
