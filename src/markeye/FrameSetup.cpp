#include "FrameSetup.h"

#include <algorithm>
#include <limits>

#include "CameraRecord.h"
#include "IVoARBufferReader.h"
#include "VoARException.h"
#include "markeye/Error.h"

namespace markeye {

TFrameSetup::TFrameSetup(const Camera& i_camera, int32_t i_width, int32_t i_height,
                         const std::vector<Pattern>& i_patterns, const TrackerOptions& i_options)
    : camera(i_camera.rescaled(i_width, i_height))
{
    param = std::make_unique<VoTrack::VoARParam>();
    param->setValue(toRecord(camera));
    try {
        // Every frame reaches the analysis as 32 bits with the colour in the
        // first three bytes, in either order (see FrameInput).
        analysis = std::make_unique<VoTrack::VoARFrameAnalysis>(
            param.get(), VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32,
            search(i_width, i_height, i_options), binarisation(i_options));
    } catch (const VoTrack::VoARException&) {
        throw Error("frame size " + std::to_string(i_width) + " x " + std::to_string(i_height) +
                    " is too large for the tracker");
    }
    pose = std::make_unique<VoTrack::VoARTransMat>(param.get());
    if (!i_options.plugin_compatible && i_options.subpixel_edges) {
        edges = std::make_unique<VoTrack::VoARSubpixelEdges>(param->getDistortionFactor(), i_width, i_height);
    }
    if (!i_options.plugin_compatible && i_options.pose_solver == PoseSolver::PLANAR) {
        try {
            planar_pose = std::make_unique<VoTrack::VoARPlanarPose>(param->getProjectionMatrix());
        } catch (const VoTrack::VoARException&) {
            throw Error("camera " + camera.name() + ": its projection matrix cannot be inverted");
        }
    }
    input = std::make_unique<FrameInput>(i_width, i_height);
    for (const Pattern& pattern : i_patterns) {
        auto code = std::make_unique<VoTrack::VoARCode>(pattern.gridWidth(), pattern.gridHeight());
        code->setFromArray(pattern.numbers().data(), pattern.gridWidth(), pattern.gridHeight());
        if (i_options.plugin_compatible) {
            detectors.push_back(std::make_unique<VoTrack::VoARSingleDetectMarker>(
                param.get(), code.release(), i_options.marker_width, analysis.get()));
            detector_list.push_back(detectors.back().get());
        } else {
            grids.push_back(analysis->acquireGrid(pattern.gridWidth(), pattern.gridHeight()));
            codes.push_back(std::move(code));
        }
    }
}

VoTrack::TVoARSquareSearch TFrameSetup::search(int32_t i_width, int32_t i_height, const TrackerOptions& i_options)
{
    VoTrack::TVoARSquareSearch search;
    if (i_options.plugin_compatible) {
        return search;
    }
    search.square_capacity = SQUARE_CAPACITY;
    search.area_max = static_cast<int32_t>(
        std::min<int64_t>(int64_t{i_width} * i_height, std::numeric_limits<int32_t>::max()));
    search.open_crowded_frames = true;
    return search;
}

VoTrack::VoARFrameAnalysis::TBinarisation TFrameSetup::binarisation(const TrackerOptions& i_options)
{
    if (i_options.plugin_compatible || i_options.binarisation == Binarisation::FIXED) {
        return VoTrack::VoARFrameAnalysis::TBinarisation::FIXED_THRESHOLD;
    }
    return VoTrack::VoARFrameAnalysis::TBinarisation::TILE_THRESHOLD;
}

TFrameSetup::~TFrameSetup()
{
    for (int32_t grid : grids) {
        analysis->releaseGrid(grid);
    }
}

}  // namespace markeye
