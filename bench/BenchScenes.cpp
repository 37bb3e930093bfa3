#include "BenchScenes.h"

#include "BuiltinMarkers.h"
#include "MarkerPose.h"
#include "TSceneOptions.h"

using Markeye::MarkerPose;
using Markeye::TSceneMarker;

namespace MarkeyeBench {

namespace {

// Mirrored left to right: a picture unlike any built-in one in every turn.
Markeye::MarkerPicture mirrored(const Markeye::MarkerPicture& i_picture)
{
    Markeye::MarkerPicture mirror(i_picture.getWidth(), i_picture.getHeight());
    for (int32_t y = 0; y < i_picture.getHeight(); y++) {
        for (int32_t x = 0; x < i_picture.getWidth(); x++) {
            const uint8_t* rgb = i_picture.getPixel(i_picture.getWidth() - 1 - x, y);
            mirror.setPixel(x, y, rgb[0], rgb[1], rgb[2]);
        }
    }
    return mirror;
}

const Markeye::MarkerPicture& picture(int32_t i_index)
{
    static const std::vector<Markeye::MarkerPicture> pictures = [] {
        std::vector<Markeye::MarkerPicture> all;
        for (int32_t i = 0; i < Markeye::BuiltinMarkers::count(); i++) {
            all.push_back(Markeye::BuiltinMarkers::picture(i));
        }
        all.push_back(mirrored(Markeye::BuiltinMarkers::picture(0)));
        all.push_back(mirrored(Markeye::BuiltinMarkers::picture(2)));
        return all;
    }();
    return pictures.at(static_cast<size_t>(i_index));
}

// A marker of a scene: the pattern it shows and its pose.
struct TPlacedMarker
{
    int32_t pattern;
    VoTrack::VoARDoubleMatrix34 pose;
};

// Poses are in marker units (the marker is 80 wide); depths are chosen for
// the 640 x 480 camera (700 px focal length) and scale with the frame width
// because the rescaled camera's focal length does.
const std::vector<TPlacedMarker>& placedMarkers(TBenchScene i_scene)
{
    // About 110 px across at 640 x 480.
    static const std::vector<TPlacedMarker> one = {{0, MarkerPose::make(12, 20, -15, 10, -25, 500)}};
    static const std::vector<TPlacedMarker> four = {{0, MarkerPose::make(8, 15, 0, -240, -150, 800)},
                                                    {3, MarkerPose::make(-25, 0, 20, 180, -140, 750)},
                                                    {5, MarkerPose::make(100, -20, -10, -200, 40, 850)},
                                                    {7, MarkerPose::make(200, 10, 30, 190, 50, 700)}};
    static const std::vector<TPlacedMarker> none;
    switch (i_scene) {
    case TBenchScene::ONE_MARKER:
        return one;
    case TBenchScene::FOUR_MARKERS_AND_CLUTTER:
        return four;
    case TBenchScene::NO_MARKER:
        return none;
    }
    return none;
}

std::vector<TSceneMarker> sceneMarkers(TBenchScene i_scene)
{
    std::vector<TSceneMarker> markers;
    for (const TPlacedMarker& placed : placedMarkers(i_scene)) {
        markers.emplace_back(&picture(placed.pattern), MarkeyeTest::MARKER_WIDTH, placed.pose);
    }
    return markers;
}

Markeye::TSceneOptions sceneOptions(TBenchScene i_scene)
{
    Markeye::TSceneOptions options;
    options.supersample = 2;
    options.background_gradient_x = 40.0;
    options.noise_sigma = 3.0;
    options.seed = 11;
    if (i_scene == TBenchScene::FOUR_MARKERS_AND_CLUTTER) {
        options.clutter_shapes = 30;
    }
    return options;
}

}  // namespace

const std::vector<TFrameSize>& benchSizes()
{
    static const std::vector<TFrameSize> sizes = {{320, 240}, {640, 480}, {1280, 720}};
    return sizes;
}

const std::vector<TBenchScene>& benchScenes()
{
    static const std::vector<TBenchScene> scenes = {TBenchScene::ONE_MARKER, TBenchScene::FOUR_MARKERS_AND_CLUTTER,
                                                    TBenchScene::NO_MARKER};
    return scenes;
}

const std::vector<int32_t>& benchPatternCounts()
{
    static const std::vector<int32_t> counts = {1, 6, MAX_PATTERNS};
    return counts;
}

const char* sceneName(TBenchScene i_scene)
{
    switch (i_scene) {
    case TBenchScene::ONE_MARKER:
        return "one";
    case TBenchScene::FOUR_MARKERS_AND_CLUTTER:
        return "four";
    case TBenchScene::NO_MARKER:
        return "none";
    }
    return "?";
}

std::string sizeName(const TFrameSize& i_size)
{
    return std::to_string(i_size.width) + "x" + std::to_string(i_size.height);
}

markeye::Pattern benchPattern(int32_t i_index)
{
    const int32_t size = Markeye::BuiltinMarkers::PICTURE_SIZE;
    return markeye::Pattern::fromPicture(picture(i_index).view(), size, size, "bench " + std::to_string(i_index));
}

std::vector<int32_t> patternNumbers(int32_t i_index)
{
    return benchPattern(i_index).numbers();
}

std::unique_ptr<VoTrack::VoARCode> makeCode(int32_t i_index)
{
    const int32_t size = Markeye::BuiltinMarkers::PICTURE_SIZE;
    auto code = std::make_unique<VoTrack::VoARCode>(size, size);
    code->setFromArray(patternNumbers(i_index).data(), size, size);
    return code;
}

std::vector<int32_t> shownPatterns(TBenchScene i_scene)
{
    std::vector<int32_t> patterns;
    for (const TPlacedMarker& placed : placedMarkers(i_scene)) {
        patterns.push_back(placed.pattern);
    }
    return patterns;
}

BenchFrame::BenchFrame(TBenchScene i_scene, const TFrameSize& i_size)
    : _size(i_size),
      _param(MarkeyeTest::loadBuiltinCamera(i_size.width, i_size.height)),
      _scene(std::make_unique<MarkeyeTest::DetectionScene>(*_param))
{
    _scene->render(sceneMarkers(i_scene), sceneOptions(i_scene));
}

markeye::ImageView BenchFrame::view() const
{
    return markeye::ImageView{bytes(), _size.width, _size.height, 4 * static_cast<std::ptrdiff_t>(_size.width),
                              markeye::PixelFormat::BGRX};
}

markeye::Camera BenchFrame::camera() const
{
    return markeye::Camera::builtin(_size.width, _size.height);
}

}  // namespace MarkeyeBench
