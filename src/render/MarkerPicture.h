#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "markeye/Image.h"

namespace Markeye {

// The picture a marker shows in its central half: a small image of red,
// green and blue bytes, row 0 at the top of the upright marker, column 0 at
// its left. Sampled nearest-neighbour, so every picture pixel is a crisp
// square cell on the marker.
class MarkerPicture
{
public:
    // All white. Throws std::invalid_argument for a size that is not positive.
    MarkerPicture(int32_t i_width, int32_t i_height);

    // i_grey: i_width x i_height levels, row by row.
    static MarkerPicture fromGrey(int32_t i_width, int32_t i_height, const uint8_t* i_grey);
    // i_rgb: i_width x i_height pixels of red, green, blue, row by row.
    static MarkerPicture fromRgb(int32_t i_width, int32_t i_height, const uint8_t* i_rgb);
    // Any readable view (grey, 24-bit or 32-bit; the fourth byte is ignored).
    static MarkerPicture fromView(const markeye::ImageView& i_view);
    // i_rows: i_height strings of equal length (the width); '#' is black,
    // any other character white. Throws std::invalid_argument for ragged rows.
    static MarkerPicture fromText(const char* const* i_rows, int32_t i_height);

    int32_t getWidth() const { return _width; }
    int32_t getHeight() const { return _height; }
    // Red, green, blue of pixel (i_x, i_y); the pixel must be inside.
    const uint8_t* getPixel(int32_t i_x, int32_t i_y) const { return &_rgb[3 * (i_y * _width + i_x)]; }
    // The picture as RGB pixels, valid while it lives unchanged.
    markeye::ImageView view() const
    {
        return markeye::ImageView{_rgb.data(), _width, _height, 3 * static_cast<std::ptrdiff_t>(_width),
                                  markeye::PixelFormat::RGB};
    }
    void setPixel(int32_t i_x, int32_t i_y, uint8_t i_red, uint8_t i_green, uint8_t i_blue);
    // Nearest pixel to a point given as fractions of the picture: i_u in
    // [0, 1) from left to right, i_v in [0, 1) from top to bottom; points
    // outside are clamped to the edge pixels.
    const uint8_t* sample(double i_u, double i_v) const;
    // The picture turned i_quarter_turns x 90 degrees counter-clockwise (as
    // seen upright); negative turns go clockwise.
    MarkerPicture rotated(int32_t i_quarter_turns) const;

    bool operator==(const MarkerPicture& i_other) const;

private:
    int32_t _width;
    int32_t _height;
    std::vector<uint8_t> _rgb;
};

}  // namespace Markeye
