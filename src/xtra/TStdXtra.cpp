#include "TStdXtra.h"

#include "VoARCode.h"
#include "VoARFrameAnalysis.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSingleDetectMarker.h"

using namespace Moa;

namespace VoXtra {

namespace {

// Asks the host for one service; on success *o_service holds its counted
// reference.
template <class TService>
TMoaStatus queryService(IMoaHostCallback* i_callback, TService** o_service)
{
    IMoaUnknown* service = nullptr;
    const TMoaStatus status = i_callback->queryService(&TService::INTERFACE_ID, &service);
    if (status == MOA_OK) {
        *o_service = static_cast<TService*>(service);
    }
    return status;
}

template <class TService>
void releaseService(TService** io_service)
{
    if (*io_service != nullptr) {
        (*io_service)->Release();
        *io_service = nullptr;
    }
}

}  // namespace

TStdXtra* TStdXtra::fromHeader(TMoaInstanceHeader* i_header)
{
    return reinterpret_cast<TStdXtra*>(i_header);
}

TMoaStatus TStdXtra::create(TMoaInstanceHeader* io_instance)
{
    TStdXtra* xtra = fromHeader(io_instance);
    xtra->clearFields();
    IMoaHostCallback* callback = io_instance->callback;
    TMoaStatus status = queryService(callback, &xtra->_valueService);
    if (status == MOA_OK) {
        status = queryService(callback, &xtra->_imageService);
    }
    if (status == MOA_OK) {
        status = queryService(callback, &xtra->_listService);
    }
    if (status == MOA_OK) {
        status = queryService(callback, &xtra->_matrixService);
    }
    if (status != MOA_OK) {
        // The host need not call destroy after a failed create.
        xtra->releaseServices();
    }
    return status;
}

void TStdXtra::destroy(TMoaInstanceHeader* io_instance)
{
    TStdXtra* xtra = fromHeader(io_instance);
    xtra->releaseTracker();
    xtra->releaseServices();
}

void TStdXtra::releaseDetectors()
{
    for (int32_t i = 0; i < _patternCount; i++) {
        delete _detectors[i];
        _detectors[i] = nullptr;
    }
    _patternCount = 0;
}

void TStdXtra::releaseTracker()
{
    _pendingCode = nullptr;
    releaseDetectors();
    delete _analysis;
    _analysis = nullptr;
    delete _raster;
    _raster = nullptr;
    delete _cameraParam;
    _cameraParam = nullptr;
}

void TStdXtra::clearFields()
{
    _valueService = nullptr;
    _imageService = nullptr;
    _listService = nullptr;
    _matrixService = nullptr;
    _pendingCode = nullptr;
    _cameraParam = nullptr;
    _analysis = nullptr;
    for (VoTrack::VoARSingleDetectMarker*& detector : _detectors) {
        detector = nullptr;
    }
    _patternCount = 0;
    _raster = nullptr;
    _minConfidence = 0.0;
}

void TStdXtra::releaseServices()
{
    releaseService(&_valueService);
    releaseService(&_imageService);
    releaseService(&_listService);
    releaseService(&_matrixService);
}

}  // namespace VoXtra
