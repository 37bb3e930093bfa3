#include "MarkerTracker.h"

#include <chrono>

#include "IVoARBufferReader.h"
#include "VoARCode.h"
#include "VoARFrameAnalysis.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSingleDetectMarker.h"
#include "VoARSquare.h"
#include "VoARTransMatResult.h"

namespace Markeye {

MarkerTracker::MarkerTracker(const VoTrack::TVoARParamFileRecord& i_camera, std::vector<TPattern> i_patterns,
                             double i_min_confidence)
    : _record(i_camera), _patterns(std::move(i_patterns)), _min_confidence(i_min_confidence)
{
    prepare(_record.x_size, _record.y_size);
}

MarkerTracker::~MarkerTracker() = default;

bool MarkerTracker::fitsCamera(int32_t i_width, int32_t i_height) const
{
    return int64_t(i_width) * _record.y_size == int64_t(i_height) * _record.x_size;
}

void MarkerTracker::prepare(int32_t i_width, int32_t i_height)
{
    if (_param != nullptr && i_width == _width && i_height == _height) {
        return;
    }
    _detector_list.clear();
    _detectors.clear();
    _analysis.reset();
    _param = std::make_unique<VoTrack::VoARParam>();
    _param->setValue(_record);
    _param->changeScreenSize(i_width, i_height);
    _analysis = std::make_unique<VoTrack::VoARFrameAnalysis>(
        _param.get(), VoTrack::IVoARBufferReader::BUFFERFORMAT_BYTE1D_B8G8R8X8_32);
    _raster = std::make_unique<VoTrack::VoARRgbRaster_BGRA>(i_width, i_height);
    for (const TPattern& pattern : _patterns) {
        auto code = std::make_unique<VoTrack::VoARCode>(pattern.grid.width, pattern.grid.height);
        code->setFromArray(pattern.numbers.data(), pattern.grid.width, pattern.grid.height);
        _detectors.push_back(std::make_unique<VoTrack::VoARSingleDetectMarker>(_param.get(), code.release(),
                                                                             MARKER_WIDTH, _analysis.get()));
        _detector_list.push_back(_detectors.back().get());
    }
    _width = i_width;
    _height = i_height;
}

void MarkerTracker::track(const BgraImage& i_frame, TFrameReport* io_report)
{
    prepare(i_frame.width(), i_frame.height());
    // The raster only reads the frame.
    _raster->setBuffer(const_cast<uint8_t*>(i_frame.data()));
    io_report->width = i_frame.width();
    io_report->height = i_frame.height();
    io_report->markers.assign(_detectors.size(), TMarkerReport());
    const auto start = std::chrono::steady_clock::now();
    VoTrack::VoARSingleDetectMarker::detectMarkers(_analysis.get(), _raster.get(), THRESHOLD, _detector_list.data(),
                                                   static_cast<int32_t>(_detector_list.size()));
    for (size_t i = 0; i < _detectors.size(); i++) {
        reportMarker(static_cast<int32_t>(i), &io_report->markers[i]);
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    io_report->elapsed_ms = elapsed.count();
}

void MarkerTracker::reportMarker(int32_t i_index, TMarkerReport* o_marker)
{
    VoTrack::VoARSingleDetectMarker& detector = *_detectors[static_cast<size_t>(i_index)];
    o_marker->pattern = i_index;
    o_marker->selected = detector.getSquare() != nullptr;
    if (!o_marker->selected) {
        return;
    }
    o_marker->confidence = detector.getConfidence();
    o_marker->direction = detector.getDirection();
    // Direction -1: no block correlated positively, so the square cannot be
    // oriented. A confidence that is not a number fails the comparison.
    o_marker->found = o_marker->direction >= 0 && o_marker->confidence >= _min_confidence;
    if (!o_marker->found) {
        return;
    }
    VoTrack::VoARTransMatResult pose;
    detector.getPose(&pose);
    const double rows[3][4] = {{pose.m00, pose.m01, pose.m02, pose.m03},
                               {pose.m10, pose.m11, pose.m12, pose.m13},
                               {pose.m20, pose.m21, pose.m22, pose.m23}};
    std::copy(&rows[0][0], &rows[0][0] + 12, &o_marker->pose[0][0]);
    // Marker vertex i is the square's corner (i + 4 - direction) mod 4.
    const VoTrack::VoARSquare& square = *detector.getSquare();
    for (int32_t i = 0; i < 4; i++) {
        const double* ideal = square.ideal_vertices[(i + 4 - o_marker->direction) % 4];
        const VoTrack::TVoARDoublePoint_t point{ideal[0], ideal[1]};
        _param->getDistortionFactor()->ideal2Observ(&point, &o_marker->corners[i]);
    }
}

}  // namespace Markeye
