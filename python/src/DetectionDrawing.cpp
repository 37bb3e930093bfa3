#include "DetectionDrawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace MarkeyePython {

namespace {

// Red, green, blue.
using TRgb = std::array<uint8_t, 3>;
const TRgb OUTLINE_RGB = {255, 220, 0};
const TRgb VERTEX_ZERO_RGB = {255, 0, 255};
const TRgb AXIS_RGB[3] = {{255, 40, 40}, {40, 220, 40}, {60, 120, 255}};

// Writes one colour into the pixels of a view, whatever its format.
class PixelWriter
{
public:
    explicit PixelWriter(const markeye::ImageView& i_frame) : _frame(i_frame) {}

    // Every pixel whose centre lies within i_radius of the segment from
    // (i_x0, i_y0) to (i_x1, i_y1): a thick line with round ends, or a
    // disc when the ends are one point. Non-finite ends draw nothing.
    void stroke(double i_x0, double i_y0, double i_x1, double i_y1, double i_radius, const TRgb& i_rgb) const
    {
        if (!(std::isfinite(i_x0) && std::isfinite(i_y0) && std::isfinite(i_x1) && std::isfinite(i_y1))) {
            return;
        }
        const double left = std::max(0.0, std::ceil(std::min(i_x0, i_x1) - i_radius));
        const double right = std::min(_frame.width - 1.0, std::floor(std::max(i_x0, i_x1) + i_radius));
        const double top = std::max(0.0, std::ceil(std::min(i_y0, i_y1) - i_radius));
        const double bottom = std::min(_frame.height - 1.0, std::floor(std::max(i_y0, i_y1) + i_radius));
        const double ux = i_x1 - i_x0;
        const double uy = i_y1 - i_y0;
        const double span = ux * ux + uy * uy;
        for (double y = top; y <= bottom; y += 1.0) {
            for (double x = left; x <= right; x += 1.0) {
                const double t = span > 0.0 ? std::clamp(((x - i_x0) * ux + (y - i_y0) * uy) / span, 0.0, 1.0) : 0.0;
                const double ex = x - i_x0 - t * ux;
                const double ey = y - i_y0 - t * uy;
                if (std::hypot(ex, ey) <= i_radius) {
                    put(static_cast<int32_t>(x), static_cast<int32_t>(y), i_rgb);
                }
            }
        }
    }

private:
    void put(int32_t i_x, int32_t i_y, const TRgb& i_rgb) const
    {
        uint8_t* pixel = const_cast<uint8_t*>(_frame.data) + i_y * _frame.stride +
                         static_cast<std::ptrdiff_t>(i_x) * markeye::bytesPerPixel(_frame.format);
        switch (_frame.format) {
        case markeye::PixelFormat::GRAY:
            // Rec. 601 luma, rounded.
            pixel[0] = static_cast<uint8_t>((299 * i_rgb[0] + 587 * i_rgb[1] + 114 * i_rgb[2] + 500) / 1000);
            break;
        case markeye::PixelFormat::RGB:
        case markeye::PixelFormat::RGBA:
        case markeye::PixelFormat::RGBX:
            std::copy(i_rgb.begin(), i_rgb.end(), pixel);
            break;
        default:
            std::reverse_copy(i_rgb.begin(), i_rgb.end(), pixel);
            break;
        }
    }

    markeye::ImageView _frame;
};

// Where the marker point i_point (marker frame, marker-width units) is
// observed; nothing for a point not in front of the camera.
std::optional<std::array<double, 2>> observed(const markeye::Camera& i_camera, const markeye::Detection& i_found,
                                              const std::array<double, 3>& i_point)
{
    std::array<double, 3> in_camera;
    for (int row = 0; row < 3; row++) {
        const std::array<double, 3>& r = i_found.rotation[row];
        in_camera[row] = r[0] * i_point[0] + r[1] * i_point[1] + r[2] * i_point[2] + i_found.translation[row];
    }
    const std::array<double, 12>& p = i_camera.projection();
    std::array<double, 3> ideal;
    for (int row = 0; row < 3; row++) {
        ideal[row] = p[4 * row] * in_camera[0] + p[4 * row + 1] * in_camera[1] + p[4 * row + 2] * in_camera[2] +
                     p[4 * row + 3];
    }
    if (!(ideal[2] > 0.0)) {
        return std::nullopt;
    }
    return i_camera.idealToObserved(ideal[0] / ideal[2], ideal[1] / ideal[2]);
}

}  // namespace

void DetectionDrawing::draw(const markeye::ImageView& i_frame, const markeye::Camera& i_camera,
                            const std::vector<TFoundMarker>& i_markers)
{
    const PixelWriter writer(i_frame);
    const double line_width = 1.0 + std::max(1, i_frame.width / 320);
    for (const TFoundMarker& marker : i_markers) {
        const auto& corners = marker.detection.corners;
        for (int i = 0; i < 4; i++) {
            const auto& to = corners[(i + 1) % 4];
            writer.stroke(corners[i][0], corners[i][1], to[0], to[1], line_width / 2.0, OUTLINE_RGB);
        }
        const std::optional<std::array<double, 2>> centre = observed(i_camera, marker.detection, {0.0, 0.0, 0.0});
        for (int axis = 0; centre && axis < 3; axis++) {
            std::array<double, 3> tip = {0.0, 0.0, 0.0};
            tip[axis] = marker.marker_width / 2.0;
            if (const auto end = observed(i_camera, marker.detection, tip)) {
                writer.stroke((*centre)[0], (*centre)[1], (*end)[0], (*end)[1], line_width / 2.0, AXIS_RGB[axis]);
            }
        }
        writer.stroke(corners[0][0], corners[0][1], corners[0][0], corners[0][1], 2.0 * line_width, VERTEX_ZERO_RGB);
    }
}

}  // namespace MarkeyePython
