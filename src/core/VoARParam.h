#pragma once

#include <cstddef>
#include <cstdint>

#include "TVoARIntSize.h"
#include "VoARCameraDistortionFactor.h"
#include "VoARPerspectiveProjectionMatrix.h"

namespace VoTrack {

// The 136 bytes of a camera parameter file, in host byte order.
struct TVoARParamFileRecord
{
    int32_t x_size;
    int32_t y_size;
    double projection[VoARDoubleMatrix34::ELEMENT_COUNT];
    double distortion[VoARCameraDistortionFactor::VALUE_COUNT];
};
static_assert(sizeof(TVoARParamFileRecord) == 136, "the record mirrors the file byte for byte");
static_assert(offsetof(TVoARParamFileRecord, projection) == 8 &&
                  offsetof(TVoARParamFileRecord, distortion) == 104,
              "the record mirrors the file byte for byte");

// Camera model of one tracker instance: the screen size it describes, the
// projection matrix and the lens distortion, loaded from a camera parameter
// file and rescaled to the analysed frame size.
class VoARParam
{
public:
    static constexpr int FILE_SIZE = 136;

    // Zero screen size, zero matrix and identity distortion until loaded.
    VoARParam();
    virtual ~VoARParam();

    TVoARIntSize* getScreenSize();
    const TVoARIntSize* getScreenSize() const;
    VoARPerspectiveProjectionMatrix* getProjectionMatrix();
    const VoARPerspectiveProjectionMatrix* getProjectionMatrix() const;
    IVoARCameraDistortionFactor* getDistortionFactor();
    const IVoARCameraDistortionFactor* getDistortionFactor() const;

    // Non-zero: loadFromFile takes the file's numbers as they are instead of
    // as big-endian.
    void setFileInHostOrder(int32_t i_flag);
    // Throws VoARException, changing nothing, for a record whose size is not
    // positive or whose distortion scale is zero.
    void setValue(const TVoARParamFileRecord& i_record);
    // Reads the first FILE_SIZE bytes of a camera parameter file. Throws
    // VoARException, changing nothing, if the file is missing, not a regular
    // file, shorter or not a valid record.
    void loadFromFile(const char* i_path);
    // Rescales to a new image size by i_width / current width (the height
    // does not enter). Throws VoARException, changing nothing, if either size
    // is not positive.
    void changeScreenSize(int32_t i_width, int32_t i_height);

    // Fills a record from the FILE_SIZE bytes of the file layout; i_convert
    // true means big-endian bytes (the file/list form), false host order.
    static void decodeRecord(const unsigned char* i_bytes, bool i_convert,
                             TVoARParamFileRecord* o_record);
    // Writes a record as the FILE_SIZE big-endian bytes of a camera file.
    static void encodeRecord(const TVoARParamFileRecord& i_record, unsigned char* o_bytes);

private:
    TVoARIntSize _screen_size;
    int32_t _file_in_host_order;
    VoARCameraDistortionFactor _distortion;
    VoARPerspectiveProjectionMatrix _projection_matrix;
};

}  // namespace VoTrack
