#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "IVoARLabeling.h"

namespace VoTrack {

// Finds the 8-connected regions of dark (0) pixels of a binary raster in one
// raster scan with a table of provisional ("raw") labels, then compacts the
// table and sums each raw label's pixels into the region records. Regions
// are numbered in the raster order of their first pixel; the outermost rows
// and columns never belong to a region. A second form takes a one-byte dark
// mask and works run by run: same regions, records and failures, far less
// work per bright pixel.
class VoARLabeling_Kestrel : public IVoARLabeling
{
public:
    // Most raw labels one frame may create.
    static constexpr int32_t MAX_RAW_LABELS = 32768;

    VoARLabeling_Kestrel();
    ~VoARLabeling_Kestrel() override;

    VoARLabeling_Kestrel(const VoARLabeling_Kestrel&) = delete;
    VoARLabeling_Kestrel& operator=(const VoARLabeling_Kestrel&) = delete;

    // Writes 0 into the image's outermost rows and columns, which no
    // labeling writes again, and makes the work records for the most raw
    // labels a frame of its size can have (VoARLabelingImage::rawLabelLimit,
    // which the image's index table must hold): no labeling allocates.
    void attachLabelImage(IVoARLabelingImage* i_label_image) override;
    IVoARLabelingImage* getAttachedLabelImage() const override;
    // Labels i_raster (ints, 0 dark, anything else bright) into the attached
    // image, which must have the same size. Throws VoARException for more
    // than MAX_RAW_LABELS raw labels or MAX_RAW_LABELS or more regions; the
    // image is then incomplete until the next labeling that succeeds.
    void labeling(const IVoARRaster& i_raster) override;
    // The same labeling of a dark mask: w x h bytes of the attached image's
    // size, non-zero (1) for a dark pixel. Gives the regions, records, raw
    // label count and failures that labeling gives for the binary raster
    // with 0 where the mask is non-zero. Writes only the dark pixels, after
    // clearing those the last labeling wrote: the attached image must not be
    // written by anything else.
    void labelingDark(const uint8_t* i_dark);

    // Number of work records, one per raw label the attached image's frame
    // can have.
    int32_t getWorkRecordCount() const { return _work_count; }

private:
    // Accumulator of one raw label, written whole when the label is made,
    // so the table is never cleared. The sums are 64-bit: a region of a
    // large frame can sum beyond 32 bits.
    struct WorkRecord
    {
        int32_t count;
        int64_t sum_x;
        int64_t sum_y;
        int32_t min_x;
        int32_t max_x;
        int32_t min_y;
        int32_t max_y;
    };

    // A horizontal run of dark interior pixels, first..last inclusive, and
    // the raw label its pixels hold.
    struct TRun
    {
        int32_t first;
        int32_t last;
        int32_t raw;
    };

    // Empties the label stack and enables the index table: the start of
    // both forms.
    void beginLabeling(const TVoARIntSize* i_size);
    // Steps 2 and 3: numbers the regions and fills their records.
    void finishLabeling(int32_t i_raw_count, int32_t i_width, int32_t i_height);
    // Record i_index for a new raw label; throws VoARException when the
    // frame has used every record.
    WorkRecord& newWorkRecord(int32_t i_index);
    // Step 1: labels every interior pixel with a raw label; returns the
    // number of raw labels.
    int32_t scanRows(const int32_t* i_input, int32_t i_width, int32_t i_height);
    // Step 1 of the mask form, run by run; returns the number of raw labels.
    int32_t scanRuns(const uint8_t* i_dark, int32_t i_width, int32_t i_height);
    // Gives i_run its raw label and accounts it: joined to the runs of the
    // row above that touch it (8-connected), or a new raw label where the
    // pixel scan would make one, at a first pixel without a dark pixel
    // above it. io_index is the index table. Returns the new raw label
    // count.
    int32_t labelRun(TRun* io_run, const TRun* i_above, int32_t i_above_count, int32_t i_touching, int32_t i_y,
                     int32_t i_raw_count, int* io_index);
    // Zeroes the pixels earlier labelings may have written.
    void clearWrittenPixels(int32_t i_width, int32_t i_height);
    // Step 2: maps raw labels to final numbers 1..n in place; returns n.
    int32_t compactIndexTable(int32_t i_raw_count) const;
    // Step 3: fills the first i_label_count records from the work records.
    void fillLabels(int32_t i_raw_count, int32_t i_label_count, int32_t i_width, int32_t i_height) const;

    // Left uninitialised: a record is read only after newWorkRecord wrote it.
    std::unique_ptr<WorkRecord[]> _work_table;
    int32_t _work_count;
    IVoARLabelingImage* _out_image;
    // Runs of the row above and of the current row, room for a row's most.
    std::vector<TRun> _runs_above;
    std::vector<TRun> _runs_here;
    // Per row, the columns the mask form wrote (first > last: none).
    std::vector<int32_t> _written_first;
    std::vector<int32_t> _written_last;
    // The attached image may hold non-zero pixels anywhere: after attaching
    // and after the pixel form.
    bool _all_written;
};

}  // namespace VoTrack
