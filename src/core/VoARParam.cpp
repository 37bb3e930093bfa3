#include "VoARParam.h"

#include <cstring>
#include <exception>
#include <fstream>

#include "VoARByteOrder.h"
#include "VoARException.h"
#include "VoARInputFile.h"

namespace VoTrack {

namespace {

// Byte offsets of the fields in a camera parameter file.
constexpr int X_SIZE_OFFSET = 0;
constexpr int Y_SIZE_OFFSET = 4;
constexpr int PROJECTION_OFFSET = 8;
constexpr int DISTORTION_OFFSET = 104;
constexpr int PROJECTION_COUNT = VoARDoubleMatrix34::ELEMENT_COUNT;
constexpr int DISTORTION_COUNT = VoARCameraDistortionFactor::VALUE_COUNT;

void readDoublesBE(const unsigned char* i_bytes, int i_count, double* o_values)
{
    for (int i = 0; i < i_count; i++) {
        o_values[i] = VoARByteOrder::readDoubleBE(i_bytes + i * VoARByteOrder::DOUBLE_SIZE);
    }
}

void writeDoublesBE(const double* i_values, int i_count, unsigned char* o_bytes)
{
    for (int i = 0; i < i_count; i++) {
        VoARByteOrder::writeDoubleBE(i_values[i], o_bytes + i * VoARByteOrder::DOUBLE_SIZE);
    }
}

// Reads up to VoARParam::FILE_SIZE bytes of the file; returns how many
// arrived, 0 when it does not open.
std::streamsize readFileHead(const char* i_path, unsigned char* o_bytes)
{
    std::ifstream file(i_path, std::ios::binary);
    file.read(reinterpret_cast<char*>(o_bytes), VoARParam::FILE_SIZE);
    return file.gcount();
}

}  // namespace

VoARParam::VoARParam() : _screen_size{0, 0}, _file_in_host_order(0)
{
    const double zeros[PROJECTION_COUNT] = {};
    _projection_matrix.setValue(zeros);
}

VoARParam::~VoARParam() = default;

TVoARIntSize* VoARParam::getScreenSize()
{
    return &_screen_size;
}

const TVoARIntSize* VoARParam::getScreenSize() const
{
    return &_screen_size;
}

VoARPerspectiveProjectionMatrix* VoARParam::getProjectionMatrix()
{
    return &_projection_matrix;
}

const VoARPerspectiveProjectionMatrix* VoARParam::getProjectionMatrix() const
{
    return &_projection_matrix;
}

IVoARCameraDistortionFactor* VoARParam::getDistortionFactor()
{
    return &_distortion;
}

const IVoARCameraDistortionFactor* VoARParam::getDistortionFactor() const
{
    return &_distortion;
}

void VoARParam::setFileInHostOrder(int32_t i_flag)
{
    _file_in_host_order = i_flag;
}

void VoARParam::setValue(const TVoARParamFileRecord& i_record)
{
    // A zero width would divide the next rescale by zero, a zero scale every
    // observed-to-ideal conversion.
    const double distortion_scale = i_record.distortion[VoARCameraDistortionFactor::SCALE_INDEX];
    if (i_record.x_size <= 0 || i_record.y_size <= 0 || distortion_scale == 0.0) {
        throw VoARException();
    }
    _screen_size.w = i_record.x_size;
    _screen_size.h = i_record.y_size;
    _projection_matrix.setValue(i_record.projection);
    _distortion.setValue(i_record.distortion);
}

void VoARParam::loadFromFile(const char* i_path)
{
    try {
        unsigned char bytes[FILE_SIZE];
        if (!VoARInputFile::isRegularFile(i_path) || readFileHead(i_path, bytes) < FILE_SIZE) {
            throw VoARException();
        }
        TVoARParamFileRecord record;
        decodeRecord(bytes, _file_in_host_order == 0, &record);
        setValue(record);
    } catch (const VoARException&) {
        throw;
    } catch (const std::exception& e) {
        throw VoARException(e);
    }
}

void VoARParam::changeScreenSize(int32_t i_width, int32_t i_height)
{
    if (_screen_size.w <= 0 || i_width <= 0 || i_height <= 0) {
        throw VoARException();
    }
    const double scale = static_cast<double>(i_width) / _screen_size.w;
    _distortion.changeScale(scale);
    _projection_matrix.changeScale(scale);
    _screen_size.w = i_width;
    _screen_size.h = i_height;
}

void VoARParam::decodeRecord(const unsigned char* i_bytes, bool i_convert,
                             TVoARParamFileRecord* o_record)
{
    if (!i_convert) {
        // The record's layout is the file's (asserted in the header).
        std::memcpy(o_record, i_bytes, FILE_SIZE);
        return;
    }
    o_record->x_size = VoARByteOrder::readInt32BE(i_bytes + X_SIZE_OFFSET);
    o_record->y_size = VoARByteOrder::readInt32BE(i_bytes + Y_SIZE_OFFSET);
    readDoublesBE(i_bytes + PROJECTION_OFFSET, PROJECTION_COUNT, o_record->projection);
    readDoublesBE(i_bytes + DISTORTION_OFFSET, DISTORTION_COUNT, o_record->distortion);
}

void VoARParam::encodeRecord(const TVoARParamFileRecord& i_record, unsigned char* o_bytes)
{
    VoARByteOrder::writeInt32BE(i_record.x_size, o_bytes + X_SIZE_OFFSET);
    VoARByteOrder::writeInt32BE(i_record.y_size, o_bytes + Y_SIZE_OFFSET);
    writeDoublesBE(i_record.projection, PROJECTION_COUNT, o_bytes + PROJECTION_OFFSET);
    writeDoublesBE(i_record.distortion, DISTORTION_COUNT, o_bytes + DISTORTION_OFFSET);
}

}  // namespace VoTrack
