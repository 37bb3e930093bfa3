#include "DetectionScene.h"

#include "BuiltinMarkers.h"
#include "markeye/Pattern.h"
#include "MarkeyeBuiltinData.h"

namespace MarkeyeTest {

std::unique_ptr<VoTrack::VoARParam> loadBuiltinCamera(int32_t i_width, int32_t i_height)
{
    const Markeye::TBuiltinFile file = Markeye::builtinCamera();
    VoTrack::TVoARParamFileRecord record;
    VoTrack::VoARParam::decodeRecord(file.bytes, true, &record);
    auto param = std::make_unique<VoTrack::VoARParam>();
    param->setValue(record);
    param->changeScreenSize(i_width, i_height);
    return param;
}

std::unique_ptr<VoTrack::VoARCode> makeBuiltinCode(int32_t i_index)
{
    const int32_t size = Markeye::BuiltinMarkers::PICTURE_SIZE;
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(builtinPicture(i_index).view(), size, size).numbers();
    auto code = std::make_unique<VoTrack::VoARCode>(size, size);
    code->setFromArray(numbers.data(), size, size);
    return code;
}

const Markeye::MarkerPicture& builtinPicture(int32_t i_index)
{
    static const std::vector<Markeye::MarkerPicture> pictures = [] {
        std::vector<Markeye::MarkerPicture> all;
        for (int32_t i = 0; i < Markeye::BuiltinMarkers::count(); i++) {
            all.push_back(Markeye::BuiltinMarkers::picture(i));
        }
        return all;
    }();
    return pictures.at(static_cast<size_t>(i_index));
}

DetectionScene::DetectionScene(const VoTrack::VoARParam& i_param)
    : _renderer(Markeye::RenderCamera::fromParam(i_param)),
      _raster(std::make_unique<VoTrack::VoARRgbRaster_BGRA>(_renderer.getFrame(), _renderer.getWidth(),
                                                            _renderer.getHeight()))
{
}

void DetectionScene::render(const std::vector<Markeye::TSceneMarker>& i_markers,
                            const Markeye::TSceneOptions& i_options)
{
    _renderer.render(i_markers, i_options);
    _raster->setBuffer(_renderer.getFrame());
}

}  // namespace MarkeyeTest
