#include "FuzzScene.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "BuiltinMarkers.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "MarkeyeBuiltinData.h"
#include "RenderCamera.h"
#include "SceneRenderer.h"
#include "VoARException.h"
#include "VoARSingleDetectMarker.h"
#include "VoARTransMatResult.h"

namespace MarkeyeFuzz {

namespace {

// The folder of this process's files; removed with its contents at exit.
class TempFolder
{
public:
    TempFolder()
        : _path(std::filesystem::temp_directory_path() / ("markeye-fuzz-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& i_name) const { return (_path / i_name).string(); }

private:
    std::filesystem::path _path;
};

TempFolder& tempFolder()
{
    static TempFolder folder;
    return folder;
}

}  // namespace

void require(bool i_kept, const char* i_subject, const char* i_promise)
{
    if (!i_kept) {
        std::fprintf(stderr, "%s broke a promise: %s\n", i_subject, i_promise);
        std::abort();
    }
}

const std::vector<TFrameSize>& frameSizes()
{
    static const std::vector<TFrameSize> sizes = {{640, 480}, {160, 120}, {320, 240}, {64, 48}, {96, 96},
                                                  {17, 5},    {3, 3},     {2, 2},     {1, 1},   {1, 40}};
    return sizes;
}

TFrameSize pickFrameSize(uint8_t i_choice)
{
    return frameSizes()[i_choice % frameSizes().size()];
}

TFrameSize pickSmallFrameSize(uint8_t i_choice)
{
    static const std::vector<TFrameSize> sizes = [] {
        std::vector<TFrameSize> small;
        for (const TFrameSize& size : frameSizes()) {
            if (size.width * size.height <= 160 * 120) {
                small.push_back(size);
            }
        }
        return small;
    }();
    return sizes[i_choice % sizes.size()];
}

const std::vector<uint8_t>& builtinCameraBytes()
{
    static const std::vector<uint8_t> bytes = [] {
        const Markeye::TBuiltinFile file = Markeye::builtinCamera();
        return std::vector<uint8_t>(file.bytes, file.bytes + file.size);
    }();
    return bytes;
}

std::unique_ptr<VoTrack::VoARParam> builtinCamera(int32_t i_width, int32_t i_height)
{
    VoTrack::TVoARParamFileRecord record;
    VoTrack::VoARParam::decodeRecord(builtinCameraBytes().data(), true, &record);
    auto param = std::make_unique<VoTrack::VoARParam>();
    param->setValue(record);
    param->changeScreenSize(i_width, i_height);
    return param;
}

Markeye::RenderCamera renderCamera(const markeye::Camera& i_camera)
{
    const markeye::Distortion& d = i_camera.distortion();
    const double distortion[4] = {d.centre_x, d.centre_y, d.coefficient, d.scale};
    return Markeye::RenderCamera(i_camera.width(), i_camera.height(), i_camera.projection().data(), distortion);
}

const std::vector<int32_t>& patternNumbers(int32_t i_marker, int32_t i_size)
{
    static std::map<std::pair<int32_t, int32_t>, std::vector<int32_t>> cache;
    const int32_t marker = ((i_marker % Markeye::BuiltinMarkers::count()) + Markeye::BuiltinMarkers::count()) %
                           Markeye::BuiltinMarkers::count();
    std::vector<int32_t>& numbers = cache[{marker, i_size}];
    if (!numbers.empty()) {
        return numbers;
    }
    if ((i_size & (i_size - 1)) != 0) {
        numbers.assign(12 * static_cast<size_t>(i_size) * static_cast<size_t>(i_size), 128);
    } else {
        const Markeye::MarkerPicture picture = Markeye::BuiltinMarkers::picture(marker);
        numbers = markeye::Pattern::fromPicture(picture.view(), i_size, i_size).numbers();
    }
    return numbers;
}

std::unique_ptr<VoTrack::VoARCode> makePattern(int32_t i_marker, int32_t i_size)
{
    auto code = std::make_unique<VoTrack::VoARCode>(i_size, i_size);
    code->setFromArray(patternNumbers(i_marker, i_size).data(), i_size, i_size);
    return code;
}

const std::vector<uint8_t>& markerFrame(const TFrameSize& i_size)
{
    static std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> cache;
    std::vector<uint8_t>& frame = cache[{i_size.width, i_size.height}];
    if (frame.empty()) {
        Markeye::SceneRenderer renderer(renderCamera(markeye::Camera::builtin(i_size.width, i_size.height)));
        const Markeye::MarkerPicture picture = Markeye::BuiltinMarkers::picture(0);
        renderer.render(Markeye::TSceneMarker(&picture, MARKER_WIDTH, Markeye::MarkerPose::facing(0.0, 0.0, 400.0)),
                        Markeye::TSceneOptions());
        const uint8_t* bytes = renderer.getFrame();
        frame.assign(bytes, bytes + 4 * static_cast<size_t>(i_size.width) * static_cast<size_t>(i_size.height));
    }
    return frame;
}

markeye::ImageView packedView(const TFrameSize& i_size, const std::vector<uint8_t>& i_bgrx)
{
    return markeye::ImageView{i_bgrx.data(), i_size.width, i_size.height,
                              4 * static_cast<std::ptrdiff_t>(i_size.width), markeye::PixelFormat::BGRX};
}

std::string tempPath(const std::string& i_name)
{
    return tempFolder().file(i_name);
}

std::string writeTempFile(const std::string& i_name, const std::vector<uint8_t>& i_bytes)
{
    const std::string path = tempPath(i_name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(i_bytes.data()), static_cast<std::streamsize>(i_bytes.size()));
    return path;
}

bool detectAndPose(const VoTrack::VoARParam& i_param, std::unique_ptr<VoTrack::VoARCode> i_code,
                   const VoTrack::VoARRgbRaster_BGRA& i_raster, int32_t i_threshold)
{
    try {
        VoTrack::VoARSingleDetectMarker detector(&i_param, i_code.release(), MARKER_WIDTH,
                                                 i_raster.getBufferReader()->getBufferType());
        if (!detector.detectMarker(&i_raster, i_threshold)) {
            return false;
        }
        VoTrack::VoARTransMatResult pose;
        detector.getPose(&pose);
        detector.setContinueMode(true);
        detector.getPose(&pose);
        return true;
    } catch (const VoTrack::VoARException&) {
        return false;
    }
}

}  // namespace MarkeyeFuzz
