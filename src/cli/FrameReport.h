#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Markeye {

// What the tracker made of one pattern in one frame: a marker found, or
// the pattern not found (a pattern found several times has one per copy).
struct TMarkerReport
{
    // Index in load order.
    int32_t pattern = 0;
    // The frame held a square the pattern could be matched with.
    bool selected = false;
    // A marker of the pattern at the least confidence or above.
    bool found = false;
    // 0.0 to 1.0: the marker's, or the pattern's best over the frame's
    // squares when not found; meaningful when selected.
    double confidence = 0.0;
    // 0 to 3; meaningful when found.
    int32_t direction = -1;
    // When found: marker vertices 0 to 3 in observed pixels (x right, y
    // down), vertex 0 the upright picture's top-left.
    std::array<std::array<double, 2>, 4> corners = {};
    // When found: marker-to-camera rotation (columns 0 to 2) and translation
    // (column 3), in the unit of the marker width.
    double pose[3][4] = {};
    // With temporal tracking, when found: the marker's track number, which
    // stays its own from frame to frame; else -1.
    int64_t track = -1;
};

// A board's pose in one frame (track --board).
struct TBoardReport
{
    std::string name;
    bool found = false;
    // The board's markers (their pattern numbers) the pose was fitted to,
    // and those seen but left out (misread or measured where the board
    // cannot put them).
    std::vector<int32_t> markers_used;
    std::vector<int32_t> dropped;
    // RMS over the corners used, in ideal pixels; meaningful when found.
    double reprojection_error = 0.0;
    // Board-to-camera rotation (columns 0 to 2) and translation (column 3),
    // in the board's unit; meaningful when found.
    double pose[3][4] = {};
};

// One line of the track command's output: a frame and what was found in it,
// or why it could not be read.
struct TFrameReport
{
    // The path, or the index in a raw stream or a video.
    std::string frame;
    // Seconds: the video's presentation time, else the frame's place in the
    // run over the frame rate.
    double time = 0.0;
    // Empty when the frame was read and tracked.
    std::string error;
    int32_t width = 0;
    int32_t height = 0;
    // Tracking time of this frame alone, in milliseconds.
    double elapsed_ms = 0.0;
    std::vector<TMarkerReport> markers;
    // With a board: its pose; "boards" is written only then.
    std::vector<TBoardReport> boards;

    // The JSON object, on one line without a line break:
    // {"frame": ..., "time": ..., "width": ..., "height": ..., "elapsed_ms": ...,
    // "markers": [...]} (then "boards": [...] with a board) or {"frame": ...,
    // "time": ..., "error": ...}.
    std::string toJson() const;
    // The time as reported: to the microsecond, finer than any frame rate
    // needs, and short.
    double reportedTime() const;
    // Only the markers found are kept.
    void keepFoundOnly();
};

}  // namespace Markeye
