#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedHost.h"
#include "HostXtraInstance.h"
#include "HostXtraModule.h"
#include "MoaTypes.h"
#include "VoARDoubleMatrix34.h"

// The plug-in as the tests see it: the module loaded into a fresh emulated
// host, and one tracker instance on it. Everything the plug-in does is
// reached through the host's loader, instances and services.
namespace XtraTest {

using MarkeyeHost::EmulatedHost;
using MarkeyeHost::HostValueStore;
using MarkeyeHost::HostXtraInstance;
using MarkeyeHost::HostXtraModule;
using MarkeyeHost::THostImage;
using Moa::TMoaValue;

// Frame size of the built-in camera.
constexpr int32_t FRAME_WIDTH = 640;
constexpr int32_t FRAME_HEIGHT = 480;
constexpr int32_t CAMERA_BYTES = 136;

// The built-in camera file and its 136 bytes.
std::string cameraFilePath();
std::vector<int32_t> cameraBytes();

// The numbers of the pattern of built-in marker i_marker, on an
// i_size x i_size grid, and the same written to a pattern file named after
// the running test.
std::vector<int32_t> patternNumbers(int32_t i_marker, int32_t i_size = 16);
std::string writePatternFile(const std::vector<int32_t>& i_numbers, int32_t i_width, int32_t i_height,
                             const std::string& i_tag);

// A frame of the built-in camera (bytes blue, green, red, 255 per pixel)
// showing built-in marker i_marker, 80 units wide, at i_pose (marker to
// camera coordinates) on a light background.
std::vector<uint8_t> renderFrame(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose);
// A marker facing the camera upright, 400 units in front of it.
VoTrack::VoARDoubleMatrix34 facingPose();

// A fresh host with the module loaded and one tracker instance made.
class XtraHostTest : public ::testing::Test
{
protected:
    void SetUp() override;
    // Ends the tracker and checks that it gave back every service
    // reference, host block, borrowed string and pixel lock.
    void TearDown() override;

    HostValueStore& values() { return _host.values(); }
    TMoaValue integer(int32_t i_value) { return values().makeInteger(i_value); }
    TMoaValue real(double i_value) { return values().makeFloat(i_value); }
    TMoaValue string(const std::string& i_text) { return values().makeString(i_text); }
    TMoaValue integerList(const std::vector<int32_t>& i_elements) { return values().makeIntegerList(i_elements); }
    // A 32-bit image holding a copy of a BGRA frame, or another depth.
    TMoaValue image(const uint8_t* i_bgra, int32_t i_width, int32_t i_height, int32_t i_depth = 32);
    // The rendered frame as a 32-bit image.
    TMoaValue frame(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose);
    // An image of that description with every byte i_fill; row_bytes 0 means
    // packed rows of depth / 8 bytes per pixel, i_pixels false no memory.
    TMoaValue blankImage(int32_t i_width, int32_t i_height, int32_t i_depth, int32_t i_row_bytes = 0,
                         bool i_pixels = true, uint8_t i_fill = 255);
    // Patterns loaded, as the length of the list detectMarkers gives for a
    // blank frame; 0 when it gives no list.
    int32_t patternCount();
    // The 16 floats of a matrix result; fails the test for another result.
    std::vector<float> matrixResult(const TMoaValue& i_result);

    HostXtraInstance::TCallOutcome call(const std::string& i_method, const std::vector<TMoaValue>& i_arguments = {})
    {
        return _tracker->call(i_method, i_arguments);
    }
    // new with the built-in camera as a list (as a file name when
    // i_from_file), for frames of i_width x i_height.
    void newTracker(bool i_from_file = false, int32_t i_width = FRAME_WIDTH, int32_t i_height = FRAME_HEIGHT);
    // The integer a call returned; fails the test for another result.
    int32_t integerResult(const HostXtraInstance::TCallOutcome& i_outcome);
    bool isVoid(const TMoaValue& i_value) { return values().isType(i_value, HostValueStore::TYPE_VOID); }
    // Loads the 16 x 16 pattern of a built-in marker as a list; its result.
    int32_t loadMarker(int32_t i_marker);
    // Whether the tracker has a camera: a pattern loads (and is unloaded
    // again) only then.
    bool hasCamera();

    EmulatedHost _host;
    std::unique_ptr<HostXtraModule> _module;
    std::unique_ptr<HostXtraInstance> _tracker;
};

}  // namespace XtraTest
