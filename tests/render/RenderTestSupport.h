#pragma once

#include <cstdint>

#include "SceneRenderer.h"
#include "TVoARDoublePoint_t.h"

// Measurements on rendered frames, made independently of the renderer's
// geometry: edge positions from the grey levels of a dark marker border on
// a white background.
namespace RenderTestSupport {

// Frame channel (0 red, 1 green, 2 blue) of pixel (i_x, i_y).
int channelAt(const Markeye::SceneRenderer& i_renderer, int32_t i_x, int32_t i_y, int i_channel);

// Sub-pixel position of the one white-to-black step between columns i_from
// and i_to of row i_y (i_dark_after: black at the i_to end), from the summed
// darkness: pixel x covers [x - 0.5, x + 0.5).
double edgeInRow(const Markeye::SceneRenderer& i_renderer, int32_t i_y, int32_t i_from, int32_t i_to,
                 bool i_dark_after);
// The same down column i_x between rows i_from and i_to.
double edgeInColumn(const Markeye::SceneRenderer& i_renderer, int32_t i_x, int32_t i_from, int32_t i_to,
                    bool i_dark_after);

// Measures the marker corner near i_guess where a mostly vertical edge
// (toward i_vertical_neighbour) meets a mostly horizontal one (toward
// i_horizontal_neighbour): quadratic fits to 17 edge crossings along each
// edge, from 4 to 20 pixels away from the corner, intersected. The
// neighbours only place the measuring windows.
VoTrack::TVoARDoublePoint_t measureCorner(const Markeye::SceneRenderer& i_renderer,
                                          const VoTrack::TVoARDoublePoint_t& i_guess,
                                          const VoTrack::TVoARDoublePoint_t& i_vertical_neighbour,
                                          const VoTrack::TVoARDoublePoint_t& i_horizontal_neighbour);

}  // namespace RenderTestSupport
