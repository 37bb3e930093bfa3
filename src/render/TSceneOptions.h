#pragma once

#include <cstdint>

namespace Markeye {

// How a scene is rendered besides its markers. Grey levels are 0 (black) to
// 255 (white); the frame is drawn in this order: background, markers,
// illumination, blur, noise, then rounded to bytes.
struct TSceneOptions
{
    // Samples per pixel along each axis (1 to 64); marker edges get
    // supersample^2 coverage levels.
    int32_t supersample = 3;

    // Background grey at the image centre, and the difference in grey levels
    // between the last and the first column (x) or row (y): a linear gradient.
    double background_level = 200.0;
    double background_gradient_x = 0.0;
    double background_gradient_y = 0.0;
    // Random filled shapes (rectangles, bars, triangles, ellipses) of random
    // grey levels and colours drawn over the background; 0 for none.
    int32_t clutter_shapes = 0;

    // Light falling on the whole scene: every value is multiplied by
    // gain x (1 + gradient_x x (column fraction) + gradient_y x (row
    // fraction)), the fractions running from -0.5 at the first column or row
    // to +0.5 at the last, the factor clamped at 0.
    double illumination_gain = 1.0;
    double illumination_gradient_x = 0.0;
    double illumination_gradient_y = 0.0;

    // Blur: a box of (2 r + 1) x (2 r + 1) pixels, then a Gaussian of this
    // standard deviation in pixels; 0 for none. Edges repeat the border pixel.
    int32_t box_blur_radius = 0;
    double gaussian_blur_sigma = 0.0;

    // Standard deviation in grey levels of independent Gaussian noise added
    // to every channel of every pixel; 0 for none.
    double noise_sigma = 0.0;

    // Seeds the clutter and the noise: equal seeds give equal frames.
    uint64_t seed = 1;

    // Throws std::invalid_argument naming the first field out of range.
    void check() const;
};

}  // namespace Markeye
