#include "markeye/Camera.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "CameraRecord.h"
#include "FileBytes.h"
#include "VoARException.h"
#include "VoARParam.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace markeye {

namespace {

// The nominal camera: 700 pixels focal length over 640 pixels of width.
constexpr double NOMINAL_FOCAL = 700.0;
constexpr double NOMINAL_WIDTH = 640.0;

std::string sizeText(int32_t i_width, int32_t i_height)
{
    return std::to_string(i_width) + " x " + std::to_string(i_height);
}

VoTrack::VoARCameraDistortionFactor distortionFactorOf(const Distortion& i_distortion)
{
    VoTrack::VoARCameraDistortionFactor factor;
    const double values[4] = {i_distortion.centre_x, i_distortion.centre_y, i_distortion.coefficient,
                              i_distortion.scale};
    factor.setValue(values);
    return factor;
}

}  // namespace

VoTrack::TVoARParamFileRecord toRecord(const Camera& i_camera)
{
    VoTrack::TVoARParamFileRecord record;
    record.x_size = i_camera.width();
    record.y_size = i_camera.height();
    std::copy(i_camera.projection().begin(), i_camera.projection().end(), record.projection);
    const Distortion& d = i_camera.distortion();
    const double distortion[4] = {d.centre_x, d.centre_y, d.coefficient, d.scale};
    std::copy(distortion, distortion + 4, record.distortion);
    return record;
}

Camera Camera::fromFile(const std::string& i_path)
{
    const std::vector<uint8_t> bytes = readFileBytes(i_path, "camera file ", FILE_SIZE);
    return fromBytes(bytes.data(), bytes.size(), i_path);
}

Camera Camera::fromBytes(const uint8_t* i_bytes, std::size_t i_size, const std::string& i_name)
{
    if (i_bytes == nullptr || i_size < FILE_SIZE) {
        throw Error("camera file too short: " + std::to_string(i_bytes == nullptr ? 0 : i_size) + " of " +
                    std::to_string(FILE_SIZE) + " bytes (" + i_name + ")");
    }
    VoTrack::TVoARParamFileRecord record;
    VoTrack::VoARParam::decodeRecord(i_bytes, true, &record);
    Camera camera;
    camera._width = record.x_size;
    camera._height = record.y_size;
    std::copy(record.projection, record.projection + 12, camera._projection.begin());
    camera._distortion = Distortion{record.distortion[0], record.distortion[1], record.distortion[2],
                                    record.distortion[3]};
    camera._name = i_name;
    camera.check("camera file");
    return camera;
}

Camera Camera::fromIntrinsics(int32_t i_width, int32_t i_height, double i_fx, double i_fy, double i_cx, double i_cy,
                              const std::string& i_name)
{
    Camera camera;
    camera._width = i_width;
    camera._height = i_height;
    camera._projection = {i_fx, 0.0, i_cx, 0.0, 0.0, i_fy, i_cy, 0.0, 0.0, 0.0, 1.0, 0.0};
    camera._distortion = Distortion{i_cx, i_cy, 0.0, 1.0};
    camera._name = i_name;
    camera.check("camera");
    return camera;
}

Camera Camera::builtin(int32_t i_width, int32_t i_height)
{
    const double focal = NOMINAL_FOCAL * (i_width / NOMINAL_WIDTH);
    return fromIntrinsics(i_width, i_height, focal, focal, i_width / 2.0, i_height / 2.0,
                          "built-in " + sizeText(i_width, i_height));
}

void Camera::check(const char* i_kind) const
{
    const std::string what = std::string(i_kind) + " " + _name + " is not valid: ";
    const bool finite = std::all_of(_projection.begin(), _projection.end(), [](double v) { return std::isfinite(v); }) &&
                        std::isfinite(_distortion.centre_x) && std::isfinite(_distortion.centre_y) &&
                        std::isfinite(_distortion.coefficient) && std::isfinite(_distortion.scale);
    if (!finite) {
        throw Error(what + "it holds a number that is not finite");
    }
    if (_width <= 0 || _height <= 0 || _distortion.scale == 0.0) {
        throw Error(what + "size " + sizeText(_width, _height) +
                    ", distortion scale " + std::to_string(_distortion.scale) +
                    " (sizes must be positive and the scale non-zero)");
    }
    // A camera is for frames the readers accept: a larger stated size is not
    // a camera but bytes of another kind, and would make frame-sized tables
    // of gigabytes.
    if (_width > MAX_IMAGE_SIDE || _height > MAX_IMAGE_SIDE || int64_t{_width} * _height > MAX_IMAGE_PIXELS) {
        throw Error(what + "size " + sizeText(_width, _height) +
                    " is beyond the largest frame (" + std::to_string(MAX_IMAGE_SIDE) + " pixels a side, " +
                    std::to_string(MAX_IMAGE_PIXELS) + " in all)");
    }
    if (!(fx() > 0.0) || !(fy() > 0.0)) {
        throw Error(what + "focal lengths " + std::to_string(fx()) + " and " +
                    std::to_string(fy()) + " pixels (both must be positive)");
    }
}

Camera Camera::withDistortion(const Distortion& i_distortion) const
{
    Camera camera = *this;
    camera._distortion = i_distortion;
    camera.check("camera");
    return camera;
}

bool Camera::fits(int32_t i_width, int32_t i_height) const
{
    return i_width > 0 && i_height > 0 && int64_t(i_width) * _height == int64_t(i_height) * _width;
}

Camera Camera::rescaled(int32_t i_width, int32_t i_height) const
{
    if (i_width == _width && i_height == _height) {
        return *this;
    }
    if (!fits(i_width, i_height)) {
        throw Error("frame size " + sizeText(i_width, i_height) + " does not have the proportions of camera " +
                    _name + " (" + sizeText(_width, _height) + "): calibrate the camera at " +
                    sizeText(i_width, i_height) + ", or use the built-in camera for that size");
    }
    // The core's rescale, so that a rescaled camera is the one the plug-in
    // makes for the same frame size.
    VoTrack::VoARParam param;
    param.setValue(toRecord(*this));
    param.changeScreenSize(i_width, i_height);
    Camera camera = *this;
    camera._width = i_width;
    camera._height = i_height;
    param.getProjectionMatrix()->getValue(camera._projection.data());
    double distortion[4];
    static_cast<const VoTrack::VoARCameraDistortionFactor*>(param.getDistortionFactor())->getValue(distortion);
    camera._distortion = Distortion{distortion[0], distortion[1], distortion[2], distortion[3]};
    return camera;
}

std::array<double, 2> Camera::idealToObserved(double i_x, double i_y) const
{
    const VoTrack::TVoARDoublePoint_t ideal{i_x, i_y};
    VoTrack::TVoARDoublePoint_t observed;
    distortionFactorOf(_distortion).ideal2Observ(&ideal, &observed);
    return {observed.x, observed.y};
}

std::array<double, 2> Camera::observedToIdeal(double i_x, double i_y) const
{
    VoTrack::TVoARDoublePoint_t ideal;
    distortionFactorOf(_distortion).observ2Ideal(i_x, i_y, &ideal);
    return {ideal.x, ideal.y};
}

std::array<uint8_t, Camera::FILE_SIZE> Camera::toBytes() const
{
    std::array<uint8_t, FILE_SIZE> bytes;
    VoTrack::VoARParam::encodeRecord(toRecord(*this), bytes.data());
    return bytes;
}

void Camera::save(const std::string& i_path) const
{
    const std::array<uint8_t, FILE_SIZE> bytes = toBytes();
    writeFileBytes(i_path, "camera file ", bytes.data(), bytes.size());
}

}  // namespace markeye
