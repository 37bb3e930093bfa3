#pragma once

// The frames and patterns every benchmark runs on: three scenes rendered by
// the scene renderer at any frame size, and ten distinct 16 x 16 patterns.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DetectionScene.h"
#include "VoARCode.h"
#include "VoARParam.h"

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
// them, so no two patterns match the same marker. The numbers are those of a
// pattern file.
std::vector<int32_t> patternNumbers(int32_t i_index);
std::unique_ptr<VoTrack::VoARCode> makeCode(int32_t i_index);

// A frame of the scene through the built-in camera rescaled to i_size. The
// markers take the same share of the frame at every size; the one-marker
// scene shows pattern 0.
class BenchFrame
{
public:
    BenchFrame(TBenchScene i_scene, const TFrameSize& i_size);

    const VoTrack::VoARParam& param() const { return *_param; }
    const VoTrack::VoARRgbRaster_BGRA& raster() const { return _scene->raster(); }
    // The frame's bytes: blue, green, red, 255 per pixel.
    const uint8_t* bytes() { return _scene->renderer().getFrame(); }
    int32_t width() const { return _size.width; }
    int32_t height() const { return _size.height; }
    int64_t pixels() const { return static_cast<int64_t>(_size.width) * _size.height; }

private:
    TFrameSize _size;
    std::unique_ptr<VoTrack::VoARParam> _param;
    std::unique_ptr<MarkeyeTest::DetectionScene> _scene;
};

}  // namespace MarkeyeBench
