// The pose of one square alone, from its four ideal corners: the planar
// solver and the grid-search estimator on the same squares. Each iteration
// solves one square, so the time is per square.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "SyntheticSquare.h"
#include "VoARParam.h"
#include "VoARPlanarPose.h"
#include "VoARSquare.h"
#include "VoARTransMat.h"
#include "VoARTransMatResult.h"

using namespace VoTrack;
using namespace VoTrackTest;

namespace MarkeyeBench {

namespace {

constexpr int SQUARE_COUNT = 64;
// Corner noise in pixels, about what the detector's corners carry.
constexpr double NOISE = 0.2;

struct TSquareKind
{
    const char* name;
    // Tilt from facing the camera, radians.
    double min_tilt;
    double max_tilt;
};

const TSquareKind SQUARE_KINDS[] = {{"facing", 0.0, 0.17}, {"tilted", 0.5, 1.05}};

// Squares of a marker at depth 300 to 800 in view of the 640 x 480 test
// camera (70 to 190 pixels across), through squareFromVertices as the
// detector stores them. The same seed gives both estimators the same squares.
std::vector<VoARSquare> makeSquares(const TSquareKind& i_kind)
{
    std::mt19937 rng(17);
    std::vector<VoARSquare> squares;
    for (int i = 0; i < SQUARE_COUNT; i++) {
        Pose pose;
        pose.r = randomFacingRotation(rng, i_kind.min_tilt, i_kind.max_tilt);
        placeInView(&pose, rng);
        squares.push_back(squareFromVertices(projectMarker(pose, MARKER_WIDTH, NOISE, rng)));
    }
    return squares;
}

void benchPlanarPose(benchmark::State& io_state, const TSquareKind& i_kind)
{
    VoARParam param;
    setTestCamera(&param);
    const VoARPlanarPose solver(param.getProjectionMatrix());
    const std::vector<VoARSquare> squares = makeSquares(i_kind);
    VoARTransMatResult pose;
    double error = 0.0;
    double ambiguity = 0.0;
    std::size_t next = 0;
    for (auto _ : io_state) {
        solver.solve(squares[next].ideal_vertices, MARKER_WIDTH, &pose, &error, &ambiguity);
        benchmark::DoNotOptimize(pose.m23);
        benchmark::DoNotOptimize(ambiguity);
        next = (next + 1) % squares.size();
    }
}

void benchTransMat(benchmark::State& io_state, const TSquareKind& i_kind)
{
    VoARParam param;
    setTestCamera(&param);
    VoARTransMat estimator(&param);
    const std::vector<VoARSquare> squares = makeSquares(i_kind);
    VoARTransMatResult pose;
    std::size_t next = 0;
    for (auto _ : io_state) {
        estimator.computePose(&squares[next], 0, MARKER_WIDTH, &pose);
        benchmark::DoNotOptimize(pose.m23);
        next = (next + 1) % squares.size();
    }
}

const bool REGISTERED = [] {
    for (const TSquareKind& kind : SQUARE_KINDS) {
        benchmark::RegisterBenchmark((std::string("Pose/PlanarPose/") + kind.name).c_str(), benchPlanarPose, kind);
        benchmark::RegisterBenchmark((std::string("Pose/TransMat/") + kind.name).c_str(), benchTransMat, kind);
    }
    return true;
}();

}  // namespace

}  // namespace MarkeyeBench
