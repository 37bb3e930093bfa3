#include "VoARSingleDetectMarker.h"

#include "VoARCode.h"
#include "VoARException.h"
#include "VoARFrameAnalysis.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARParam.h"
#include "VoARTransMat.h"

namespace VoTrack {

VoARSingleDetectMarker::VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width,
                                               int32_t i_raster_format)
    : VoARSingleDetectMarker(i_param, i_code, i_marker_width, nullptr)
{
    _own_analysis = std::make_unique<VoARFrameAnalysis>(i_param, i_raster_format);
    _analysis = _own_analysis.get();
    attachToAnalysis();
}

VoARSingleDetectMarker::VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width,
                                               VoARFrameAnalysis* io_analysis)
    : _continue_mode(false),
      _code(i_code),
      _marker_width(i_marker_width),
      _direction(0),
      _confidence(0.0),
      _square(nullptr),
      _frame_number(0),
      _analysis(io_analysis),
      _grid(-1)
{
    _pose_estimator = std::make_unique<VoARTransMat>(i_param);
    if (_analysis != nullptr) {
        attachToAnalysis();
    }
}

VoARSingleDetectMarker::~VoARSingleDetectMarker()
{
    if (_grid >= 0) {
        _analysis->releaseGrid(_grid);
    }
}

void VoARSingleDetectMarker::attachToAnalysis()
{
    _grid = _analysis->acquireGrid(_code->getWidth(), _code->getHeight());
}

bool VoARSingleDetectMarker::detectMarker(const IVoARRgbRaster* i_raster, int32_t i_threshold)
{
    VoARSingleDetectMarker* const self = this;
    detectMarkers(_analysis, i_raster, i_threshold, &self, 1);
    return _square != nullptr;
}

void VoARSingleDetectMarker::detectMarkers(VoARFrameAnalysis* io_analysis, const IVoARRgbRaster* i_raster,
                                           int32_t i_threshold, VoARSingleDetectMarker* const* io_detectors,
                                           int32_t i_count)
{
    io_analysis->analyse(i_raster, i_threshold);
    for (int32_t k = 0; k < i_count; k++) {
        io_detectors[k]->beginSelection();
    }
    // Square by square, so that each grid samples a square once for every
    // pattern of its size.
    for (int32_t i = 0; i < io_analysis->getSquareCount(); i++) {
        for (int32_t k = 0; k < i_count; k++) {
            io_detectors[k]->considerSquare(i);
        }
    }
}

void VoARSingleDetectMarker::beginSelection()
{
    _square = nullptr;
    _frame_number = _analysis->getFrameNumber();
}

void VoARSingleDetectMarker::considerSquare(int32_t i_index)
{
    VoARMatchPatt_Color_WITHOUT_PCA* matcher = _analysis->sampleSquare(_grid, i_index);
    if (matcher == nullptr) {
        return;
    }
    matcher->matchCode(_code.get());
    const double confidence = matcher->getConfidence();
    if (_square != nullptr && _confidence > confidence) {
        return;
    }
    _square = _analysis->getSquare(i_index);
    _direction = matcher->getDirection();
    _confidence = confidence;
}

const VoARSquare* VoARSingleDetectMarker::getSquare() const
{
    return _frame_number == _analysis->getFrameNumber() ? _square : nullptr;
}

void VoARSingleDetectMarker::getPose(VoARTransMatResult* io_result)
{
    const VoARSquare* square = getSquare();
    if (square == nullptr) {
        throw VoARException();
    }
    if (_continue_mode) {
        _pose_estimator->computePoseContinued(square, _direction, _marker_width, io_result);
    } else {
        _pose_estimator->computePose(square, _direction, _marker_width, io_result);
    }
}

}  // namespace VoTrack
