// Fuzz entry: camera parameter files and their list form.
//
// Input: one byte choosing the form, one byte choosing the frame size, then
// the camera bytes (136 for a whole file; any length is tried).

#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "FuzzXtra.h"
#include "VoARException.h"

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

}  // namespace

void fuzzCamera(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const CameraForm form = static_cast<CameraForm>(in.u8() % FORM_COUNT);
    const TFrameSize frame = pickSmallFrameSize(in.u8());
    const std::vector<uint8_t> camera = in.rest();
    if (form == FORM_HOST_ORDER_FILE) {
        runCore(frame, camera);
    } else {
        runPlugin(form, frame, camera);
    }
}

}  // namespace MarkeyeFuzz
