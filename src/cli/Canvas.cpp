#include "Canvas.h"

#include <algorithm>
#include <cmath>

#include "BitmapFont.h"

namespace Markeye {

namespace {

// The pixel range [o_first, o_last] covering [i_low, i_high], within [0, i_size).
bool pixelRange(double i_low, double i_high, int32_t i_size, int32_t* o_first, int32_t* o_last)
{
    if (!std::isfinite(i_low) || !std::isfinite(i_high) || i_high < -0.5 || i_low > i_size - 0.5) {
        return false;
    }
    *o_first = static_cast<int32_t>(std::max(0.0, std::ceil(i_low - 0.5)));
    *o_last = static_cast<int32_t>(std::min(i_size - 1.0, std::floor(i_high + 0.5)));
    return *o_first <= *o_last;
}

}  // namespace

void Canvas::plot(int32_t i_x, int32_t i_y, const TColour& i_colour)
{
    if (!_image->contains(i_x, i_y)) {
        return;
    }
    uint8_t* pixel = _image->pixel(i_x, i_y);
    pixel[0] = i_colour.blue;
    pixel[1] = i_colour.green;
    pixel[2] = i_colour.red;
}

void Canvas::line(double i_x0, double i_y0, double i_x1, double i_y1, double i_width, const TColour& i_colour)
{
    const double reach = i_width / 2.0;
    int32_t x_first = 0;
    int32_t x_last = 0;
    int32_t y_first = 0;
    int32_t y_last = 0;
    if (!pixelRange(std::min(i_x0, i_x1) - reach, std::max(i_x0, i_x1) + reach, _image->width(), &x_first, &x_last) ||
        !pixelRange(std::min(i_y0, i_y1) - reach, std::max(i_y0, i_y1) + reach, _image->height(), &y_first, &y_last)) {
        return;
    }
    const double dx = i_x1 - i_x0;
    const double dy = i_y1 - i_y0;
    const double length_squared = dx * dx + dy * dy;
    for (int32_t y = y_first; y <= y_last; y++) {
        for (int32_t x = x_first; x <= x_last; x++) {
            // Distance from the pixel centre to the nearest point of the segment.
            const double along =
                length_squared > 0.0 ? std::clamp(((x - i_x0) * dx + (y - i_y0) * dy) / length_squared, 0.0, 1.0) : 0.0;
            if (std::hypot(x - (i_x0 + along * dx), y - (i_y0 + along * dy)) <= reach) {
                plot(x, y, i_colour);
            }
        }
    }
}

void Canvas::disc(double i_x, double i_y, double i_radius, const TColour& i_colour)
{
    line(i_x, i_y, i_x, i_y, 2.0 * i_radius, i_colour);
}

void Canvas::box(int32_t i_x, int32_t i_y, int32_t i_width, int32_t i_height, const TColour& i_colour)
{
    for (int32_t y = std::max(0, i_y); y < std::min(_image->height(), i_y + i_height); y++) {
        for (int32_t x = std::max(0, i_x); x < std::min(_image->width(), i_x + i_width); x++) {
            plot(x, y, i_colour);
        }
    }
}

void Canvas::text(int32_t i_x, int32_t i_y, const std::string& i_text, int32_t i_scale, const TColour& i_colour)
{
    for (size_t i = 0; i < i_text.size(); i++) {
        const int32_t left = i_x + static_cast<int32_t>(i) * BitmapFont::ADVANCE * i_scale;
        for (int y = 0; y < BitmapFont::HEIGHT; y++) {
            for (int x = 0; x < BitmapFont::WIDTH; x++) {
                if (BitmapFont::isSet(i_text[i], x, y)) {
                    box(left + x * i_scale, i_y + y * i_scale, i_scale, i_scale, i_colour);
                }
            }
        }
    }
}

void Canvas::label(int32_t i_x, int32_t i_y, const std::string& i_text, int32_t i_scale, const TColour& i_colour,
                   const TColour& i_background)
{
    box(i_x - i_scale, i_y - i_scale, textWidth(i_text, i_scale) + 2 * i_scale, textHeight(i_scale) + 2 * i_scale,
        i_background);
    text(i_x, i_y, i_text, i_scale, i_colour);
}

int32_t Canvas::textWidth(const std::string& i_text, int32_t i_scale)
{
    if (i_text.empty()) {
        return 0;
    }
    return (static_cast<int32_t>(i_text.size()) * BitmapFont::ADVANCE - 1) * i_scale;
}

int32_t Canvas::textHeight(int32_t i_scale)
{
    return BitmapFont::HEIGHT * i_scale;
}

}  // namespace Markeye
