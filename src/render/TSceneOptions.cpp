#include "TSceneOptions.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace Markeye {

namespace {

// Bounds that keep kernels and loops reasonable; far beyond any useful scene.
constexpr int32_t MAX_SUPERSAMPLE = 64;
constexpr int32_t MAX_CLUTTER_SHAPES = 100000;
constexpr int32_t MAX_BLUR_RADIUS = 100;
constexpr double MAX_BLUR_SIGMA = 100.0;

void require(bool i_condition, const char* i_field)
{
    if (!i_condition) {
        throw std::invalid_argument(std::string("scene option out of range: ") + i_field);
    }
}

}  // namespace

void TSceneOptions::check() const
{
    require(supersample >= 1 && supersample <= MAX_SUPERSAMPLE, "supersample");
    require(std::isfinite(background_level), "background_level");
    require(std::isfinite(background_gradient_x), "background_gradient_x");
    require(std::isfinite(background_gradient_y), "background_gradient_y");
    require(clutter_shapes >= 0 && clutter_shapes <= MAX_CLUTTER_SHAPES, "clutter_shapes");
    require(std::isfinite(illumination_gain) && illumination_gain >= 0.0, "illumination_gain");
    require(std::isfinite(illumination_gradient_x), "illumination_gradient_x");
    require(std::isfinite(illumination_gradient_y), "illumination_gradient_y");
    require(box_blur_radius >= 0 && box_blur_radius <= MAX_BLUR_RADIUS, "box_blur_radius");
    require(gaussian_blur_sigma >= 0.0 && gaussian_blur_sigma <= MAX_BLUR_SIGMA, "gaussian_blur_sigma");
    require(std::isfinite(noise_sigma) && noise_sigma >= 0.0, "noise_sigma");
}

}  // namespace Markeye
