#pragma once

#include <cstdint>
#include <vector>

#include "IVoARLabeling.h"

namespace VoTrack {

// Finds the 8-connected regions of dark (0) pixels of a binary raster in one
// raster scan with a table of provisional ("raw") labels, then compacts the
// table and sums each raw label's pixels into the region records. Regions
// are numbered in the raster order of their first pixel; the outermost rows
// and columns never belong to a region.
class VoARLabeling_Kestrel : public IVoARLabeling
{
public:
    // Most raw labels one frame may create.
    static constexpr int32_t MAX_RAW_LABELS = 32768;
    // Work records are created this many at a time and then reused.
    static constexpr int32_t WORK_BATCH_SIZE = 256;

    VoARLabeling_Kestrel();
    ~VoARLabeling_Kestrel() override;

    VoARLabeling_Kestrel(const VoARLabeling_Kestrel&) = delete;
    VoARLabeling_Kestrel& operator=(const VoARLabeling_Kestrel&) = delete;

    // Writes 0 into the image's outermost rows and columns, which no
    // labeling writes again.
    void attachLabelImage(IVoARLabelingImage* i_label_image) override;
    IVoARLabelingImage* getAttachedLabelImage() const override;
    // Labels i_raster (ints, 0 dark, anything else bright) into the attached
    // image, which must have the same size. Throws VoARException for more
    // than MAX_RAW_LABELS raw labels or MAX_RAW_LABELS or more regions; the
    // image is then incomplete until the next labeling that succeeds.
    void labeling(const IVoARRaster& i_raster) override;

    // Number of work records created so far.
    int32_t getWorkRecordCount() const { return static_cast<int32_t>(_work_table.size()); }

private:
    // Accumulator of one raw label. The sums are 64-bit: a region of a large
    // frame can sum beyond 32 bits.
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

    // Makes sure record i_index exists, creating a batch if needed; returns
    // the records' base, which moves when the table grows.
    WorkRecord* reserveWorkRecord(int32_t i_index);
    // Step 1: labels every interior pixel with a raw label; returns the
    // number of raw labels.
    int32_t scanRows(const int32_t* i_input, int32_t i_width, int32_t i_height);
    // Step 2: maps raw labels to final numbers 1..n in place; returns n.
    int32_t compactIndexTable(int32_t i_raw_count) const;
    // Step 3: fills the first i_label_count records from the work records.
    void fillLabels(int32_t i_raw_count, int32_t i_label_count, int32_t i_width, int32_t i_height) const;

    std::vector<WorkRecord> _work_table;
    IVoARLabelingImage* _out_image;
};

}  // namespace VoTrack
