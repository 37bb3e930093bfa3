#include "FrameEffects.h"

#include <algorithm>
#include <cmath>

#include "SceneRandom.h"

namespace Markeye {

namespace {

constexpr int32_t C = FloatRgbImage::CHANNELS;

// One channel-interleaved line of n pixels, reached through a pixel stride,
// convolved with a centred kernel; samples beyond either end repeat the end.
void convolveLine(const float* i_in, size_t i_stride, int32_t i_count, const std::vector<float>& i_kernel,
                  float* o_out)
{
    const auto radius = static_cast<int32_t>(i_kernel.size() / 2);
    for (int32_t p = 0; p < i_count; p++) {
        float sum[C] = {0.0f, 0.0f, 0.0f};
        for (int32_t k = -radius; k <= radius; k++) {
            const int32_t q = std::clamp(p + k, 0, i_count - 1);
            const float* in = i_in + static_cast<size_t>(q) * i_stride;
            const float weight = i_kernel[static_cast<size_t>(k + radius)];
            for (int32_t c = 0; c < C; c++) {
                sum[c] += weight * in[c];
            }
        }
        std::copy(sum, sum + C, o_out + static_cast<size_t>(p) * i_stride);
    }
}

}  // namespace

FrameEffects::FrameEffects(int32_t i_width, int32_t i_height) : _pass(i_width, i_height) {}

void FrameEffects::illuminate(const TSceneOptions& i_options, FloatRgbImage* io_image) const
{
    if (i_options.illumination_gain == 1.0 && i_options.illumination_gradient_x == 0.0 &&
        i_options.illumination_gradient_y == 0.0) {
        return;
    }
    for (int32_t y = 0; y < io_image->getHeight(); y++) {
        const double row_light = 1.0 + i_options.illumination_gradient_y * io_image->rowFraction(y);
        float* pixel = io_image->getPixel(0, y);
        for (int32_t x = 0; x < io_image->getWidth(); x++) {
            const double light = row_light + i_options.illumination_gradient_x * io_image->columnFraction(x);
            const auto factor = static_cast<float>(i_options.illumination_gain * std::max(0.0, light));
            for (int32_t c = 0; c < C; c++) {
                pixel[c] *= factor;
            }
            pixel += C;
        }
    }
}

void FrameEffects::blur(const TSceneOptions& i_options, FloatRgbImage* io_image)
{
    if (i_options.box_blur_radius > 0) {
        const auto size = static_cast<size_t>(2 * i_options.box_blur_radius + 1);
        _kernel.assign(size, 1.0f / static_cast<float>(size));
        convolve(io_image);
    }
    if (i_options.gaussian_blur_sigma > 0.0) {
        const double sigma = i_options.gaussian_blur_sigma;
        const auto radius = static_cast<int32_t>(std::ceil(GAUSSIAN_REACH * sigma));
        _kernel.resize(static_cast<size_t>(2 * radius + 1));
        double total = 0.0;
        for (int32_t k = -radius; k <= radius; k++) {
            total += std::exp(-0.5 * (k / sigma) * (k / sigma));
        }
        for (int32_t k = -radius; k <= radius; k++) {
            _kernel[static_cast<size_t>(k + radius)] =
                static_cast<float>(std::exp(-0.5 * (k / sigma) * (k / sigma)) / total);
        }
        convolve(io_image);
    }
}

void FrameEffects::convolve(FloatRgbImage* io_image)
{
    const int32_t width = io_image->getWidth();
    const int32_t height = io_image->getHeight();
    for (int32_t y = 0; y < height; y++) {
        convolveLine(io_image->getPixel(0, y), C, width, _kernel, _pass.getPixel(0, y));
    }
    const size_t row_stride = static_cast<size_t>(C) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; x++) {
        convolveLine(_pass.getPixel(x, 0), row_stride, height, _kernel, io_image->getPixel(x, 0));
    }
}

void FrameEffects::addNoise(const TSceneOptions& i_options, FloatRgbImage* io_image) const
{
    if (i_options.noise_sigma == 0.0) {
        return;
    }
    SceneRandom random(i_options.seed, NOISE_STREAM);
    const size_t count = static_cast<size_t>(C) * io_image->getWidth() * io_image->getHeight();
    float* data = io_image->getData();
    for (size_t i = 0; i < count; i++) {
        data[i] += static_cast<float>(i_options.noise_sigma * random.gaussian());
    }
}

void FrameEffects::toBgra(const FloatRgbImage& i_image, uint8_t* o_bgra)
{
    const size_t pixels = static_cast<size_t>(i_image.getWidth()) * i_image.getHeight();
    const float* rgb = i_image.getData();
    for (size_t i = 0; i < pixels; i++) {
        for (int32_t c = 0; c < C; c++) {
            // Clamp first (NaN to 0) so the conversion is always in range.
            const float value = rgb[C * i + c];
            const float level = value > 0.0f ? std::min(value, 255.0f) : 0.0f;
            o_bgra[4 * i + 2 - c] = static_cast<uint8_t>(level + 0.5f);
        }
        o_bgra[4 * i + 3] = 255;
    }
}

}  // namespace Markeye
