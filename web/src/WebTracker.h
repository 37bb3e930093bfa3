#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "markeye/markeye.h"

namespace MarkeyeWeb {

// The tracker behind markeye.mjs's Tracker: the library's tracker set up
// step by step from JavaScript, one frame buffer in the module's memory that
// JavaScript fills, and the detections written as plain numbers for it to
// read. No call throws: C++ exceptions reach JavaScript only as numbers, so
// each refusal of the library is kept as lastError() and the call reports
// failure; markeye.mjs turns that into a JavaScript Error.
class WebTracker
{
public:
    // Numbers per detection in results(), in this order: pattern,
    // confidence, direction, corners (x0, y0 .. x3, y3), rotation row by
    // row (9), translation (3), reprojection error, pose ambiguity, track
    // number (-1 without temporal tracking; exact as a double below 2^53).
    static constexpr int32_t DETECTION_VALUES = 26;

    WebTracker() = default;

    // Set-up, before build(). Each returns false on a refusal of the library.
    // A pattern file's text; i_name names the pattern and the messages. A
    // grid of 0 x 0: told by the count of numbers.
    bool addPatternText(const std::string& i_text, const std::string& i_name, int32_t i_grid_width,
                        int32_t i_grid_height);
    // A marker's central picture, upright: i_rgba holds i_width x i_height
    // RGBA pixels, row by row. A grid of 0 x 0: Pattern::DEFAULT_GRID.
    bool addPatternPicture(const std::string& i_rgba, int32_t i_width, int32_t i_height, int32_t i_grid_width,
                           int32_t i_grid_height, const std::string& i_name);
    bool addBuiltinPatterns();
    // Built-in marker i_name (Pattern::builtinNames()).
    bool addBuiltinPattern(const std::string& i_name);
    // The 136 bytes of a camera file.
    bool setCameraBytes(const std::string& i_bytes);
    bool setCameraIntrinsics(int32_t i_width, int32_t i_height, double i_fx, double i_fy, double i_cx, double i_cy);
    void setOptions(const markeye::TrackerOptions& i_options) { _options = i_options; }
    // Builds the library's tracker; without a camera, with the built-in one
    // for 640 x 480 until the first frame, so that patterns and options are
    // checked now.
    bool build();

    // Address of a buffer for one RGBA frame of this size, packed rows. Made
    // anew only when the size changes.
    uintptr_t frameBuffer(int32_t i_width, int32_t i_height);
    // Tracks the frame in frameBuffer(i_width, i_height), shown at i_time
    // seconds (NaN: as the library's track() without a time): the count of
    // detections in results(), or -1 on a refusal.
    int32_t track(int32_t i_width, int32_t i_height, double i_time);
    // Temporal tracking forgets every marker (the library's resetTracks()).
    bool resetTracks();
    // Builds the buffers for frames of this size now, as track() would.
    bool prepare(int32_t i_width, int32_t i_height);
    // Address of the last frame's detections, DETECTION_VALUES doubles each.
    uintptr_t results() const { return reinterpret_cast<uintptr_t>(_results.data()); }
    // Address of the last frame's best confidence per pattern (doubles).
    uintptr_t bestConfidences() const;

    // The camera of the last frame, or the camera given before any frame;
    // null without either.
    const markeye::Camera* camera() const;
    const std::vector<markeye::Pattern>& patterns() const { return _patterns; }
    const markeye::TrackerOptions& options() const { return _options; }
    const std::string& lastError() const { return _last_error; }

private:
    // Runs i_step, keeping the library's message when it refuses.
    template <typename TStep>
    bool attempt(TStep&& i_step);
    // The library's tracker for frames of this size: made anew with the
    // built-in camera of that size when no camera was given and the last
    // one does not fit.
    markeye::Tracker& trackerFor(int32_t i_width, int32_t i_height);

    std::optional<markeye::Camera> _camera;
    std::vector<markeye::Pattern> _patterns;
    markeye::TrackerOptions _options;
    // Null until build() succeeds.
    std::unique_ptr<markeye::Tracker> _tracker;
    bool _tracked = false;
    std::vector<uint8_t> _frame;
    int32_t _frame_width = 0;
    int32_t _frame_height = 0;
    std::vector<double> _results;
    std::string _last_error;
};

}  // namespace MarkeyeWeb
