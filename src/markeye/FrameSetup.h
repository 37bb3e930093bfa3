#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FrameInput.h"
#include "VoARCode.h"
#include "VoARFrameAnalysis.h"
#include "VoARParam.h"
#include "VoARPlanarPose.h"
#include "VoARSingleDetectMarker.h"
#include "VoARSubpixelEdges.h"
#include "VoARTransMat.h"
#include "markeye/Camera.h"
#include "markeye/Pattern.h"
#include "markeye/Tracker.h"

namespace markeye {

// The core objects a tracker needs for frames of one size, built at once with
// all their buffers, as the plug-in's new builds them: the camera rescaled to
// the size, the frame input, the analysis, the pose estimator, and per
// pattern either a detector (the plug-in's way) or its code and grid in the
// analysis (the default way).
struct TFrameSetup
{
    // Candidate squares per frame in the default way (the plug-in keeps 100).
    static constexpr int32_t SQUARE_CAPACITY = 1024;

    // Throws Error when the camera does not fit frames of this size.
    TFrameSetup(const Camera& i_camera, int32_t i_width, int32_t i_height, const std::vector<Pattern>& i_patterns,
                const TrackerOptions& i_options);
    ~TFrameSetup();
    TFrameSetup(const TFrameSetup&) = delete;
    TFrameSetup& operator=(const TFrameSetup&) = delete;

    // The plug-in's search, or the default one: markers of any size up to
    // the whole frame, more squares, crowded frames opened and searched again.
    static VoTrack::TVoARSquareSearch search(int32_t i_width, int32_t i_height, const TrackerOptions& i_options);

    static VoTrack::VoARFrameAnalysis::TBinarisation binarisation(const TrackerOptions& i_options);

    bool isFor(int32_t i_width, int32_t i_height) const
    {
        return camera.width() == i_width && camera.height() == i_height;
    }

    Camera camera;
    // Declared before what borrows them.
    std::unique_ptr<VoTrack::VoARParam> param;
    std::unique_ptr<VoTrack::VoARFrameAnalysis> analysis;
    std::unique_ptr<VoTrack::VoARTransMat> pose;
    // Null unless edges are refined.
    std::unique_ptr<VoTrack::VoARSubpixelEdges> edges;
    // Null unless the planar solver is used.
    std::unique_ptr<VoTrack::VoARPlanarPose> planar_pose;
    std::unique_ptr<FrameInput> input;
    // The plug-in's way: one detector per pattern sharing the analysis.
    std::vector<std::unique_ptr<VoTrack::VoARSingleDetectMarker>> detectors;
    std::vector<VoTrack::VoARSingleDetectMarker*> detector_list;
    // The default way: each pattern's code and its grid in the analysis.
    std::vector<std::unique_ptr<VoTrack::VoARCode>> codes;
    std::vector<int32_t> grids;
};

}  // namespace markeye
