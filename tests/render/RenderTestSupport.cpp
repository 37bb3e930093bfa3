#include "RenderTestSupport.h"

#include <cmath>
#include <vector>

using Markeye::SceneRenderer;
using VoTrack::TVoARDoublePoint_t;

namespace RenderTestSupport {

namespace {

// Half-width in pixels of the window that brackets an edge crossing.
constexpr int32_t WINDOW = 6;
constexpr int32_t NEAREST_OFFSET = 4;
constexpr int32_t FARTHEST_OFFSET = 20;

double darkness(const SceneRenderer& i_renderer, int32_t i_x, int32_t i_y)
{
    return (255.0 - channelAt(i_renderer, i_x, i_y, 1)) / 255.0;
}

// Coefficients (a, b, c) of v = a + b t + c t^2 fitted by least squares.
void fitQuadratic(const std::vector<double>& i_t, const std::vector<double>& i_v, double* o_abc)
{
    double s[5] = {0, 0, 0, 0, 0};
    double r[3] = {0, 0, 0};
    for (size_t i = 0; i < i_t.size(); i++) {
        double power = 1.0;
        for (int k = 0; k < 5; k++) {
            s[k] += power;
            if (k < 3) {
                r[k] += power * i_v[i];
            }
            power *= i_t[i];
        }
    }
    // Normal equations [s0 s1 s2; s1 s2 s3; s2 s3 s4] x = r by Cramer's rule.
    const auto det = [](double a, double b, double c, double d, double e, double f, double g, double h, double k) {
        return a * (e * k - f * h) - b * (d * k - f * g) + c * (d * h - e * g);
    };
    const double d = det(s[0], s[1], s[2], s[1], s[2], s[3], s[2], s[3], s[4]);
    o_abc[0] = det(r[0], s[1], s[2], r[1], s[2], s[3], r[2], s[3], s[4]) / d;
    o_abc[1] = det(s[0], r[0], s[2], s[1], r[1], s[3], s[2], r[2], s[4]) / d;
    o_abc[2] = det(s[0], s[1], r[0], s[1], s[2], r[1], s[2], s[3], r[2]) / d;
}

double evaluate(const double* i_abc, double i_t)
{
    return i_abc[0] + i_t * (i_abc[1] + i_t * i_abc[2]);
}

// Fits the edge from i_from toward i_to: positions across the edge as a
// quadratic of the position along it, both relative to i_from. i_by_rows
// measures in rows (a mostly vertical edge), otherwise in columns.
void fitEdge(const SceneRenderer& i_renderer, const TVoARDoublePoint_t& i_from, const TVoARDoublePoint_t& i_to,
             bool i_by_rows, bool i_dark_after, double* o_abc)
{
    const double along_from = i_by_rows ? i_from.y : i_from.x;
    const double across_from = i_by_rows ? i_from.x : i_from.y;
    const double along_to = i_by_rows ? i_to.y : i_to.x;
    const double across_to = i_by_rows ? i_to.x : i_to.y;
    const double direction = along_to > along_from ? 1.0 : -1.0;
    std::vector<double> along;
    std::vector<double> across;
    for (int32_t offset = NEAREST_OFFSET; offset <= FARTHEST_OFFSET; offset++) {
        const auto line = static_cast<int32_t>(std::lround(along_from + direction * offset));
        const double expected =
            across_from + (across_to - across_from) * (line - along_from) / (along_to - along_from);
        const auto centre = static_cast<int32_t>(std::lround(expected));
        const double crossing = i_by_rows
                                    ? edgeInRow(i_renderer, line, centre - WINDOW, centre + WINDOW, i_dark_after)
                                    : edgeInColumn(i_renderer, line, centre - WINDOW, centre + WINDOW, i_dark_after);
        along.push_back(line - along_from);
        across.push_back(crossing - across_from);
    }
    fitQuadratic(along, across, o_abc);
}

}  // namespace

int channelAt(const SceneRenderer& i_renderer, int32_t i_x, int32_t i_y, int i_channel)
{
    // Frame bytes are blue, green, red, unused.
    return i_renderer.getFrame()[4 * (static_cast<size_t>(i_y) * i_renderer.getWidth() + i_x) + 2 - i_channel];
}

double edgeInRow(const SceneRenderer& i_renderer, int32_t i_y, int32_t i_from, int32_t i_to, bool i_dark_after)
{
    double dark = 0.0;
    for (int32_t x = i_from; x <= i_to; x++) {
        dark += darkness(i_renderer, x, i_y);
    }
    return i_dark_after ? i_to + 0.5 - dark : i_from - 0.5 + dark;
}

double edgeInColumn(const SceneRenderer& i_renderer, int32_t i_x, int32_t i_from, int32_t i_to, bool i_dark_after)
{
    double dark = 0.0;
    for (int32_t y = i_from; y <= i_to; y++) {
        dark += darkness(i_renderer, i_x, y);
    }
    return i_dark_after ? i_to + 0.5 - dark : i_from - 0.5 + dark;
}

TVoARDoublePoint_t measureCorner(const SceneRenderer& i_renderer, const TVoARDoublePoint_t& i_guess,
                                 const TVoARDoublePoint_t& i_vertical_neighbour,
                                 const TVoARDoublePoint_t& i_horizontal_neighbour)
{
    // The marker lies toward the horizontal neighbour across the vertical
    // edge, and toward the vertical neighbour across the horizontal one.
    double vertical[3];
    double horizontal[3];
    fitEdge(i_renderer, i_guess, i_vertical_neighbour, true, i_horizontal_neighbour.x > i_guess.x, vertical);
    fitEdge(i_renderer, i_guess, i_horizontal_neighbour, false, i_vertical_neighbour.y > i_guess.y, horizontal);
    // Alternate between the two curves; both are nearly axis-parallel, so
    // this converges fast.
    double dx = 0.0;
    double dy = 0.0;
    for (int i = 0; i < 50; i++) {
        dx = evaluate(vertical, dy);
        dy = evaluate(horizontal, dx);
    }
    return TVoARDoublePoint_t{i_guess.x + dx, i_guess.y + dy};
}

}  // namespace RenderTestSupport
