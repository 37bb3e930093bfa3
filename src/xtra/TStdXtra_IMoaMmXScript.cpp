#include "TStdXtra_IMoaMmXScript.h"

#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "VoARCode.h"
#include "VoARFrameAnalysis.h"
#include "VoARParam.h"
#include "VoARRgbRaster_BGRA.h"
#include "VoARSingleDetectMarker.h"
#include "VoARTransMatResult.h"
#include "XtraBorrowedString.h"
#include "XtraCall.h"
#include "XtraFrameLimit.h"
#include "XtraLockedFrame.h"
#include "XtraPoseMatrix.h"
#include "XtraTrace.h"

using namespace Moa;
using namespace VoTrack;

namespace VoXtra {

namespace {

using THandler = TMoaStatus (TStdXtra_IMoaMmXScript::*)(TMoaCallInfo*);

// Indexed by the call's method index: the method table's order.
constexpr THandler HANDLERS[TStdXtra_IMoaMmXScript::METHOD_COUNT] = {
    &TStdXtra_IMoaMmXScript::handleNew,
    &TStdXtra_IMoaMmXScript::handleForget,
    &TStdXtra_IMoaMmXScript::handleSetConfidenceTreshold,
    &TStdXtra_IMoaMmXScript::handleLoadPatternFile,
    &TStdXtra_IMoaMmXScript::handleLoadPatternList,
    &TStdXtra_IMoaMmXScript::handleUnloadAllPatterns,
    &TStdXtra_IMoaMmXScript::handleDetectSingleMarker,
    &TStdXtra_IMoaMmXScript::handleDetectMarkers,
};

// Argument positions, `me` being 0.
constexpr int32_t ARGUMENT_SOURCE = 1;
constexpr int32_t ARGUMENT_WIDTH = 2;
constexpr int32_t ARGUMENT_HEIGHT = 3;
constexpr int32_t ARGUMENT_MIN_CONFIDENCE = 1;
constexpr int32_t ARGUMENT_IMAGE = 1;

constexpr int32_t DEFAULT_PATTERN_SIZE = 16;

// Holds the pattern being built in the instance's _pendingCode and deletes
// it unless a detector has taken it over: no half-built pattern outlives the
// call.
class PendingCode
{
public:
    // Throws VoARException for a grid size patterns cannot have.
    PendingCode(TStdXtra* io_xtra, int32_t i_width, int32_t i_height) : _xtra(io_xtra)
    {
        _xtra->_pendingCode = new VoARCode(i_width, i_height);
    }
    ~PendingCode()
    {
        delete _xtra->_pendingCode;
        _xtra->_pendingCode = nullptr;
    }
    PendingCode(const PendingCode&) = delete;
    PendingCode& operator=(const PendingCode&) = delete;

