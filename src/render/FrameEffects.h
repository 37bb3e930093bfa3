#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FloatRgbImage.h"
#include "TSceneOptions.h"

namespace Markeye {

// The camera effects applied after the scene is drawn: illumination, blur
// and noise, then the conversion to a 32-bit BGRA frame. Holds the blur's
// intermediate image, sized once for the frame.
class FrameEffects
{
public:
    // Random-number stream of the noise, apart from the clutter's.
    static constexpr uint64_t NOISE_STREAM = 2;
    // A Gaussian kernel reaches this many standard deviations on each side.
    static constexpr double GAUSSIAN_REACH = 3.0;

    FrameEffects(int32_t i_width, int32_t i_height);

    void illuminate(const TSceneOptions& i_options, FloatRgbImage* io_image) const;
    void blur(const TSceneOptions& i_options, FloatRgbImage* io_image);
    void addNoise(const TSceneOptions& i_options, FloatRgbImage* io_image) const;
    // Rounds every value to the nearest level in 0..255 and writes blue,
    // green, red and 255 per pixel to o_bgra (4 x width x height bytes).
    static void toBgra(const FloatRgbImage& i_image, uint8_t* o_bgra);

private:
    // Convolves with _kernel (odd length, centred) along rows, then columns.
    void convolve(FloatRgbImage* io_image);

    FloatRgbImage _pass;
    std::vector<float> _kernel;
};

}  // namespace Markeye
