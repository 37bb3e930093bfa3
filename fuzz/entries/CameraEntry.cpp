// Fuzz entry: camera parameter files and their list form.
//
// Input: one byte choosing the form, one byte choosing the frame size, then
// the camera bytes (136 for a whole file; any length is tried). Whatever the
// form, the bytes are also read by markeye::Camera::fromBytes, and a camera
// it takes tracks a frame through the library.

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "FuzzTracking.h"
#include "FuzzXtra.h"
#include "VoARException.h"
#include "markeye/Camera.h"
#include "markeye/Error.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"

using Moa::TMoaValue;

namespace MarkeyeFuzz {

namespace {

enum CameraForm : uint8_t {
    // The plug-in's `new` with a file name.
    FORM_FILE = 0,
    // `new` with a list of one element per byte.
    FORM_BYTE_LIST = 1,
    // `new` with a list of 32-bit elements of any value (only the low 8
    // bits count), four input bytes each.
    FORM_WIDE_LIST = 2,
    // The core's reader with the host-order flag set: no byte swapping.
    FORM_HOST_ORDER_FILE = 3,
    FORM_COUNT = 4,
};

std::vector<int32_t> wideElements(const std::vector<uint8_t>& i_bytes)
{
    std::vector<int32_t> elements;
    FuzzInput in(i_bytes.data(), i_bytes.size());
    while (!in.empty()) {
        elements.push_back(in.i32());
    }
    return elements;
}

TMoaValue cameraArgument(FuzzXtra& io_xtra, CameraForm i_form, const std::vector<uint8_t>& i_camera)
{
    MarkeyeHost::HostValueStore& values = io_xtra.values();
    switch (i_form) {
    case FORM_FILE:
        return values.makeString(writeTempFile("camera.dat", i_camera));
    case FORM_BYTE_LIST:
        return values.makeIntegerList(std::vector<int32_t>(i_camera.begin(), i_camera.end()));
    default:
        return values.makeIntegerList(wideElements(i_camera));
    }
}

// new, one pattern, both detection methods on a marker frame of that size.
void runPlugin(CameraForm i_form, const TFrameSize& i_frame, const std::vector<uint8_t>& i_camera)
{
    FuzzXtra xtra;
    MarkeyeHost::HostValueStore& values = xtra.values();
    xtra.call(METHOD_NEW, {cameraArgument(xtra, i_form, i_camera), values.makeInteger(i_frame.width),
                           values.makeInteger(i_frame.height)});
    xtra.call(METHOD_LOAD_PATTERN_LIST, {values.makeIntegerList(patternNumbers(0, 16))});
    const TMoaValue frame = xtra.frameImage(i_frame, markerFrame(i_frame));
    xtra.call(METHOD_DETECT_MARKERS, {frame});
    xtra.call(METHOD_DETECT_SINGLE, {frame});
}

void runCore(const TFrameSize& i_frame, const std::vector<uint8_t>& i_camera)
{
    VoTrack::VoARParam param;
    param.setFileInHostOrder(1);
    try {
        param.loadFromFile(writeTempFile("camera.dat", i_camera).c_str());
        param.changeScreenSize(i_frame.width, i_frame.height);
    } catch (const VoTrack::VoARException&) {
        return;
    }
    std::vector<uint8_t> pixels = markerFrame(i_frame);
    const VoTrack::VoARRgbRaster_BGRA raster(pixels.data(), i_frame.width, i_frame.height);
    detectAndPose(param, makePattern(0, 16), raster, THRESHOLD);
}

// Largest camera the library path builds a tracker for at its own size, in
// pixels: a tracker's tables cost its frame size, and larger ones only cost
// time here.
constexpr int64_t CAMERA_BUDGET = 65536;

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "camera", i_promise);
}

