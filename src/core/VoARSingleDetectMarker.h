#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

class IVoARRgbRaster;
class VoARCode;
class VoARFrameAnalysis;
class VoARParam;
class VoARTransMat;
class VoARTransMatResult;
struct VoARSquare;

// Looks for one known pattern in a frame: has the frame binarised and its
// candidate squares found, matches each square's interior against the
// pattern, keeps the best one and computes its pose on request. The
// pattern-independent work is a VoARFrameAnalysis, owned by the detector or
// shared by every detector of one camera; the camera parameters are shared
// and must outlive the detector.
class VoARSingleDetectMarker
{
public:
    // A detector with an analysis of its own. Takes over i_code, also when
    // construction throws. i_raster_format is the buffer-format code of the
    // RGB rasters detectMarker will be given.
    VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width, int32_t i_raster_format);
    // A detector sharing io_analysis (built for i_param), which must outlive
    // it. Takes over i_code, also when construction throws.
    VoARSingleDetectMarker(const VoARParam* i_param, VoARCode* i_code, double i_marker_width,
                           VoARFrameAnalysis* io_analysis);
    virtual ~VoARSingleDetectMarker();

    VoARSingleDetectMarker(const VoARSingleDetectMarker&) = delete;
    VoARSingleDetectMarker& operator=(const VoARSingleDetectMarker&) = delete;

    // True when a square was selected, however poor its match: the caller
    // applies its own confidence threshold. Throws VoARException, touching
    // nothing, for a raster of another size than the camera's screen.
    // Analyses the frame anew, which ends the selections of every other
    // detector sharing the analysis.
    bool detectMarker(const IVoARRgbRaster* i_raster, int32_t i_threshold);
    // Detects each of the i_count detectors' markers in i_raster as its
    // detectMarker would, with one analysis of the frame and one sample of
    // each square per grid size for them all. Every detector must use
    // io_analysis. Afterwards getSquare tells which found a square. Throws
    // as detectMarker does; then none has a selection.
    static void detectMarkers(VoARFrameAnalysis* io_analysis, const IVoARRgbRaster* i_raster, int32_t i_threshold,
                              VoARSingleDetectMarker* const* io_detectors, int32_t i_count);
    // The selected square's pose, after a detection that selected one (else
    // VoARException). In continue mode it starts from the pose in io_result.
    void getPose(VoARTransMatResult* io_result);
    double getConfidence() const { return _confidence; }
    int32_t getDirection() const { return _direction; }
    // The selected square of the analysis's current frame, or null (also
    // once the analysis has moved on to another frame).
    const VoARSquare* getSquare() const;
    void setContinueMode(bool i_mode) { _continue_mode = i_mode; }

private:
    // Acquires the pattern's grid from _analysis.
    void attachToAnalysis();
    void beginSelection();
    // Square i_index of the current frame becomes the selection if it
    // matches at least as well as the best so far (the later square wins a
    // tie); a square that cannot be sampled, or samples uniformly, is skipped.
    void considerSquare(int32_t i_index);

    bool _continue_mode;
    std::unique_ptr<VoARCode> _code;
    std::unique_ptr<VoARTransMat> _pose_estimator;
    double _marker_width;
    int32_t _direction;
    double _confidence;
    // A square of the analysis's frame _frame_number, or null.
    const VoARSquare* _square;
    uint64_t _frame_number;
    // Null when the analysis is shared.
    std::unique_ptr<VoARFrameAnalysis> _own_analysis;
    VoARFrameAnalysis* _analysis;
    // The pattern's grid in _analysis; -1 until acquired.
    int32_t _grid;
};

}  // namespace VoTrack
