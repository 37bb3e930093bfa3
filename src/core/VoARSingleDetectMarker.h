#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

class IVoARRgbRaster;
class VoARBinRaster;
class VoARCode;
class VoARColorPatt_O3;
class VoARMatchPatt_Color_WITHOUT_PCA;
class VoARParam;
class VoARRasterFilter_KestrelThreshold;
class VoARSquareDetector;
class VoARSquareStack;
class VoARTransMat;
class VoARTransMatResult;
struct VoARSquare;

// Looks for one known pattern in a frame: binarises it, finds the candidate
// squares, matches each square's interior against the pattern, keeps the
// best one and computes its pose on request. Owns its whole pipeline; the
// camera parameters are shared and must outlive the detector.
class VoARSingleDetectMarker
{
public:
    // Takes over i_code, also when construction throws. i_raster_format is the buffer-format code of the
    // RGB rasters detectMarker will be given.
    VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width, int32_t i_raster_format);
    virtual ~VoARSingleDetectMarker();

    VoARSingleDetectMarker(const VoARSingleDetectMarker&) = delete;
    VoARSingleDetectMarker& operator=(const VoARSingleDetectMarker&) = delete;

    // True when a square was selected, however poor its match: the caller
    // applies its own confidence threshold. Throws VoARException, touching
    // nothing, for a raster of another size than the camera's screen.
    bool detectMarker(const IVoARRgbRaster* i_raster, int32_t i_threshold);
    // The selected square's pose, after detectMarker returned true (else
    // VoARException). In continue mode it starts from the pose in io_result.
    void getPose(VoARTransMatResult* io_result);
    double getConfidence() const { return _confidence; }
    int32_t getDirection() const { return _direction; }
    // The selected square of the last frame, or null.
    const VoARSquare* getSquare() const { return _square; }
    void setContinueMode(bool i_mode) { _continue_mode = i_mode; }

private:
    // Samples and matches one candidate; false when it cannot be sampled or
    // its sample is uniform, so that it is skipped.
    bool matchSquare(const IVoARRgbRaster* i_raster, const VoARSquare* i_square);

    bool _continue_mode;
    std::unique_ptr<VoARMatchPatt_Color_WITHOUT_PCA> _matcher;
    std::unique_ptr<VoARSquareDetector> _square_detector;
    std::unique_ptr<VoARSquareStack> _square_stack;
    std::unique_ptr<VoARCode> _code;
    std::unique_ptr<VoARTransMat> _pose_estimator;
    double _marker_width;
    int32_t _direction;
    double _confidence;
    // An element of _square_stack, valid until the next detectMarker.
    const VoARSquare* _square;
    std::unique_ptr<VoARColorPatt_O3> _sampler;
    std::unique_ptr<VoARBinRaster> _bin_raster;
    std::unique_ptr<VoARRasterFilter_KestrelThreshold> _threshold_filter;
};

}  // namespace VoTrack
