#pragma once

// What the fuzz entries share: the built-in camera and patterns, marker
// frames rendered through the built-in camera, a private folder for the
// files a target writes, a detector of the core run from start to pose, and
// the abort that reports a broken promise.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RenderCamera.h"
#include "VoARCode.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"
#include "markeye/Camera.h"
#include "markeye/Image.h"

namespace MarkeyeFuzz {

// Aborts, naming i_subject and the promise, unless i_kept: the fuzzer
// reports the abort as a finding.
void require(bool i_kept, const char* i_subject, const char* i_promise);

// Objects too costly to build for every input, kept by key for the inputs
// that follow. When full it forgets the oldest, so that keys read from the
// input cannot fill the memory.
template <class TKey, class TValue>
class FuzzCache
{
public:
    explicit FuzzCache(size_t i_capacity) : _capacity(i_capacity) {}

    // The value of i_key, made by i_make() (a std::unique_ptr<TValue>) when
    // missing; nothing is kept when i_make throws.
    template <class TMake>
    TValue& get(const TKey& i_key, TMake i_make)
    {
        const auto found = _values.find(i_key);
        if (found != _values.end()) {
            return *found->second;
        }
        std::unique_ptr<TValue> value = i_make();
        if (_values.size() >= _capacity) {
            _values.erase(_order.front());
            _order.pop_front();
        }
        _order.push_back(i_key);
        return *_values.emplace(i_key, std::move(value)).first->second;
    }

private:
    size_t _capacity;
    std::map<TKey, std::unique_ptr<TValue>> _values;
    // Keys, oldest first.
    std::deque<TKey> _order;
};

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
// The built-in camera rescaled to i_width x i_height, for the core.
std::unique_ptr<VoTrack::VoARParam> builtinCamera(int32_t i_width, int32_t i_height);
// The scene renderer's copy of a library camera.
Markeye::RenderCamera renderCamera(const markeye::Camera& i_camera);

// The 12 x size x size numbers of built-in marker i_marker (taken modulo the
// number of markers); i_size from 1 to 64. A size no pattern may have (not a
// power of two) gets as many mid-grey numbers, for readers that must refuse
// them. Cached.
const std::vector<int32_t>& patternNumbers(int32_t i_marker, int32_t i_size);
// A loaded pattern of those numbers.
std::unique_ptr<VoTrack::VoARCode> makePattern(int32_t i_marker, int32_t i_size);

// A frame (bytes blue, green, red, 255) of built-in marker 0 facing the
// built-in camera rescaled to that size, 400 units away. Cached per size.
const std::vector<uint8_t>& markerFrame(const TFrameSize& i_size);
// Such a frame as a packed BGRX view (borrowing i_bgrx).
markeye::ImageView packedView(const TFrameSize& i_size, const std::vector<uint8_t>& i_bgrx);

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
