#pragma once

#include <cstdint>
#include <memory>

#include "IVoARLabelingImage.h"
#include "VoARBufferReader.h"
#include "VoARRasterSize.h"

namespace VoTrack {

// The label raster (32-bit raw label numbers, 0 for bright and border
// pixels) with its index table and region records, plus the two pixel-level
// queries of the square detector: a region's contour start and its outline.
class VoARLabelingImage : public VoARRasterSize<IVoARLabelingImage>
{
public:
    // Most region records and raw label numbers a frame may have.
    static constexpr int32_t MAX_LABELS = 32768;

    // Most raw labels a labeling of a w x h frame can make: each new raw
    // label is a dark interior pixel whose left, up-left, up and up-right
    // neighbours are bright, so the 2 x 2 blocks ending at them are disjoint
    // within the first w - 1 columns and h - 1 rows. Capped at MAX_LABELS;
    // the tables are sized by it, so small frames do not pay for the cap.
    static int32_t rawLabelLimit(int32_t i_width, int32_t i_height);

    // Throws VoARException for a negative size or one too large to address.
    // The index table holds rawLabelLimit entries; the label stack takes one
    // more record, up to MAX_LABELS, so that a frame throws for too many
    // regions exactly when it has MAX_LABELS or more.
    VoARLabelingImage(int32_t i_width, int32_t i_height);
    ~VoARLabelingImage() override;

    VoARLabelingImage(const VoARLabelingImage&) = delete;
    VoARLabelingImage& operator=(const VoARLabelingImage&) = delete;

    IVoARBufferReader* getBufferReader() const override;
    VoArray<int>* getIndexArray() const override;
    VoARLabelingLabelStack* getLabelStack() const override;
    void reset(bool i_label_index_enable) override;

    // The raster itself, for pixel loops that should not go through a reader.
    int32_t* getIntBuffer() const { return _buffer.get(); }

    // The smallest x in i_label's left..right on its top row whose pixel
    // belongs to the label. Throws VoARException if there is none. Reads the
    // index table whether or not it is enabled.
    int32_t getTopRowLeftX(const VoARLabelingLabel& i_label) const;
    // Traces the outer contour of the label at position i_index of the label
    // stack clockwise on the screen, from its top-row leftmost pixel, into
    // o_coord_x / o_coord_y (room for i_array_size points each). Returns the
    // number of points written: the closing point repeats the start; a return
    // of i_array_size means the contour did not close within the arrays.
    // Throws VoARException for an index outside the stack, a label without a
    // start pixel or a contour pixel with no dark neighbour.
    int32_t getContour(int32_t i_index, int32_t i_array_size, int32_t* o_coord_x, int32_t* o_coord_y) const;

private:
    std::unique_ptr<int32_t[]> _buffer;
    std::unique_ptr<VoARBufferReader> _buffer_reader;
    std::unique_ptr<VoARLabelingLabelStack> _label_stack;
    std::unique_ptr<VoArray<int>> _index_table;
    bool _is_index_table_enabled;
};

}  // namespace VoTrack
