#include "BackgroundPainter.h"

#include <algorithm>
#include <cmath>

#include "SceneRandom.h"

namespace Markeye {

namespace {

constexpr double PI = 3.141592653589793238463;
// Share of clutter shapes drawn in grey; the rest get a random colour.
constexpr double GREY_SHARE = 0.6;

// A filled shape in pixel coordinates: a convex polygon (rectangles, bars,
// triangles) or an ellipse.
struct TShape
{
    bool ellipse;
    int32_t corners;
    double x[4];
    double y[4];
    // Ellipse: centre in x[0], y[0], half axes, and the axes' direction.
    double half_a;
    double half_b;
    double cosine;
    double sine;
    float rgb[3];
};

void makePolygon(SceneRandom* io_random, double i_cx, double i_cy, double i_half_a, double i_half_b,
                 TShape* o_shape)
{
    const double angle = io_random->uniform(0.0, PI);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double sx[4] = {-i_half_a, i_half_a, i_half_a, -i_half_a};
    const double sy[4] = {-i_half_b, -i_half_b, i_half_b, i_half_b};
    o_shape->corners = 4;
    for (int k = 0; k < 4; k++) {
        o_shape->x[k] = i_cx + c * sx[k] - s * sy[k];
        o_shape->y[k] = i_cy + s * sx[k] + c * sy[k];
    }
}

void makeTriangle(SceneRandom* io_random, double i_cx, double i_cy, double i_size, TShape* o_shape)
{
    o_shape->corners = 3;
    for (int k = 0; k < 3; k++) {
        const double angle = io_random->uniform(0.0, 2.0 * PI);
        const double radius = io_random->uniform(0.3, 1.0) * i_size;
        o_shape->x[k] = i_cx + radius * std::cos(angle);
        o_shape->y[k] = i_cy + radius * std::sin(angle);
    }
}

TShape randomShape(SceneRandom* io_random, int32_t i_width, int32_t i_height)
{
    TShape shape{};
    const double cx = io_random->uniform(0.0, i_width);
    const double cy = io_random->uniform(0.0, i_height);
    const double max_size = std::max(4.0, std::min(i_width, i_height) / 6.0);
    const double size = io_random->uniform(3.0, max_size);
    switch (io_random->below(4)) {
    case 0:
        makePolygon(io_random, cx, cy, size, io_random->uniform(0.3, 1.0) * size, &shape);
        break;
    case 1:
        // A bar: long and one to three pixels thick.
        makePolygon(io_random, cx, cy, 2.0 * size, io_random->uniform(0.5, 1.5), &shape);
        break;
    case 2:
        makeTriangle(io_random, cx, cy, size, &shape);
        break;
    default:
        shape.ellipse = true;
        shape.x[0] = cx;
        shape.y[0] = cy;
        shape.half_a = size;
        shape.half_b = io_random->uniform(0.3, 1.0) * size;
        shape.cosine = std::cos(io_random->uniform(0.0, PI));
        shape.sine = std::sqrt(1.0 - shape.cosine * shape.cosine);
        break;
    }
    const bool grey = io_random->uniform() < GREY_SHARE;
    const double level = io_random->uniform(0.0, 255.0);
    for (float& c : shape.rgb) {
        c = static_cast<float>(grey ? level : io_random->uniform(0.0, 255.0));
    }
    return shape;
}

bool contains(const TShape& i_shape, double i_x, double i_y)
{
    if (i_shape.ellipse) {
        const double dx = i_x - i_shape.x[0];
        const double dy = i_y - i_shape.y[0];
        const double a = (i_shape.cosine * dx + i_shape.sine * dy) / i_shape.half_a;
        const double b = (-i_shape.sine * dx + i_shape.cosine * dy) / i_shape.half_b;
        return a * a + b * b <= 1.0;
    }
    // Convex polygon: the point is on the same side of every edge.
    bool positive = false;
    bool negative = false;
    for (int32_t k = 0; k < i_shape.corners; k++) {
        const int32_t next = (k + 1) % i_shape.corners;
        const double cross = (i_shape.x[next] - i_shape.x[k]) * (i_y - i_shape.y[k]) -
                             (i_shape.y[next] - i_shape.y[k]) * (i_x - i_shape.x[k]);
        positive = positive || cross > 0.0;
        negative = negative || cross < 0.0;
    }
    return !(positive && negative);
}

void fillShape(const TShape& i_shape, FloatRgbImage* io_image)
{
    double left = i_shape.x[0];
    double right = i_shape.x[0];
    double top = i_shape.y[0];
    double bottom = i_shape.y[0];
    if (i_shape.ellipse) {
        left -= i_shape.half_a;
        right += i_shape.half_a;
        top -= i_shape.half_a;
        bottom += i_shape.half_a;
    }
    for (int32_t k = 1; k < i_shape.corners; k++) {
        left = std::min(left, i_shape.x[k]);
        right = std::max(right, i_shape.x[k]);
        top = std::min(top, i_shape.y[k]);
        bottom = std::max(bottom, i_shape.y[k]);
    }
    // Shape coordinates stay within a few frame sizes, so the casts are safe.
    const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(left)));
    const int32_t x1 = std::min(io_image->getWidth() - 1, static_cast<int32_t>(std::ceil(right)));
    const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(top)));
    const int32_t y1 = std::min(io_image->getHeight() - 1, static_cast<int32_t>(std::ceil(bottom)));
    for (int32_t y = y0; y <= y1; y++) {
        for (int32_t x = x0; x <= x1; x++) {
            if (contains(i_shape, x, y)) {
                std::copy(i_shape.rgb, i_shape.rgb + FloatRgbImage::CHANNELS, io_image->getPixel(x, y));
            }
        }
    }
}

}  // namespace

void BackgroundPainter::paint(const TSceneOptions& i_options, FloatRgbImage* o_image)
{
    paintLevel(i_options, o_image);
    paintClutter(i_options, o_image);
}

void BackgroundPainter::paintLevel(const TSceneOptions& i_options, FloatRgbImage* o_image)
{
    for (int32_t y = 0; y < o_image->getHeight(); y++) {
        const double row_level = i_options.background_level + i_options.background_gradient_y * o_image->rowFraction(y);
        float* pixel = o_image->getPixel(0, y);
        for (int32_t x = 0; x < o_image->getWidth(); x++) {
            const auto level =
                static_cast<float>(row_level + i_options.background_gradient_x * o_image->columnFraction(x));
            std::fill(pixel, pixel + FloatRgbImage::CHANNELS, level);
            pixel += FloatRgbImage::CHANNELS;
        }
    }
}

void BackgroundPainter::paintClutter(const TSceneOptions& i_options, FloatRgbImage* o_image)
{
    SceneRandom random(i_options.seed, CLUTTER_STREAM);
    for (int32_t i = 0; i < i_options.clutter_shapes; i++) {
        fillShape(randomShape(&random, o_image->getWidth(), o_image->getHeight()), o_image);
    }
}

}  // namespace Markeye
