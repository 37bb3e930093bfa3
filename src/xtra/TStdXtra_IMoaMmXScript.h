#pragma once

#include <cstdint>

#include "IMoaXtra.h"
#include "TStdXtraInterface.h"

namespace VoXtra {

class XtraCall;

// The script interface of a tracker instance: the call entry and the eight
// script methods, in method-table order after it in the operation table.
// Every method returns status 0; what went wrong reaches the script only
// through the result (the integer 0 from a loading method, no value from a
// detection method).
class TStdXtra_IMoaMmXScript final : public TStdXtraInterface<Moa::IMoaMmXScript, TStdXtra_IMoaMmXScript>
{
public:
    static constexpr int32_t METHOD_COUNT = 8;
    // Binarisation threshold on red + green + blue, and the marker's edge
    // length in the pose's unit.
    static constexpr int32_t THRESHOLD = 100;
    static constexpr double MARKER_WIDTH = 80.0;

    // Runs the method of the call's index; an index outside 0 to 7 runs
    // nothing. No exception leaves it: a method that throws ends with
    // status 0 and the result as far as it got.
    Moa::TMoaStatus Call(Moa::TMoaCallInfo* io_call) override;

    // new(me, cameraFileOrList, w, h): camera parameters from a camera file
    // name or a list of its 136 bytes, rescaled to w x h frames, and an
    // empty frame raster. Releases what an earlier new set up; on failure,
    // including a frame size outside XtraFrameLimit, the instance is left
    // without a camera.
    virtual Moa::TMoaStatus handleNew(Moa::TMoaCallInfo* io_call);
    // forget(me): releases the camera, raster and patterns.
    virtual Moa::TMoaStatus handleForget(Moa::TMoaCallInfo* io_call);
    // setConfidenceTreshold(me, minConfidence): no range check.
    virtual Moa::TMoaStatus handleSetConfidenceTreshold(Moa::TMoaCallInfo* io_call);
    // loadPatternFile(me, patternFile, [width, [height]]) and
    // loadPatternList(me, patternList, [width, [height]]): one more pattern
    // (16 x 16 by default, one size for both axes); result 1 when added, 0
    // when not.
    virtual Moa::TMoaStatus handleLoadPatternFile(Moa::TMoaCallInfo* io_call);
    virtual Moa::TMoaStatus handleLoadPatternList(Moa::TMoaCallInfo* io_call);
    // unloadAllPatterns(me): numbering starts again at 0.
    virtual Moa::TMoaStatus handleUnloadAllPatterns(Moa::TMoaCallInfo* io_call);
    // detectSingleMarker(me, image): the first pattern's pose matrix, or no
    // result.
    virtual Moa::TMoaStatus handleDetectSingleMarker(Moa::TMoaCallInfo* io_call);
    // detectMarkers(me, image): a list with one element per pattern, in load
    // order: its pose matrix or the integer 0. No result when no pattern is
    // loaded or the image cannot be read.
    virtual Moa::TMoaStatus handleDetectMarkers(Moa::TMoaCallInfo* io_call);

private:
    friend class TStdXtraInterface<Moa::IMoaMmXScript, TStdXtra_IMoaMmXScript>;
    explicit TStdXtra_IMoaMmXScript(TStdXtra* i_xtra) : TStdXtraInterface(i_xtra) {}

    // Answers 0 for now; true when a pattern may be added (a camera, fewer
    // than ten patterns) and the call's grid size arguments are numbers.
    bool startLoading(const XtraCall& i_call, int32_t* o_width, int32_t* o_height) const;
    // Wraps the pattern in _pendingCode in a new detector, the last one.
    void addDetector(const XtraCall& i_call);
    // Runs the first detector on the frame the raster holds; true when it
    // selected a square.
    bool detectFirst();
    // Runs every detector on the frame with one shared analysis; false when
    // the analysis failed, so that none found its marker.
    bool detectAll();
    // True with the pose matrix value when detector i_index's last detection
    // found its marker well enough.
    bool poseMatrix(int32_t i_index, Moa::TMoaValue* o_matrix);
};

}  // namespace VoXtra
