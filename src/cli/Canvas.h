#pragma once

#include <cstdint>
#include <string>

#include "markeye/Image.h"

namespace Markeye {

struct TColour
{
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// Draws lines, discs, boxes and text into a markeye::Image it borrows. Positions
// are pixel coordinates (pixel (x, y) centred on (x, y)); whatever falls
// outside the image, or is not a finite number, is left out.
class Canvas
{
public:
    explicit Canvas(markeye::Image* io_image) : _image(io_image) {}

    // A segment i_width pixels wide with round ends.
    void line(double i_x0, double i_y0, double i_x1, double i_y1, double i_width, const TColour& i_colour);
    void disc(double i_x, double i_y, double i_radius, const TColour& i_colour);
    void box(int32_t i_x, int32_t i_y, int32_t i_width, int32_t i_height, const TColour& i_colour);
    // Text whose top-left is (i_x, i_y), each font pixel i_scale x i_scale.
    void text(int32_t i_x, int32_t i_y, const std::string& i_text, int32_t i_scale, const TColour& i_colour);
    // Text on a box reaching i_scale pixels beyond it on every side.
    void label(int32_t i_x, int32_t i_y, const std::string& i_text, int32_t i_scale, const TColour& i_colour,
               const TColour& i_background);

    static int32_t textWidth(const std::string& i_text, int32_t i_scale);
    static int32_t textHeight(int32_t i_scale);

private:
    void plot(int32_t i_x, int32_t i_y, const TColour& i_colour);

    markeye::Image* _image;
};

}  // namespace Markeye