// A tracker for built-in marker 0 through the camera, unless it refuses the
// camera (a projection matrix it cannot invert).
std::optional<markeye::Tracker> trackerOn(const markeye::Camera& i_camera)
{
    static const std::vector<markeye::Pattern> patterns = {
        markeye::Pattern::builtin(markeye::Pattern::builtinNames()[0])};
    try {
        return markeye::Tracker(i_camera, patterns);
    } catch (const markeye::Error&) {
        return std::nullopt;
    }
}

// Whether the library's path ends with the camera read, or tracks a frame
// through it too.
enum LibraryDepth : uint8_t {
    READ_ONLY = 0,
    READ_AND_TRACK = 1,
};

// A camera the library takes is whole and finite and writes back the bytes
// it was read from; it rescales to a frame of its proportions (and tracks
// it) and refuses frames of other proportions.
void runLibrary(const TFrameSize& i_frame, const std::vector<uint8_t>& i_camera, LibraryDepth i_depth)
{
    std::optional<markeye::Camera> camera;
    try {
        camera = markeye::Camera::fromBytes(i_camera.data(), i_camera.size(), "fuzz camera");
    } catch (const markeye::Error&) {
        return;
    }
    require(i_camera.size() >= markeye::Camera::FILE_SIZE, "a camera comes from a whole file");
    require(camera->width() > 0 && camera->height() > 0, "a camera's size is positive");
    const markeye::Distortion& distortion = camera->distortion();
    const std::array<double, 4> values = {distortion.centre_x, distortion.centre_y, distortion.coefficient,
                                          distortion.scale};
    const auto finite = [](double i_v) { return std::isfinite(i_v); };
    require(std::all_of(camera->projection().begin(), camera->projection().end(), finite) &&
                std::all_of(values.begin(), values.end(), finite) && distortion.scale != 0.0,
            "a camera's numbers are finite and its scale is not 0");
    const std::array<uint8_t, markeye::Camera::FILE_SIZE> bytes = camera->toBytes();
    require(std::equal(bytes.begin(), bytes.end(), i_camera.begin()),
            "a camera writes back the bytes it was read from");
    if (camera->fits(i_frame.width, i_frame.height)) {
        const markeye::Camera rescaled = camera->rescaled(i_frame.width, i_frame.height);
        require(rescaled.width() == i_frame.width && rescaled.height() == i_frame.height,
                "a rescaled camera has the frame's size");
        rescaled.observedToIdeal(rescaled.cx(), rescaled.cy());
        std::optional<markeye::Tracker> tracker =
            i_depth == READ_AND_TRACK ? trackerOn(rescaled) : std::optional<markeye::Tracker>();
        if (tracker) {
            trackChecked(*tracker, packedView(i_frame, markerFrame(i_frame)));
        }
        return;
    }
    bool refused = false;
    try {
        camera->rescaled(i_frame.width, i_frame.height);
    } catch (const markeye::Error&) {
        refused = true;
    }
    require(refused, "a camera refuses to rescale to other proportions");
    if (i_depth == READ_AND_TRACK && int64_t{camera->width()} * camera->height() <= CAMERA_BUDGET) {
        const markeye::ImageView frame = packedView(i_frame, markerFrame(i_frame));
        std::optional<markeye::Tracker> tracker = trackerOn(*camera);
        require(!tracker || trackChecked(*tracker, frame) == nullptr, "a tracker refuses a frame of other proportions");
    }
}

}  // namespace

void fuzzCamera(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const CameraForm form = static_cast<CameraForm>(in.u8() % FORM_COUNT);
    const TFrameSize frame = pickSmallFrameSize(in.u8());
    const std::vector<uint8_t> camera = in.rest();
    runLibrary(frame, camera, READ_AND_TRACK);
    if (form == FORM_HOST_ORDER_FILE) {
        runCore(frame, camera);
    } else {
        runPlugin(form, frame, camera);
    }
}

// The same input as fuzzCamera; only the library reads the bytes, and
// rescales the camera it takes.
void fuzzCameraFile(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    in.u8();
    const TFrameSize frame = pickSmallFrameSize(in.u8());
    runLibrary(frame, in.rest(), READ_ONLY);
}

}  // namespace MarkeyeFuzz
