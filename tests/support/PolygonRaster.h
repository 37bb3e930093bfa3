#pragma once

// Draws filled polygons into binary rasters for the detection tests: the
// independent construction that the detected outlines and corners are
// checked against. Header-only.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "VoARBinRaster.h"

namespace VoTrackTest {

struct PolygonPoint
{
    double x;
    double y;
};

using Polygon = std::vector<PolygonPoint>;

// True when (i_x, i_y) lies inside i_polygon by the even-odd rule; a point
// exactly on a horizontal or right-hand boundary counts as outside.
inline bool isInsidePolygon(const Polygon& i_polygon, double i_x, double i_y)
{
    bool inside = false;
    const std::size_t n = i_polygon.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const PolygonPoint& a = i_polygon[i];
        const PolygonPoint& b = i_polygon[j];
        if ((a.y > i_y) != (b.y > i_y)) {
            const double cross_x = a.x + (i_y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (i_x < cross_x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

// Sets every pixel of the raster to i_value (1 bright, 0 dark).
inline void fillRaster(VoTrack::VoARBinRaster& io_raster, int32_t i_value)
{
    int32_t* pixels = io_raster.getIntBuffer();
    std::fill(pixels, pixels + static_cast<std::ptrdiff_t>(io_raster.getWidth()) * io_raster.getHeight(), i_value);
}

// Darkens pixel (x, y) when i_map(x, y) lies inside i_polygon; i_map takes a
// pixel centre to the polygon's coordinates (the identity for image
// coordinates, the lens model for ideal ones).
template <class Map>
void fillPolygonMapped(VoTrack::VoARBinRaster& io_raster, const Polygon& i_polygon, Map i_map)
{
    const int32_t width = io_raster.getWidth();
    int32_t* pixels = io_raster.getIntBuffer();
    for (int32_t y = 0; y < io_raster.getHeight(); y++) {
        for (int32_t x = 0; x < width; x++) {
            const PolygonPoint p = i_map(x, y);
            if (isInsidePolygon(i_polygon, p.x, p.y)) {
                pixels[static_cast<std::ptrdiff_t>(y) * width + x] = 0;
            }
        }
    }
}

// Darkens the pixels whose centres lie inside i_polygon (image coordinates).
inline void fillPolygon(VoTrack::VoARBinRaster& io_raster, const Polygon& i_polygon)
{
    fillPolygonMapped(io_raster, i_polygon, [](int32_t i_x, int32_t i_y) {
        return PolygonPoint{static_cast<double>(i_x), static_cast<double>(i_y)};
    });
}

// Darkens the pixels of columns i_left..i_right and rows i_top..i_bottom.
inline void fillRect(VoTrack::VoARBinRaster& io_raster, int32_t i_left, int32_t i_top, int32_t i_right,
                     int32_t i_bottom)
{
    for (int32_t y = i_top; y <= i_bottom; y++) {
        for (int32_t x = i_left; x <= i_right; x++) {
            io_raster.getIntBuffer()[static_cast<std::ptrdiff_t>(y) * io_raster.getWidth() + x] = 0;
        }
    }
}

}  // namespace VoTrackTest
