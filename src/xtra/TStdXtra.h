#pragma once

#include <cstdint>
#include <type_traits>

#include "IMoaHostServices.h"
#include "MoaTypes.h"

namespace VoTrack {
class VoARCode;
class VoARFrameAnalysis;
class VoARParam;
class VoARRgbRaster_BGRA;
class VoARSingleDetectMarker;
}  // namespace VoTrack

namespace VoXtra {

// One tracker instance of a script: the host allocates this record with the
// registered size and fills its header; create and destroy below manage the
// rest. It owns its camera parameters, raster, frame analysis and detectors
// (raw pointers: the record is host memory, not a C++ object with a
// constructor).
struct TStdXtra
{
    static constexpr int32_t MAX_PATTERNS = 10;

    Moa::TMoaInstanceHeader _header;
    // Counted references taken by create, released by destroy.
    Moa::IMoaValueService* _valueService;
    Moa::IMoaImageService* _imageService;
    Moa::IMoaListService* _listService;
    Moa::IMoaMatrixService* _matrixService;
    // The pattern a loading method is building; null between calls. Not
    // owned once its detector has taken it over.
    VoTrack::VoARCode* _pendingCode;
    // Shared by every detector; null while the instance has no camera.
    VoTrack::VoARParam* _cameraParam;
    // The frame's binarisation, labeling and squares, shared by every
    // detector; made with the first pattern, null before.
    VoTrack::VoARFrameAnalysis* _analysis;
    // The first _patternCount entries are valid, in load order.
    VoTrack::VoARSingleDetectMarker* _detectors[MAX_PATTERNS];
    int32_t _patternCount;
    // Frame-sized; wraps a frame's pixels during a detection call only.
    VoTrack::VoARRgbRaster_BGRA* _raster;
    // A marker is reported when its confidence is >= this.
    double _minConfidence;

    // The record begins with the header, so each converts to the other.
    static TStdXtra* fromHeader(Moa::TMoaInstanceHeader* i_header);
    Moa::IMoaUnknown* instance() const { return _header.instance; }
    Moa::IMoaHostAllocator* allocator() const { return _header.allocator; }

    // Create function: asks for the value, image, list and matrix services
    // in that order; the first failing request's status is returned, and
    // the services already taken are given back.
    static Moa::TMoaStatus create(Moa::TMoaInstanceHeader* io_instance);
    // Destroy function: releases everything the instance owns, then the
    // four services.
    static void destroy(Moa::TMoaInstanceHeader* io_instance);

    // True once a camera and a raster are set up for frames.
    bool hasCamera() const { return _cameraParam != nullptr && _raster != nullptr; }
    // Deletes the loaded detectors (each with its pattern); 0 patterns.
    void releaseDetectors();
    // Deletes detectors, analysis, raster and camera parameters: no camera,
    // no patterns. The confidence threshold stays.
    void releaseTracker();

private:
    void clearFields();
    void releaseServices();
};

static_assert(std::is_standard_layout<TStdXtra>::value && std::is_trivial<TStdXtra>::value,
              "the record is host memory that begins with the host's header");

}  // namespace VoXtra
