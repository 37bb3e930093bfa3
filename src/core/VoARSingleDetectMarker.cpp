#include "VoARSingleDetectMarker.h"

#include "VoARBinRaster.h"
#include "VoARCode.h"
#include "VoARColorPatt_O3.h"
#include "VoARException.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARParam.h"
#include "VoARRasterFilter_KestrelThreshold.h"
#include "VoARSquareDetector.h"
#include "VoARSquareStack.h"
#include "VoARTransMat.h"

namespace VoTrack {

namespace {

// Candidate squares kept per frame.
constexpr int32_t SQUARE_CAPACITY = 100;
// Threshold the filter starts with; detectMarker sets the caller's.
constexpr int32_t INITIAL_THRESHOLD = 100;

}  // namespace

VoARSingleDetectMarker::VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width,
                                               int32_t i_raster_format)
    : _continue_mode(false), _code(i_code), _marker_width(0.0), _direction(0), _confidence(0.0), _square(nullptr)
{
    const TVoARIntSize* screen = i_param->getScreenSize();
    _square_detector = std::make_unique<VoARSquareDetector>(i_param->getDistortionFactor(), screen);
    _pose_estimator = std::make_unique<VoARTransMat>(i_param);
    _marker_width = i_marker_width;
    _sampler = std::make_unique<VoARColorPatt_O3>(_code->getWidth(), _code->getHeight());
    _matcher = std::make_unique<VoARMatchPatt_Color_WITHOUT_PCA>();
    _bin_raster = std::make_unique<VoARBinRaster>(screen->w, screen->h);
    _square_stack = std::make_unique<VoARSquareStack>(SQUARE_CAPACITY);
    _threshold_filter = std::make_unique<VoARRasterFilter_KestrelThreshold>(INITIAL_THRESHOLD, i_raster_format);
}

VoARSingleDetectMarker::~VoARSingleDetectMarker()
{
    _square_detector.reset();
    _pose_estimator.reset();
    _sampler.reset();
    _matcher.reset();
    _bin_raster.reset();
    _square_stack.reset();
    _code.reset();
    _threshold_filter.reset();
}

bool VoARSingleDetectMarker::detectMarker(const IVoARRgbRaster* i_raster, int32_t i_threshold)
{
    if (!TVoARIntSize::isEqualSize(i_raster->getSize(), _bin_raster->getSize())) {
        throw VoARException();
    }
    _threshold_filter->setThreshold(i_threshold);
    _threshold_filter->doFilter(*i_raster, *_bin_raster);
    _square = nullptr;
    _square_detector->detectSquares(_bin_raster.get(), _square_stack.get());

    // The best match wins; on equal confidence the later square does. A
    // candidate that cannot be sampled, or samples uniformly, is skipped.
    const VoARSquare* best = nullptr;
    int32_t best_direction = 0;
    double best_confidence = 0.0;
    VoARSquare* const* squares = _square_stack->getArray();
    for (int32_t i = 0; i < _square_stack->getLength(); i++) {
        if (!matchSquare(i_raster, squares[i])) {
            continue;
        }
        const double confidence = _matcher->getConfidence();
        if (best != nullptr && best_confidence > confidence) {
            continue;
        }
        best = squares[i];
        best_direction = _matcher->getDirection();
        best_confidence = confidence;
    }
    if (best == nullptr) {
        return false;
    }
    _square = best;
    _direction = best_direction;
    _confidence = best_confidence;
    return true;
}

bool VoARSingleDetectMarker::matchSquare(const IVoARRgbRaster* i_raster, const VoARSquare* i_square)
{
    try {
        if (!_sampler->sampleSquare(i_raster, i_square) || !_matcher->setSample(_sampler.get())) {
            return false;
        }
    } catch (const VoARException&) {
        // A sample point on the square's vanishing line: nothing to read.
        return false;
    }
    _matcher->matchCode(_code.get());
    return true;
}

void VoARSingleDetectMarker::getPose(VoARTransMatResult* io_result)
{
    if (_square == nullptr) {
        throw VoARException();
    }
    if (_continue_mode) {
        _pose_estimator->computePoseContinued(_square, _direction, _marker_width, io_result);
    } else {
        _pose_estimator->computePose(_square, _direction, _marker_width, io_result);
    }
}

}  // namespace VoTrack
