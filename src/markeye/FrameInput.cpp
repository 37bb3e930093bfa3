#include "FrameInput.h"

#include "IVoARBufferReader.h"

namespace markeye {

namespace {

using VoTrack::IVoARBufferReader;

bool isPacked32(const ImageView& i_frame)
{
    return bytesPerPixel(i_frame.format) == 4 && i_frame.stride == 4 * static_cast<std::ptrdiff_t>(i_frame.width);
}

bool isRedFirst(PixelFormat i_format)
{
    return i_format == PixelFormat::RGBA || i_format == PixelFormat::RGBX || i_format == PixelFormat::RGB;
}

// One row of i_width pixels into blue, green, red, 255.
void convertRow(const uint8_t* i_row, int32_t i_width, PixelFormat i_format, uint8_t* o_bgrx)
{
    if (i_format == PixelFormat::GRAY) {
        for (int32_t x = 0; x < i_width; x++, o_bgrx += 4) {
            o_bgrx[0] = o_bgrx[1] = o_bgrx[2] = i_row[x];
            o_bgrx[3] = 255;
        }
        return;
    }
    const int32_t step = bytesPerPixel(i_format);
    const int32_t blue = isRedFirst(i_format) ? 2 : 0;
    const int32_t red = 2 - blue;
    for (int32_t x = 0; x < i_width; x++, i_row += step, o_bgrx += 4) {
        o_bgrx[0] = i_row[blue];
        o_bgrx[1] = i_row[1];
        o_bgrx[2] = i_row[red];
        o_bgrx[3] = 255;
    }
}

}  // namespace

FrameInput::FrameInput(int32_t i_width, int32_t i_height)
    : _width(i_width),
      _height(i_height),
      _bgrx(i_width, i_height, IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32),
      _rgbx(i_width, i_height, IVoARBufferReader::BUFFERFORMAT_BYTE1D_R8G8B8X8_32),
      _converted(new uint8_t[4 * static_cast<std::size_t>(i_width) * static_cast<std::size_t>(i_height)])
{
}

const VoTrack::IVoARRgbRaster& FrameInput::read(const ImageView& i_frame)
{
    if (isPacked32(i_frame)) {
        VoTrack::VoARRgbRaster_ReadOnly32& raster = isRedFirst(i_frame.format) ? _rgbx : _bgrx;
        raster.setBuffer(i_frame.data);
        return raster;
    }
    convert(i_frame);
    _bgrx.setBuffer(_converted.get());
    return _bgrx;
}

void FrameInput::convert(const ImageView& i_frame)
{
    for (int32_t y = 0; y < _height; y++) {
        convertRow(i_frame.data + y * i_frame.stride, _width, i_frame.format,
                   _converted.get() + 4 * static_cast<std::size_t>(y) * static_cast<std::size_t>(_width));
    }
}

}  // namespace markeye
