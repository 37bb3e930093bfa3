#include "XtraTestSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "BuiltinMarkers.h"
#include "markeye/Pattern.h"
#include "MarkerPose.h"
#include "SceneRenderer.h"

using namespace Moa;

namespace XtraTest {

std::string cameraFilePath()
{
    return std::string(MARKEYE_DATA_DIR) + "/camera_640x480.dat";
}

std::vector<int32_t> cameraBytes()
{
    std::ifstream file(cameraFilePath(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() != static_cast<size_t>(CAMERA_BYTES)) {
        throw std::runtime_error("the built-in camera file is not 136 bytes");
    }
    std::vector<int32_t> elements;
    for (char byte : bytes) {
        elements.push_back(static_cast<unsigned char>(byte));
    }
    return elements;
}

std::vector<int32_t> patternNumbers(int32_t i_marker, int32_t i_size)
{
    std::vector<int32_t> numbers;
    numbers = markeye::Pattern::fromPicture(Markeye::BuiltinMarkers::picture(i_marker).view(), i_size, i_size).numbers();
    return numbers;
}

std::string writePatternFile(const std::vector<int32_t>& i_numbers, int32_t i_width, int32_t i_height,
                             const std::string& i_tag)
{
    // Parameterised tests have '/' in their names.
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("xtra_") + test->test_suite_name() + "_" + test->name() + "_" + i_tag + ".pat";
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string path = ::testing::TempDir() + name;
    markeye::Pattern::fromNumbers(i_numbers, i_width, i_height).save(path);
    return path;
}

std::vector<uint8_t> renderFrame(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose)
{
    constexpr double MARKER_WIDTH = 80.0;
    const Markeye::MarkerPicture picture = Markeye::BuiltinMarkers::picture(i_marker);
    Markeye::SceneRenderer renderer(Markeye::RenderCamera::builtin());
    renderer.render(Markeye::TSceneMarker(&picture, MARKER_WIDTH, i_pose), Markeye::TSceneOptions());
    const uint8_t* bytes = renderer.getFrame();
    return std::vector<uint8_t>(bytes, bytes + 4 * renderer.getWidth() * renderer.getHeight());
}

VoTrack::VoARDoubleMatrix34 facingPose()
{
    return Markeye::MarkerPose::facing(0.0, 0.0, 400.0);
}

void XtraHostTest::SetUp()
{
    _module = std::make_unique<HostXtraModule>(&_host, MARKEYE_XTRA_MODULE);
    _tracker = std::make_unique<HostXtraInstance>(_module.get());
    ASSERT_EQ(_tracker->createStatus(), MOA_OK);
}

void XtraHostTest::TearDown()
{
    if (_module == nullptr) {
        return;
    }
    _tracker.reset();
    EXPECT_EQ(_host.serviceReferences(), 0);
    EXPECT_EQ(_host.allocator().liveBlocks(), 0);
    EXPECT_EQ(_host.allocator().foreignFrees(), 0);
    EXPECT_EQ(values().borrowedStrings(), 0);
    EXPECT_EQ(_module->exports().canUnloadNow(), MOA_OK);
    _module.reset();
}

TMoaValue XtraHostTest::image(const uint8_t* i_bgra, int32_t i_width, int32_t i_height, int32_t i_depth)
{
    THostImage picture;
    picture.width = i_width;
    picture.height = i_height;
    picture.depth = i_depth;
    picture.row_bytes = i_width * i_depth / 8;
    picture.pixels.assign(i_bgra, i_bgra + static_cast<size_t>(picture.row_bytes) * static_cast<size_t>(i_height));
    return values().makeImage(picture);
}

TMoaValue XtraHostTest::frame(int32_t i_marker, const VoTrack::VoARDoubleMatrix34& i_pose)
{
    return image(renderFrame(i_marker, i_pose).data(), FRAME_WIDTH, FRAME_HEIGHT);
}

TMoaValue XtraHostTest::blankImage(int32_t i_width, int32_t i_height, int32_t i_depth, int32_t i_row_bytes,
                                   bool i_pixels, uint8_t i_fill)
{
    THostImage picture;
    picture.width = i_width;
    picture.height = i_height;
    picture.depth = i_depth;
    picture.row_bytes = i_row_bytes != 0 ? i_row_bytes : i_width * i_depth / 8;
    if (i_pixels) {
        picture.pixels.assign(static_cast<size_t>(picture.row_bytes) * static_cast<size_t>(i_height), i_fill);
    }
    return values().makeImage(picture);
}

void XtraHostTest::newTracker(bool i_from_file, int32_t i_width, int32_t i_height)
{
    const TMoaValue camera = i_from_file ? string(cameraFilePath()) : integerList(cameraBytes());
    const auto outcome = call("new", {camera, integer(i_width), integer(i_height)});
    ASSERT_EQ(outcome.status, MOA_OK);
}

int32_t XtraHostTest::integerResult(const HostXtraInstance::TCallOutcome& i_outcome)
{
    EXPECT_EQ(i_outcome.status, MOA_OK);
    if (!values().isType(i_outcome.result, HostValueStore::TYPE_INTEGER)) {
        ADD_FAILURE() << "the call returned no integer";
        return -1;
    }
    return values().integerOf(i_outcome.result);
}

int32_t XtraHostTest::loadMarker(int32_t i_marker)
{
    return integerResult(call("loadPatternList", {integerList(patternNumbers(i_marker))}));
}

int32_t XtraHostTest::patternCount()
{
    const auto outcome = call("detectMarkers", {blankImage(FRAME_WIDTH, FRAME_HEIGHT, 32)});
    EXPECT_EQ(outcome.status, MOA_OK);
    if (!values().isType(outcome.result, HostValueStore::TYPE_LIST)) {
        return 0;
    }
    return static_cast<int32_t>(values().listOf(outcome.result).size());
}

std::vector<float> XtraHostTest::matrixResult(const TMoaValue& i_result)
{
    if (!values().isType(i_result, HostValueStore::TYPE_MATRIX)) {
        ADD_FAILURE() << "no matrix value";
        return {};
    }
    const HostValueStore::TMatrix& matrix = values().matrixOf(i_result);
    return std::vector<float>(matrix.begin(), matrix.end());
}

bool XtraHostTest::hasCamera()
{
    const bool loaded = loadMarker(0) == 1;
    call("unloadAllPatterns");
    return loaded;
}

}  // namespace XtraTest
