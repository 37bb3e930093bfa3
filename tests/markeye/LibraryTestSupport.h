#pragma once

// What the tests of the markeye library share: files in the data folder and
// in a scratch folder, camera files written byte by byte, frames rendered
// through a library camera with the scene renderer, copies of a frame in
// every pixel layout, and comparisons of detections with the rendered truth.

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "MarkerPicture.h"
#include "RenderCamera.h"
#include "SceneRenderer.h"
#include "TMarkerTruth.h"
#include "TSceneMarker.h"
#include "TSceneOptions.h"
#include "VoARDoubleMatrix34.h"
#include "markeye/markeye.h"

namespace LibraryTest {

// Side of the markers in every scene, in pose units.
constexpr double MARKER_WIDTH = 80.0;
// Frame size of the built-in camera.
constexpr int32_t FRAME_WIDTH = 640;
constexpr int32_t FRAME_HEIGHT = 480;

// ---- Files

// A file of the project's data folder, such as "patterns/flag.patt".
std::string dataPath(const std::string& i_relative);
// A path in the scratch folder, unique to this process, the running test
// and i_tag; nothing is created there.
std::string scratchPath(const std::string& i_tag);
std::vector<uint8_t> readBytes(const std::string& i_path);
void writeBytes(const std::string& i_path, const void* i_bytes, std::size_t i_size);
void writeText(const std::string& i_path, const std::string& i_text);

// Scratch paths handed out by path(), each removed again at the end of the
// scope.
class ScratchFiles
{
public:
    ScratchFiles() = default;
    ~ScratchFiles();
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    std::string path(const std::string& i_tag);

private:
    std::vector<std::string> _paths;
};

// The message of the markeye::Error that i_call throws; fails the test when
// it throws none, or another exception.
template <class TCall>
std::string errorOf(TCall&& i_call)
{
    try {
        i_call();
    } catch (const markeye::Error& error) {
        return error.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "not a markeye::Error: " << other.what();
        return "";
    }
    ADD_FAILURE() << "no markeye::Error thrown";
    return "";
}

// Whether i_text holds i_part.
inline bool holds(const std::string& i_text, const std::string& i_part)
{
    return i_text.find(i_part) != std::string::npos;
}

// A FIFO made at a scratch path, removed again at the end of the scope.
class ScratchFifo
{
public:
    explicit ScratchFifo(const std::string& i_tag);
    ~ScratchFifo();
    ScratchFifo(const ScratchFifo&) = delete;
    ScratchFifo& operator=(const ScratchFifo&) = delete;

