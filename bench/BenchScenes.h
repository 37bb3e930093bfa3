#pragma once

// The frames and patterns every benchmark runs on: three scenes rendered by
// the scene renderer at any frame size, and ten distinct 16 x 16 patterns.
// The core and plug-in paths take them as core objects; the library paths as
// markeye::Camera, markeye::Pattern and markeye::ImageView.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DetectionScene.h"
#include "VoARCode.h"
#include "VoARParam.h"
#include "markeye/Camera.h"
#include "markeye/Image.h"
#include "markeye/Pattern.h"

namespace MarkeyeBench {

enum class TBenchScene
{
    ONE_MARKER,
    FOUR_MARKERS_AND_CLUTTER,
    NO_MARKER,
};

struct TFrameSize
{
    int32_t width;
    int32_t height;
};

// The sizes and scenes of the tables, in table order.
const std::vector<TFrameSize>& benchSizes();
const std::vector<TBenchScene>& benchScenes();
// Pattern counts loaded for the end-to-end runs.
const std::vector<int32_t>& benchPatternCounts();

// "one", "four" or "none"; "640x480".
const char* sceneName(TBenchScene i_scene);
std::string sizeName(const TFrameSize& i_size);

// Most patterns a benchmark loads.
constexpr int32_t MAX_PATTERNS = 10;

// Pattern i (0 to 9): the built-in markers, then mirrored copies of two of
// them, so no two patterns match the same marker.
markeye::Pattern benchPattern(int32_t i_index);
// The same pattern as a pattern file's numbers, and loaded into the core.
std::vector<int32_t> patternNumbers(int32_t i_index);
std::unique_ptr<VoTrack::VoARCode> makeCode(int32_t i_index);

// The patterns whose markers the scene shows, in drawing order.
std::vector<int32_t> shownPatterns(TBenchScene i_scene);

// A frame of the scene through the built-in camera file rescaled to i_size
// (as the plug-in's new rescales it: by the widths' ratio). The markers take
// the same share of the frame at every size.
class BenchFrame
{
public:
    BenchFrame(TBenchScene i_scene, const TFrameSize& i_size);

    const VoTrack::VoARParam& param() const { return *_param; }
    const VoTrack::VoARRgbRaster_BGRA& raster() const { return _scene->raster(); }
    // The frame's bytes: blue, green, red, 255 per pixel.
    const uint8_t* bytes() const { return _scene->renderer().getFrame(); }
    // The same bytes as a packed BGRX view.
    markeye::ImageView view() const;
    // The library's camera for frames of this size, markeye::Camera::builtin:
    // the rendering camera at 320 x 240 and 640 x 480. At 1280 x 720 its
    // principal point is the frame's centre (y 360), 120 px above the
    // rendering camera's (the library does not rescale a 4:3 camera to 16:9);
    // without lens distortion that moves the poses, not the squares or the
    // cost.
    markeye::Camera camera() const;
    int32_t width() const { return _size.width; }
    int32_t height() const { return _size.height; }
    int64_t pixels() const { return static_cast<int64_t>(_size.width) * _size.height; }

private:
    TFrameSize _size;
    std::unique_ptr<VoTrack::VoARParam> _param;
    std::unique_ptr<MarkeyeTest::DetectionScene> _scene;
};

}  // namespace MarkeyeBench
