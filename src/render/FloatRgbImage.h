#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Markeye {

// The renderer's working image: red, green, blue floats per pixel (grey
// levels, not clamped), row by row without padding.
class FloatRgbImage
{
public:
    static constexpr int32_t CHANNELS = 3;

    // Allocates width x height pixels, all 0.
    FloatRgbImage(int32_t i_width, int32_t i_height);

    int32_t getWidth() const { return _width; }
    int32_t getHeight() const { return _height; }
    float* getData() { return _data.data(); }
    const float* getData() const { return _data.data(); }
    float* getPixel(int32_t i_x, int32_t i_y) { return &_data[CHANNELS * (static_cast<size_t>(i_y) * _width + i_x)]; }
    const float* getPixel(int32_t i_x, int32_t i_y) const
    {
        return &_data[CHANNELS * (static_cast<size_t>(i_y) * _width + i_x)];
    }
    // Position of a column (row) from -0.5 at the first to +0.5 at the last;
    // 0 for an image one pixel wide (high). Gradients are given over it.
    double columnFraction(int32_t i_x) const { return fraction(i_x, _width); }
    double rowFraction(int32_t i_y) const { return fraction(i_y, _height); }

private:
    static double fraction(int32_t i_index, int32_t i_count)
    {
        return i_count > 1 ? static_cast<double>(i_index) / (i_count - 1) - 0.5 : 0.0;
    }

    int32_t _width;
    int32_t _height;
    std::vector<float> _data;
};

}  // namespace Markeye