    const std::string& path() const { return _path; }

private:
    std::string _path;
};

// Runs i_read, which reads the FIFO i_fifo, and returns the message of the
// markeye::Error it throws ("" when it throws none). A read that blocks
// fails the test and is then released by a writer that opens and closes the
// FIFO, so that the test ends instead of hanging.
std::string errorOfFifoRead(const std::string& i_fifo, const std::function<void()>& i_read);

// ---- Cameras

// The values of a camera file: size, P row by row, distortion centre x and
// y, coefficient, scale.
struct TCameraRecord
{
    int32_t width;
    int32_t height;
    std::array<double, 12> projection;
    std::array<double, 4> distortion;
};

// The 136 bytes of a camera file, written here from the layout the README
// gives (big-endian 32-bit integers and IEEE doubles), not by the library.
std::vector<uint8_t> encodeCamera(const TCameraRecord& i_record);
// 640 x 480, focal length 700, principal point (320, 240), no distortion.
TCameraRecord builtinCameraRecord();
// A 640 x 480 camera with unequal focal lengths, an off-centre principal
// point and a barrel distortion, as a calibration would give.
TCameraRecord calibratedCameraRecord();
markeye::Camera cameraOf(const TCameraRecord& i_record, const std::string& i_name = "test camera");

// ---- Scenes

// The renderer's camera for a library camera: its own model of the same
// numbers, so that frames check the library's conversions.
Markeye::RenderCamera renderCameraOf(const markeye::Camera& i_camera);
// Built-in marker i_index's picture, kept alive for scenes that borrow it.
const Markeye::MarkerPicture& markerPicture(int32_t i_index);
// The eight built-in patterns, in their order.
const std::vector<markeye::Pattern>& builtinPatterns();
// Built-in marker i_index's picture in colour: the glyph red (still dark
// enough for the border's binarisation) on pale yellow.
const Markeye::MarkerPicture& colourPicture(int32_t i_index);
// The built-in patterns, then those of the colour pictures of flag (8) and
// dots (9): the only ones that tell red from blue, as the built-in
// patterns are grey and a swap of channels leaves their matches as they
// were.
const std::vector<markeye::Pattern>& patternsWithColour();
Markeye::TSceneMarker placedMarker(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose,
                                   double i_width = MARKER_WIDTH);

// Built-in markers 0, 4 and 6 side by side, turned and tilted, 650 to 750
// units away (each about 75 pixels across in the built-in camera).
std::vector<Markeye::TSceneMarker> threePatternScene();
// Two copies of marker 5, the first nearer (so larger) than the second, and
// marker 2 between them.
std::vector<Markeye::TSceneMarker> twoCopiesScene();
// 14 x 10 markers for the built-in camera at 1280 x 960, each 60 pixels
// across, 90 apart and turned up to 23 degrees (so that 11 pixels of
// background stay between them), marker m showing built-in marker m mod 8.
std::vector<Markeye::TSceneMarker> markerGrid();
// The three of threePatternScene, marker 2 below them and the colour
// flag and dots above them, over coloured clutter with noise in every
// channel (busyOptions), which touches no marker's border.
std::vector<Markeye::TSceneMarker> busyScene();
Markeye::TSceneOptions busyOptions();

// A frame rendered through a library camera, as the renderer leaves it:
// packed blue, green, red, 255.
class RenderedFrame
{
public:
    explicit RenderedFrame(const markeye::Camera& i_camera);

    void render(const std::vector<Markeye::TSceneMarker>& i_markers,
                const Markeye::TSceneOptions& i_options = Markeye::TSceneOptions());
    markeye::ImageView view() const;
    const std::vector<Markeye::TMarkerTruth>& truth() const { return _renderer.getTruth(); }

private:
    Markeye::SceneRenderer _renderer;
};

// ---- Pixel layouts

// How a copy of a picture lays out its pixels: the format, bytes of padding
// after each row, and whether rows are stored bottom-up (negative stride).
struct TLayout
{
    const char* name;
    markeye::PixelFormat format;
    int32_t padding;
    bool bottom_up;
};

void PrintTo(const TLayout& i_layout, std::ostream* o_stream);

// Every layout the library reads besides packed BGRA: each format, padded
// rows of a 32-bit and a 24-bit format, bottom-up rows of both. GRAY is left
// out: it holds a grey picture only (GRAY_LAYOUT).
const std::vector<TLayout>& colourLayouts();
extern const TLayout GRAY_LAYOUT;

// A copy of a picture in another layout. The fourth byte of 32-bit formats
// and the padding get bytes that vary from pixel to pixel, which the
// library must ignore. For GRAY the green channel is copied.
class PictureCopy
{
public:
    PictureCopy(const markeye::ImageView& i_source, const TLayout& i_layout);

    const markeye::ImageView& view() const { return _view; }

private:
    std::vector<uint8_t> _bytes;
    markeye::ImageView _view;
};

// Whether every pixel of a view has equal red, green and blue.
bool isGrey(const markeye::ImageView& i_view);

// ---- Detections against the truth

// Angle in degrees between a detection's rotation and a pose's.
double rotationErrorDeg(const markeye::Detection& i_detection, const VoTrack::VoARDoubleMatrix34& i_truth);
// Distance between the translations over the true distance.
double translationErrorFraction(const markeye::Detection& i_detection, const VoTrack::VoARDoubleMatrix34& i_truth);
// Largest distance in pixels between corner i and the truth's observed
// vertex i.
double worstCornerError(const markeye::Detection& i_detection, const Markeye::TMarkerTruth& i_truth);

// Both lists hold the same detections, every number bit for bit.
void expectSameDetections(const std::vector<markeye::Detection>& i_expected,
                          const std::vector<markeye::Detection>& i_actual);

}  // namespace LibraryTest

namespace markeye {
// For gtest's messages.
void PrintTo(const Detection& i_detection, std::ostream* o_stream);
}  // namespace markeye
