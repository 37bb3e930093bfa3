#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "VoARCode.h"
#include "VoARColorPatt_O3.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARRgbRaster_BGRA.h"

using namespace VoTrack;

// Checks the orientation rules of docs/orientation.md on drawn markers: block
// d of a pattern is the upright picture turned d quarter turns
// counter-clockwise, and direction d makes marker corner i (0 = the upright
// picture's top-left, then clockwise) the square's corner (i + 4 - d) mod 4.

namespace {

constexpr int32_t GRID = 16;
constexpr int32_t FRAME_SIZE = 200;

using Rgb = std::array<int32_t, 3>;
// [row][column] of an upright picture.
using Picture = std::vector<Rgb>;

// Quarters of distinct colours, so that every turn and mirror differs:
// red top-left, white top-right, green bottom-right, black bottom-left.
Picture uprightPicture()
{
    Picture picture(GRID * GRID);
    for (int32_t row = 0; row < GRID; row++) {
        for (int32_t column = 0; column < GRID; column++) {
            const bool top = row < GRID / 2;
            const bool left = column < GRID / 2;
            picture[row * GRID + column] = top ? (left ? Rgb{255, 0, 0} : Rgb{255, 255, 255})
                                               : (left ? Rgb{0, 0, 0} : Rgb{0, 200, 0});
        }
    }
    return picture;
}

// One quarter turn counter-clockwise as seen on the screen (row 0 on top):
// the old top-right cell becomes the top-left one.
Picture turnedCounterClockwise(const Picture& i_picture)
{
    Picture out(i_picture.size());
    for (int32_t row = 0; row < GRID; row++) {
        for (int32_t column = 0; column < GRID; column++) {
            out[row * GRID + column] = i_picture[column * GRID + (GRID - 1 - row)];
        }
    }
    return out;
}

// Block d = the upright picture turned d times, written in file order.
std::vector<int32_t> patternFileNumbers(const Picture& i_upright)
{
    std::vector<int32_t> numbers;
    Picture block = i_upright;
    for (int32_t d = 0; d < 4; d++) {
        for (int32_t plane = 0; plane < 3; plane++) {
            for (const Rgb& cell : block) {
                numbers.push_back(cell[2 - plane]);
            }
        }
        block = turnedCounterClockwise(block);
    }
    return numbers;
}

// Projective map of the unit square onto a quadrilateral (corners at u, v =
// (0, 0), (1, 0), (1, 1), (0, 1)), in closed form, with its inverse.
class QuadMap
{
public:
    explicit QuadMap(const std::array<std::array<double, 2>, 4>& i_q)
    {
        const double x0 = i_q[0][0], y0 = i_q[0][1], x1 = i_q[1][0], y1 = i_q[1][1];
        const double x2 = i_q[2][0], y2 = i_q[2][1], x3 = i_q[3][0], y3 = i_q[3][1];
        const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
        const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
        const double det = dx1 * dy2 - dx2 * dy1;
        const double g = (sx * dy2 - dx2 * sy) / det;
        const double h = (dx1 * sy - sx * dy1) / det;
        _m = {x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1.0};
        const std::array<double, 9>& m = _m;
        _inverse = {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
                    m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
                    m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
    }
    std::array<double, 2> toImage(double i_u, double i_v) const { return apply(_m, i_u, i_v); }
    std::array<double, 2> toSquare(double i_x, double i_y) const { return apply(_inverse, i_x, i_y); }

private:
    static std::array<double, 2> apply(const std::array<double, 9>& i_m, double i_a, double i_b)
    {
        const double w = i_m[6] * i_a + i_m[7] * i_b + i_m[8];
        return {(i_m[0] * i_a + i_m[1] * i_b + i_m[2]) / w, (i_m[3] * i_a + i_m[4] * i_b + i_m[5]) / w};
    }

    std::array<double, 9> _m;
    std::array<double, 9> _inverse;
};

// Screen quadrilateral of the marker, clockwise from its top-left corner.
const std::array<std::array<double, 2>, 4> SCREEN_QUAD = {{{40, 30}, {170, 45}, {160, 175}, {25, 150}}};

// Offset from the marker's centre (in marker widths, x right, y down) of a
// point of the upright picture once the picture is turned i_turns quarter
// turns counter-clockwise on the screen.
std::array<double, 2> turnOnScreen(double i_dx, double i_dy, int32_t i_turns)
{
    for (int32_t k = 0; k < i_turns; k++) {
        const double dx = i_dx;
        i_dx = i_dy;
        i_dy = -dx;
    }
    return {i_dx, i_dy};
}

// The marker, turned i_turns quarter turns counter-clockwise, drawn on a
// white BGRA frame: a black border a quarter of the width wide around the
// picture.
std::vector<uint8_t> drawMarker(const Picture& i_upright, int32_t i_turns)
{
    const QuadMap map(SCREEN_QUAD);
    std::vector<uint8_t> frame(4 * FRAME_SIZE * FRAME_SIZE, 255);
    for (int32_t y = 0; y < FRAME_SIZE; y++) {
        for (int32_t x = 0; x < FRAME_SIZE; x++) {
            const std::array<double, 2> s = map.toSquare(x + 0.5, y + 0.5);
            if (s[0] < 0.0 || s[0] >= 1.0 || s[1] < 0.0 || s[1] >= 1.0) {
                continue;
            }
            // Undo the turn: the inverse of a counter-clockwise turn is three.
            const std::array<double, 2> d = turnOnScreen(s[0] - 0.5, s[1] - 0.5, (4 - i_turns) % 4);
            Rgb colour = {0, 0, 0};
            if (std::fabs(d[0]) < 0.25 && std::fabs(d[1]) < 0.25) {
                const int32_t column = static_cast<int32_t>((d[0] + 0.25) * 2 * GRID);
                const int32_t row = static_cast<int32_t>((d[1] + 0.25) * 2 * GRID);
                colour = i_upright[row * GRID + column];
            }
            uint8_t* pixel = &frame[static_cast<size_t>(4 * (y * FRAME_SIZE + x))];
            pixel[0] = static_cast<uint8_t>(colour[2]);
            pixel[1] = static_cast<uint8_t>(colour[1]);
            pixel[2] = static_cast<uint8_t>(colour[0]);
        }
    }
    return frame;
}

int32_t nearestCorner(const VoARSquare& i_square, const std::array<double, 2>& i_point)
{
    int32_t best = 0;
    double best_distance = 1e300;
    for (int32_t k = 0; k < 4; k++) {
        const double dx = i_square.image_vertices[k][0] - i_point[0];
        const double dy = i_square.image_vertices[k][1] - i_point[1];
        if (dx * dx + dy * dy < best_distance) {
            best_distance = dx * dx + dy * dy;
            best = k;
        }
    }
    return best;
}

}  // namespace

// turns: the marker's counter-clockwise quarter turns on the screen; first
// corner: the screen corner (0 top-left, clockwise) given as square corner 0.
struct OrientationCase
{
    int32_t turns;
    int32_t first_corner;
};

class PatternOrientationTest : public ::testing::TestWithParam<OrientationCase>
{
};

TEST_P(PatternOrientationTest, DirectionIsTurnsPlusFirstCornerAndPlacesMarkerCorners)
{
    const OrientationCase c = GetParam();
    const Picture upright = uprightPicture();
    VoARCode code(GRID, GRID);
    const std::vector<int32_t> numbers = patternFileNumbers(upright);
    code.setFromArray(numbers.data(), GRID, GRID);

    std::vector<uint8_t> frame = drawMarker(upright, c.turns);
    VoARRgbRaster_BGRA raster(frame.data(), FRAME_SIZE, FRAME_SIZE);
    VoARSquare square{};
    for (int32_t k = 0; k < 4; k++) {
        square.image_vertices[k][0] = static_cast<int32_t>(SCREEN_QUAD[(k + c.first_corner) % 4][0]);
        square.image_vertices[k][1] = static_cast<int32_t>(SCREEN_QUAD[(k + c.first_corner) % 4][1]);
    }
    VoARColorPatt_O3 sampler(GRID, GRID);
    VoARMatchPatt_Color_WITHOUT_PCA matcher;
    ASSERT_TRUE(sampler.sampleSquare(&raster, &square));
    ASSERT_TRUE(matcher.setSample(&sampler));
    matcher.matchCode(&code);

    const int32_t d = matcher.getDirection();
    EXPECT_EQ(d, (c.turns + c.first_corner) % 4);
    // Cells cut by a colour edge may mix; the rest match exactly.
    EXPECT_GT(matcher.getConfidence(), 0.95);

    // Marker corner i: the upright picture's top-left, top-right,
    // bottom-right, bottom-left corner, found on the screen.
    const QuadMap map(SCREEN_QUAD);
    const std::array<std::array<double, 2>, 4> upright_corners = {{{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}}};
    for (int32_t i = 0; i < 4; i++) {
        const std::array<double, 2> t = turnOnScreen(upright_corners[i][0], upright_corners[i][1], c.turns);
        EXPECT_EQ(nearestCorner(square, map.toImage(t[0] + 0.5, t[1] + 0.5)), (i + 4 - d) % 4) << "marker corner " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, PatternOrientationTest,
    ::testing::Values(OrientationCase{0, 0}, OrientationCase{1, 0}, OrientationCase{2, 0}, OrientationCase{3, 0},
                      OrientationCase{0, 1}, OrientationCase{0, 3}, OrientationCase{1, 1}, OrientationCase{3, 2}),
    [](const ::testing::TestParamInfo<OrientationCase>& i_info) {
        return "Turns" + std::to_string(i_info.param.turns) + "FirstCorner" + std::to_string(i_info.param.first_corner);
    });