    VoARCode* get() const { return _xtra->_pendingCode; }

private:
    TStdXtra* _xtra;
};

// Pattern grid of a loading call: 16 x 16, or one size n for n x n, or
// width and height. False when a size argument is not a number.
bool readGridSize(const XtraCall& i_call, int32_t* o_width, int32_t* o_height)
{
    int32_t width = DEFAULT_PATTERN_SIZE;
    int32_t height = DEFAULT_PATTERN_SIZE;
    if (i_call.argumentCount() > ARGUMENT_WIDTH) {
        if (!i_call.argumentInteger(ARGUMENT_WIDTH, &width)) {
            return false;
        }
        height = width;
    }
    if (i_call.argumentCount() > ARGUMENT_HEIGHT && !i_call.argumentInteger(ARGUMENT_HEIGHT, &height)) {
        return false;
    }
    *o_width = width;
    *o_height = height;
    return true;
}

std::unique_ptr<VoARParam> cameraFromFile(const XtraCall& i_call, const TMoaValue& i_name)
{
    XtraBorrowedString name(i_call.xtra()->_valueService, i_name);
    if (name.chars() == nullptr) {
        return nullptr;
    }
    auto param = std::make_unique<VoARParam>();
    param->setFileInHostOrder(0);
    param->loadFromFile(name.chars());
    return param;
}

// The list holds the file's bytes, big-endian numbers included, one per
// element; only each element's low 8 bits count.
std::unique_ptr<VoARParam> cameraFromList(const XtraCall& i_call, const TMoaValue& i_list)
{
    if (i_call.listCount(i_list) < VoARParam::FILE_SIZE) {
        xtraTrace("ERROR");
        return nullptr;
    }
    unsigned char bytes[VoARParam::FILE_SIZE];
    for (int32_t i = 0; i < VoARParam::FILE_SIZE; i++) {
        int32_t element = 0;
        if (!i_call.listInteger(i_list, i + 1, &element)) {
            return nullptr;
        }
        bytes[i] = static_cast<unsigned char>(static_cast<uint32_t>(element) & 0xFFu);
    }
    TVoARParamFileRecord record;
    VoARParam::decodeRecord(bytes, true, &record);
    auto param = std::make_unique<VoARParam>();
    param->setFileInHostOrder(0);
    param->setValue(record);
    return param;
}

// Null when the argument is neither a string nor a list, or the list is
// too short. Throws VoARException for a file or list that is no camera.
std::unique_ptr<VoARParam> cameraFromArgument(const XtraCall& i_call)
{
    const TMoaValue source = i_call.argument(ARGUMENT_SOURCE);
    switch (i_call.typeOf(source)) {
    case MOA_TYPE_STRING:
        return cameraFromFile(i_call, source);
    case MOA_TYPE_LIST:
        return cameraFromList(i_call, source);
    default:
        return nullptr;
    }
}

}  // namespace

TMoaStatus TStdXtra_IMoaMmXScript::Call(TMoaCallInfo* io_call)
{
    if (io_call == nullptr) {
        return MOA_OK;
    }
    const uint32_t index = static_cast<uint32_t>(io_call->method_index);
    if (index >= static_cast<uint32_t>(METHOD_COUNT)) {
        return MOA_OK;
    }
    try {
        return (this->*HANDLERS[index])(io_call);
    } catch (...) {
        return MOA_OK;
    }
}

TMoaStatus TStdXtra_IMoaMmXScript::handleNew(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    _xtra->releaseTracker();
    std::unique_ptr<VoARParam> param = cameraFromArgument(call);
    int32_t width = 0;
    int32_t height = 0;
    if (param == nullptr || !call.argumentInteger(ARGUMENT_WIDTH, &width) ||
        !call.argumentInteger(ARGUMENT_HEIGHT, &height) || !XtraFrameLimit::accepts(width, height)) {
        return MOA_OK;
    }
    param->changeScreenSize(width, height);
    auto raster = std::make_unique<VoARRgbRaster_BGRA>(width, height);
    _xtra->_cameraParam = param.release();
    _xtra->_raster = raster.release();
    _xtra->_minConfidence = 0.0;
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleForget(TMoaCallInfo*)
{
    _xtra->releaseTracker();
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleSetConfidenceTreshold(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    double min_confidence = 0.0;
    if (call.argumentFloat(ARGUMENT_MIN_CONFIDENCE, &min_confidence)) {
        _xtra->_minConfidence = min_confidence;
    }
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleLoadPatternFile(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    int32_t width = 0;
    int32_t height = 0;
    if (!startLoading(call, &width, &height)) {
        return MOA_OK;
    }
    const XtraBorrowedString file(_xtra->_valueService, call.argument(ARGUMENT_SOURCE));
    if (file.chars() == nullptr) {
        return MOA_OK;
    }
    const PendingCode pending(_xtra, width, height);
    pending.get()->loadFromFile(file.chars());
    addDetector(call);
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleLoadPatternList(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    int32_t width = 0;
    int32_t height = 0;
    if (!startLoading(call, &width, &height)) {
        return MOA_OK;
    }
    // Made first: it rejects sizes that no pattern can have, which keeps the
    // number count below in range.
    const PendingCode pending(_xtra, width, height);
    const int32_t count = pending.get()->valueCount();
    const TMoaValue list = call.argument(ARGUMENT_SOURCE);
    if (call.listCount(list) < count) {
        return MOA_OK;
    }
    std::vector<int32_t> numbers(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; i++) {
        if (!call.listInteger(list, i + 1, &numbers[static_cast<size_t>(i)])) {
            return MOA_OK;
        }
    }
    pending.get()->setFromArray(numbers.data(), width, height);
    addDetector(call);
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleUnloadAllPatterns(TMoaCallInfo*)
{
    _xtra->releaseDetectors();
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleDetectSingleMarker(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    if (_xtra->_patternCount == 0) {
        xtraTrace("NO PATTERN LOADED!");
        return MOA_OK;
    }
    const XtraLockedFrame frame(_xtra, call.argument(ARGUMENT_IMAGE));
    TMoaValue matrix = MOA_VOID_VALUE;
    if (frame.isReady() && detectFirst() && poseMatrix(0, &matrix)) {
        call.setResult(matrix);
    }
    return MOA_OK;
}

TMoaStatus TStdXtra_IMoaMmXScript::handleDetectMarkers(TMoaCallInfo* io_call)
{
    const XtraCall call(_xtra, io_call);
    if (_xtra->_patternCount == 0) {
        xtraTrace("NO PATTERN LOADED!");
        return MOA_OK;
    }
    const XtraLockedFrame frame(_xtra, call.argument(ARGUMENT_IMAGE));
    TMoaValue list = MOA_VOID_VALUE;
    if (!frame.isReady() || _xtra->_listService->newList(&list) != MOA_OK) {
        return MOA_OK;
    }
    const TMoaValue not_found = call.integer(0);
    const bool detected = detectAll();
    for (int32_t k = 0; k < _xtra->_patternCount; k++) {
        TMoaValue element = not_found;
        TMoaValue matrix = MOA_VOID_VALUE;
        if (detected && poseMatrix(k, &matrix)) {
            element = matrix;
        }
        _xtra->_listService->append(&list, &element);
    }
    call.setResult(list);
    return MOA_OK;
}

bool TStdXtra_IMoaMmXScript::startLoading(const XtraCall& i_call, int32_t* o_width, int32_t* o_height) const
{
    i_call.setIntegerResult(0);
    return _xtra->_patternCount < TStdXtra::MAX_PATTERNS && _xtra->hasCamera() &&
           readGridSize(i_call, o_width, o_height);
}

void TStdXtra_IMoaMmXScript::addDetector(const XtraCall& i_call)
{
    if (_xtra->_analysis == nullptr) {
        const int32_t format = _xtra->_raster->getBufferReader()->getBufferType();
        _xtra->_analysis = new VoARFrameAnalysis(_xtra->_cameraParam, format);
    }
    // The detector's memory is allocated before its arguments are evaluated,
    // so up to its constructor the pattern is still the caller's; the
    // constructor takes it over.
    std::unique_ptr<VoARSingleDetectMarker> detector(new VoARSingleDetectMarker(
        _xtra->_cameraParam, std::exchange(_xtra->_pendingCode, nullptr), MARKER_WIDTH, _xtra->_analysis));
    detector->setContinueMode(false);
    _xtra->_detectors[_xtra->_patternCount] = detector.release();
    _xtra->_patternCount++;
    i_call.setIntegerResult(1);
}

bool TStdXtra_IMoaMmXScript::detectFirst()
{
    // A detector that fails on this frame has not found its marker.
    try {
        return _xtra->_detectors[0]->detectMarker(_xtra->_raster, THRESHOLD);
    } catch (const std::exception&) {
        return false;
    }
}

bool TStdXtra_IMoaMmXScript::detectAll()
{
    // A frame the analysis fails on (too many regions) has none of the
    // markers, as each detector on its own would fail on it.
    try {
        VoARSingleDetectMarker::detectMarkers(_xtra->_analysis, _xtra->_raster, THRESHOLD, _xtra->_detectors,
                                              _xtra->_patternCount);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TStdXtra_IMoaMmXScript::poseMatrix(int32_t i_index, TMoaValue* o_matrix)
{
    VoARSingleDetectMarker* detector = _xtra->_detectors[i_index];
    VoARTransMatResult pose;
    try {
        if (detector->getSquare() == nullptr || !(detector->getConfidence() >= _xtra->_minConfidence)) {
            return false;
        }
        detector->getPose(&pose);
    } catch (const std::exception&) {
        return false;
    }
    float elements[XtraPoseMatrix::ELEMENT_COUNT];
    XtraPoseMatrix::toElements(pose, elements);
    return _xtra->_matrixService->makeMatrix(elements, o_matrix) == MOA_OK;
}

}  // namespace VoXtra
