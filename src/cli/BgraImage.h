#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Markeye {

// A frame in the layout the tracker reads: 4 bytes per pixel (blue, green,
// red, then a byte the tracker ignores and this program sets to 255), rows of
// width pixels without padding, row 0 at the top.
class BgraImage
{
public:
    static constexpr int32_t CHANNELS = 4;
    // Largest side and pixel count accepted from a file or a command line:
    // far beyond any camera frame, small enough that a hostile header cannot
    // make the program allocate gigabytes.
    static constexpr int32_t MAX_SIDE = 16384;
    static constexpr int64_t MAX_PIXELS = int64_t(1) << 26;

    BgraImage() = default;
    // Every pixel i_grey, fourth byte 255. Throws CliError naming i_what when
    // the size is outside 1 .. MAX_SIDE or above MAX_PIXELS.
    BgraImage(int32_t i_width, int32_t i_height, uint8_t i_grey = 255, const std::string& i_what = "image");

    static void checkSize(int64_t i_width, int64_t i_height, const std::string& i_what);

    int32_t width() const { return _width; }
    int32_t height() const { return _height; }
    size_t byteCount() const { return _pixels.size(); }
    uint8_t* data() { return _pixels.data(); }
    const uint8_t* data() const { return _pixels.data(); }
    uint8_t* pixel(int32_t i_x, int32_t i_y) { return &_pixels[offset(i_x, i_y)]; }
    const uint8_t* pixel(int32_t i_x, int32_t i_y) const { return &_pixels[offset(i_x, i_y)]; }
    bool contains(int32_t i_x, int32_t i_y) const { return i_x >= 0 && i_y >= 0 && i_x < _width && i_y < _height; }

    // The image reduced by a whole factor, each pixel the mean of a
    // factor x factor block (a partial block at the edges is left out).
    BgraImage shrunk(int32_t i_factor) const;
    // Copies i_source with its top-left pixel at (i_x, i_y); what falls
    // outside this image is left out.
    void paste(const BgraImage& i_source, int32_t i_x, int32_t i_y);

private:
    size_t offset(int32_t i_x, int32_t i_y) const
    {
        return CHANNELS * (static_cast<size_t>(i_y) * static_cast<size_t>(_width) + static_cast<size_t>(i_x));
    }

    int32_t _width = 0;
    int32_t _height = 0;
    std::vector<uint8_t> _pixels;
};

}  // namespace Markeye
