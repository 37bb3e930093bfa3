#pragma once

#include <cstdint>

namespace VoTrack {

// One detected square. Corner i and edge i follow the outline clockwise on
// the screen (x right, y down); edge i runs from corner i to corner (i+1) mod 4.
// The detector writes every field before a record counts as a square.
struct VoARSquare
{
    // Edge i as (A, B, C) with B*x + A*y + C = 0 in ideal coordinates; (A, B)
    // is a unit vector. Note the first coefficient belongs to y.
    double edge_lines[4][3];
    // Corner i in ideal coordinates: edge (i + 3) mod 4 meets edge i.
    double ideal_vertices[4][2];
    // Corner i in observed pixels: the outline pixel chosen as corner i.
    int32_t image_vertices[4][2];
};

}  // namespace VoTrack
