#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../support/PolygonRaster.h"
#include "VoARBinRaster.h"
#include "VoARException.h"
#include "VoARLabelingImage.h"
#include "VoARLabelingLabelStack.h"
#include "VoARLabeling_Kestrel.h"

using namespace VoTrack;
using VoTrackTest::fillRaster;
using VoTrackTest::fillRect;

namespace {

using Point = std::pair<int32_t, int32_t>;

// ---- Label stack --------------------------------------------------------------

class LabelStackSortTest : public ::testing::Test
{
protected:
    VoARLabelingLabelStack _stack{VoARLabelingImage::MAX_LABELS};

    // Fills the stack with records of the given areas, ids 1, 2, ...
    void fill(const std::vector<int32_t>& i_areas)
    {
        _stack.reserve(static_cast<int32_t>(i_areas.size()));
        for (std::size_t i = 0; i < i_areas.size(); i++) {
            *_stack.getArray()[i] = VoARLabelingLabel{static_cast<int32_t>(i + 1), i_areas[i], 0, 0, 0, 0, 0.0, 0.0};
        }
    }
    std::vector<int32_t> field(int32_t VoARLabelingLabel::*i_field) const
    {
        std::vector<int32_t> values;
        for (int32_t i = 0; i < _stack.getLength(); i++) {
            values.push_back(_stack.getArray()[i]->*i_field);
        }
        return values;
    }
};

TEST_F(LabelStackSortTest, SortsByDecreasingAreaCarryingIds)
{
    fill({5, 90, 90, 300});
    _stack.sortByArea();
    EXPECT_EQ(field(&VoARLabelingLabel::area), (std::vector<int32_t>{300, 90, 90, 5}));
    EXPECT_EQ(field(&VoARLabelingLabel::id)[0], 4);
    EXPECT_EQ(field(&VoARLabelingLabel::id)[3], 1);
}

TEST_F(LabelStackSortTest, EqualAreasCanChangeOrderThroughOtherSwaps)
{
    // Gaps 3, 2, 1: the gap-2 pass swaps 5 with the second 90, which then
    // stands before the first; equal areas are never swapped back.
    fill({5, 90, 90});
    _stack.sortByArea();
    EXPECT_EQ(field(&VoARLabelingLabel::id), (std::vector<int32_t>{3, 2, 1}));
}

TEST_F(LabelStackSortTest, OneRecordIsLeftAndEmptyStackReturns)
{
    fill({42});
    _stack.sortByArea();
    EXPECT_EQ(field(&VoARLabelingLabel::id), std::vector<int32_t>{1});
    _stack.clear();
    _stack.sortByArea();
    EXPECT_EQ(_stack.getLength(), 0);
}

class LabelStackRandomSortTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(LabelStackRandomSortTest, ResultIsADescendingPermutation)
{
    std::mt19937 random(static_cast<uint32_t>(GetParam()));
    std::uniform_int_distribution<int32_t> area(0, 50);
    VoARLabelingLabelStack stack(VoARLabelingImage::MAX_LABELS);
    stack.reserve(GetParam());
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t i = 0; i < GetParam(); i++) {
        *stack.getArray()[i] = VoARLabelingLabel{i + 1, area(random), 0, 0, 0, 0, 0.0, 0.0};
        expected.emplace_back(stack.getArray()[i]->area, i + 1);
    }
    stack.sortByArea();
    std::vector<std::pair<int32_t, int32_t>> sorted;
    for (int32_t i = 0; i < GetParam(); i++) {
        sorted.emplace_back(stack.getArray()[i]->area, stack.getArray()[i]->id);
        if (i > 0) {
            ASSERT_GE(stack.getArray()[i - 1]->area, stack.getArray()[i]->area) << "at " << i;
        }
    }
    std::sort(expected.begin(), expected.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LabelStackRandomSortTest, ::testing::Values(2, 3, 7, 100, 4000));

// ---- Labeling ---------------------------------------------------------------

// A binary frame, its label image and a labeling attached to it.
class LabelingTest : public ::testing::Test
{
protected:
    void build(int32_t i_width, int32_t i_height)
    {
        _bin = std::make_unique<VoARBinRaster>(i_width, i_height);
        fillRaster(*_bin, 1);
        _image = std::make_unique<VoARLabelingImage>(i_width, i_height);
        _labeling.attachLabelImage(_image.get());
    }
    void setDark(const std::vector<Point>& i_points)
    {
        for (const Point& p : i_points) {
            _bin->getIntBuffer()[p.second * _bin->getWidth() + p.first] = 0;
        }
    }
    void label() { _labeling.labeling(*_bin); }
    // The binary frame as a dark mask (1 where the frame is 0).
    std::vector<uint8_t> darkMask() const
    {
        const int32_t* bin = _bin->getIntBuffer();
        std::vector<uint8_t> mask(static_cast<std::size_t>(_bin->getWidth() * _bin->getHeight()));
        for (std::size_t i = 0; i < mask.size(); i++) {
            mask[i] = bin[i] == 0 ? 1 : 0;
        }
        return mask;
    }
    int32_t count() const { return _image->getLabelStack()->getLength(); }
    const VoARLabelingLabel& labelAt(int32_t i_position) const { return *_image->getLabelStack()->getArray()[i_position]; }
    int32_t raw(int32_t i_x, int32_t i_y) const { return _image->getIntBuffer()[i_y * _image->getWidth() + i_x]; }
    // The final label of pixel (x, y), 0 for background.
    int32_t finalLabel(int32_t i_x, int32_t i_y) const
    {
        const int32_t r = raw(i_x, i_y);
        return r > 0 ? _image->getIndexArray()->items[r - 1] : 0;
    }
    std::vector<Point> contour(int32_t i_index, int32_t i_size) const
    {
        std::vector<int32_t> xs(static_cast<std::size_t>(i_size), -1);
        std::vector<int32_t> ys(static_cast<std::size_t>(i_size), -1);
        const int32_t n = _image->getContour(i_index, i_size, xs.data(), ys.data());
        std::vector<Point> points;
        for (int32_t i = 0; i < n; i++) {
            points.emplace_back(xs[i], ys[i]);
        }
        return points;
    }

    std::unique_ptr<VoARBinRaster> _bin;
    std::unique_ptr<VoARLabelingImage> _image;
    VoARLabeling_Kestrel _labeling;
};

TEST_F(LabelingTest, AllBrightGivesNoLabelsAndAClearedInterior)
{
    build(6, 5);
    std::fill(_image->getIntBuffer(), _image->getIntBuffer() + 30, 99);
    _labeling.attachLabelImage(_image.get());
    label();
    EXPECT_EQ(count(), 0);
    for (int32_t i = 0; i < 30; i++) {
        EXPECT_EQ(_image->getIntBuffer()[i], 0) << "pixel " << i;
    }
}

TEST_F(LabelingTest, AllDarkFrameIsOneInteriorRegion)
{
    build(5, 4);
    fillRaster(*_bin, 0);
    label();
    ASSERT_EQ(count(), 1);
    const VoARLabelingLabel& region = labelAt(0);
    EXPECT_EQ(region.id, 1);
    EXPECT_EQ(region.area, 6);
    EXPECT_EQ(region.left, 1);
    EXPECT_EQ(region.right, 3);
    EXPECT_EQ(region.top, 1);
    EXPECT_EQ(region.bottom, 2);
    EXPECT_DOUBLE_EQ(region.center_x, 2.0);
    EXPECT_DOUBLE_EQ(region.center_y, 1.5);
    for (int32_t x = 0; x < 5; x++) {
        EXPECT_EQ(raw(x, 0), 0);
        EXPECT_EQ(raw(x, 3), 0);
    }
    EXPECT_EQ(raw(0, 1), 0);
    EXPECT_EQ(raw(4, 2), 0);
}

TEST_F(LabelingTest, VShapedArmsMergeIntoOneRegion)
{
    // Arms from (2,1) and (8,1) run down diagonally and meet at (5,4).
    build(11, 7);
    setDark({{2, 1}, {8, 1}, {3, 2}, {7, 2}, {4, 3}, {6, 3}, {5, 4}});
    label();
    ASSERT_EQ(count(), 1);
    EXPECT_NE(raw(2, 1), raw(8, 1)) << "the arms start as separate raw labels";
    EXPECT_EQ(finalLabel(2, 1), 1);
    EXPECT_EQ(finalLabel(8, 1), 1);
    EXPECT_EQ(finalLabel(7, 2), 1);
    const VoARLabelingLabel& region = labelAt(0);
    EXPECT_EQ(region.area, 7);
    EXPECT_EQ(region.left, 2);
    EXPECT_EQ(region.right, 8);
    EXPECT_EQ(region.top, 1);
    EXPECT_EQ(region.bottom, 4);
    EXPECT_DOUBLE_EQ(region.center_x, 35.0 / 7);
    EXPECT_DOUBLE_EQ(region.center_y, 16.0 / 7);
}

TEST_F(LabelingTest, CornerTouchingPixelsJoinAndSeparatePixelsAreNumberedLeftToRight)
{
    build(8, 8);
    setDark({{3, 3}, {4, 4}});
    label();
    EXPECT_EQ(count(), 1);

    fillRaster(*_bin, 1);
    setDark({{5, 3}, {3, 3}});
    label();
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(finalLabel(3, 3), 1);
    EXPECT_EQ(finalLabel(5, 3), 2);
    EXPECT_EQ(labelAt(0).left, 3);
    EXPECT_EQ(labelAt(1).left, 5);
}

TEST_F(LabelingTest, FrameEdgePixelsNeverBelongToARegion)
{
    build(6, 6);
    fillRect(*_bin, 0, 0, 2, 2);
    label();
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(labelAt(0).area, 4);
    EXPECT_EQ(labelAt(0).left, 1);
    EXPECT_EQ(labelAt(0).top, 1);
}

TEST_F(LabelingTest, CentreOfAWideRegionIsExact)
{
    // The region's x coordinates sum to about 7.2e9, beyond 32 bits.
    build(6000, 400);
    fillRaster(*_bin, 0);
    label();
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(labelAt(0).area, 5998 * 398);
    EXPECT_DOUBLE_EQ(labelAt(0).center_x, 2999.5);
    EXPECT_DOUBLE_EQ(labelAt(0).center_y, 199.5);
}

TEST_F(LabelingTest, WorkRecordsAreMadeAtAttachForTheFrame)
{
    build(40, 40);
    EXPECT_EQ(_labeling.getWorkRecordCount(), 361) << "19 x 19 disjoint 2 x 2 blocks in 39 x 39 pixels";
    // Isolated pixels at odd positions reach the limit exactly.
    for (int32_t y = 1; y < 39; y += 2) {
        for (int32_t x = 1; x < 39; x += 2) {
            setDark({{x, y}});
        }
    }
    label();
    EXPECT_EQ(count(), 361);
    _labeling.labelingDark(darkMask().data());
    EXPECT_EQ(count(), 361);
    build(20, 10);
    EXPECT_EQ(_labeling.getWorkRecordCount(), 9 * 4) << "attaching another size remakes them";
}

// Every frame of a small size, dark pixel by dark pixel: both forms label
// each one within the tables sized by rawLabelLimit, which would throw if
// the limit were below what a frame can need, and some frame reaches it.
class LabelingEveryFrameTest : public LabelingTest, public ::testing::WithParamInterface<std::pair<int32_t, int32_t>>
{
};

TEST_P(LabelingEveryFrameTest, FitsTheRawLabelLimitAndReachesIt)
{
    const auto [width, height] = GetParam();
    build(width, height);
    const int32_t columns = width - 2;
    const int32_t interior = columns * (height - 2);
    int32_t most = 0;
    for (uint32_t bits = 0; bits < (1u << interior); bits++) {
        fillRaster(*_bin, 1);
        for (int32_t i = 0; i < interior; i++) {
            if ((bits >> i) & 1u) {
                setDark({{1 + i % columns, 1 + i / columns}});
            }
        }
        ASSERT_NO_THROW(label()) << "frame " << bits;
        const int32_t pixel_count = count();
        ASSERT_NO_THROW(_labeling.labelingDark(darkMask().data())) << "frame " << bits;
        ASSERT_EQ(count(), pixel_count) << "frame " << bits;
        most = std::max(most, count());
    }
    EXPECT_EQ(most, VoARLabelingImage::rawLabelLimit(width, height));
}

// 6 x 6 and 5 x 6: 4 regions at most; 7 x 5: 6.
INSTANTIATE_TEST_SUITE_P(SmallFrames, LabelingEveryFrameTest,
                         ::testing::Values(std::make_pair(6, 6), std::make_pair(5, 6), std::make_pair(7, 5)));

TEST(LabelingDeathTest, SizeOfAttachedImageMustMatch)
{
    VoARBinRaster bin(8, 6);
    VoARLabelingImage image(6, 8);
    VoARLabeling_Kestrel labeling;
    labeling.attachLabelImage(&image);
    EXPECT_DEATH(labeling.labeling(bin), "^src/core/VoARLabeling_Kestrel:[0-9]+: failed assertion "
                                         "`TVoARIntSize::isEqualSize\\(this->_out_image->getSize\\(\\),in_size\\)'\n$");
}

// ---- Too many regions ---------------------------------------------------------

// Isolated dark pixels on every other column and row.
void drawDotGrid(VoARBinRaster& io_bin, int32_t i_columns, int32_t i_rows)
{
    fillRaster(io_bin, 1);
    for (int32_t j = 0; j < i_rows; j++) {
        for (int32_t i = 0; i < i_columns; i++) {
            io_bin.getIntBuffer()[(2 * j + 1) * io_bin.getWidth() + 2 * i + 1] = 0;
        }
    }
}

struct DotGridCase
{
    int32_t columns;
    int32_t rows;
    bool throws;
};

class LabelingCapacityTest : public ::testing::TestWithParam<DotGridCase> {};

TEST_P(LabelingCapacityTest, TooManyRegionsThrowAndTheNextFrameLabelsCorrectly)
{
    const DotGridCase c = GetParam();
    const int32_t width = 2 * c.columns + 2;
    // Room below the grid's rows for the second frame's rectangle.
    const int32_t height = std::max(2 * c.rows + 2, 8);
    VoARBinRaster bin(width, height);
    VoARLabelingImage image(width, height);
    VoARLabeling_Kestrel labeling;
    labeling.attachLabelImage(&image);
    drawDotGrid(bin, c.columns, c.rows);
    if (c.throws) {
        EXPECT_THROW(labeling.labeling(bin), VoARException);
    } else {
        labeling.labeling(bin);
        EXPECT_EQ(image.getLabelStack()->getLength(), c.columns * c.rows);
    }

    fillRaster(bin, 1);
    fillRect(bin, 3, 2, 7, 5);
    fillRect(bin, 20, 1, 20, 1);
    labeling.labeling(bin);
    ASSERT_EQ(image.getLabelStack()->getLength(), 2);
    const VoARLabelingLabel& rect = *image.getLabelStack()->getArray()[1];
    EXPECT_EQ(rect.area, 20);
    EXPECT_EQ(rect.left, 3);
    EXPECT_EQ(rect.bottom, 5);
    EXPECT_EQ(image.getLabelStack()->getArray()[0]->area, 1);
}

INSTANTIATE_TEST_SUITE_P(Grids, LabelingCapacityTest,
                         ::testing::Values(DotGridCase{256, 127, false} /* 32512 */,
                                           DotGridCase{32767, 1, false} /* the most regions */,
                                           DotGridCase{32768, 1, true} /* too many regions */,
                                           DotGridCase{200, 200, true} /* too many raw labels */));

// ---- Against an independent labeling -------------------------------------------

struct Region
{
    int32_t area = 0;
    int32_t left = 1 << 30;
    int32_t right = -1;
    int32_t top = 1 << 30;
    int32_t bottom = -1;
    double sum_x = 0.0;
    double sum_y = 0.0;
};

// Breadth-first 8-connected labeling of the interior, numbered in the raster
// order of each region's first pixel. o_labels gets each pixel's number.
std::vector<Region> referenceLabeling(const VoARBinRaster& i_bin, std::vector<int32_t>& o_labels)
{
    const int32_t w = i_bin.getWidth();
    const int32_t h = i_bin.getHeight();
    o_labels.assign(static_cast<std::size_t>(w * h), 0);
    std::vector<Region> regions;
    auto dark = [&](int32_t x, int32_t y) {
        return x >= 1 && y >= 1 && x <= w - 2 && y <= h - 2 && i_bin.getIntBuffer()[y * w + x] == 0;
    };
    for (int32_t y = 1; y < h - 1; y++) {
        for (int32_t x = 1; x < w - 1; x++) {
            if (!dark(x, y) || o_labels[y * w + x] != 0) {
                continue;
            }
            regions.emplace_back();
            const int32_t id = static_cast<int32_t>(regions.size());
            std::vector<Point> queue{{x, y}};
            o_labels[y * w + x] = id;
            for (std::size_t q = 0; q < queue.size(); q++) {
                const auto [px, py] = queue[q];
                Region& r = regions.back();
                r.area++;
                r.left = std::min(r.left, px);
                r.right = std::max(r.right, px);
                r.top = std::min(r.top, py);
                r.bottom = std::max(r.bottom, py);
                r.sum_x += px;
                r.sum_y += py;
                for (int32_t dy = -1; dy <= 1; dy++) {
                    for (int32_t dx = -1; dx <= 1; dx++) {
                        if (dark(px + dx, py + dy) && o_labels[(py + dy) * w + px + dx] == 0) {
                            o_labels[(py + dy) * w + px + dx] = id;
                            queue.emplace_back(px + dx, py + dy);
                        }
                    }
                }
            }
        }
    }
    return regions;
}

struct RandomFrameCase
{
    uint32_t seed;
    double dark_share;
};

class LabelingRandomTest : public LabelingTest, public ::testing::WithParamInterface<RandomFrameCase> {};

TEST_P(LabelingRandomTest, AgreesWithBreadthFirstLabeling)
{
    build(61, 47);
    std::mt19937 random(GetParam().seed);
    std::bernoulli_distribution is_dark(GetParam().dark_share);
    // Two frames in a row: nothing of the first may leak into the second.
    for (int frame = 0; frame < 2; frame++) {
        for (int32_t i = 0; i < 61 * 47; i++) {
            _bin->getIntBuffer()[i] = is_dark(random) ? 0 : 1;
        }
        label();
        std::vector<int32_t> expected_labels;
        const std::vector<Region> expected = referenceLabeling(*_bin, expected_labels);
        ASSERT_EQ(count(), static_cast<int32_t>(expected.size()));
        for (int32_t k = 0; k < count(); k++) {
            const VoARLabelingLabel& got = labelAt(k);
            const Region& want = expected[static_cast<std::size_t>(k)];
            EXPECT_EQ(got.id, k + 1);
            EXPECT_EQ(got.area, want.area) << "region " << k + 1;
            EXPECT_EQ(got.left, want.left) << "region " << k + 1;
            EXPECT_EQ(got.right, want.right) << "region " << k + 1;
            EXPECT_EQ(got.top, want.top) << "region " << k + 1;
            EXPECT_EQ(got.bottom, want.bottom) << "region " << k + 1;
            EXPECT_NEAR(got.center_x, want.sum_x / want.area, 1e-12) << "region " << k + 1;
            EXPECT_NEAR(got.center_y, want.sum_y / want.area, 1e-12) << "region " << k + 1;
        }
        for (int32_t y = 0; y < 47; y++) {
            for (int32_t x = 0; x < 61; x++) {
                ASSERT_EQ(finalLabel(x, y), expected_labels[y * 61 + x]) << "pixel " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, LabelingRandomTest,
                         ::testing::Values(RandomFrameCase{1, 0.2}, RandomFrameCase{2, 0.4},
                                           RandomFrameCase{3, 0.5}, RandomFrameCase{4, 0.6},
                                           RandomFrameCase{5, 0.8}));

// ---- Label image queries -----------------------------------------------------------

TEST(LabelingImageTest, IndexTableIsHiddenUntilReset)
{
    VoARLabelingImage image(4, 4);
    EXPECT_EQ(image.getIndexArray(), nullptr);
    image.reset(true);
    ASSERT_NE(image.getIndexArray(), nullptr);
    EXPECT_EQ(image.getIndexArray()->length, 1) << "one raw label fits a 4 x 4 frame";
    EXPECT_EQ(image.getLabelStack()->getCapacity(), 2);
    EXPECT_TRUE(image.getBufferReader()->isEqualBufferType(IVoARBufferReader::BUFFERFORMAT_INT1D));
    EXPECT_EQ(image.getBufferReader()->getBuffer(), image.getIntBuffer());
}

struct RawLimitCase
{
    int32_t width;
    int32_t height;
    int32_t limit;
    int32_t label_capacity;
};

class RawLabelLimitTest : public ::testing::TestWithParam<RawLimitCase> {};

// The tables of a label image follow its frame up to the fixed caps, so a
// frame throws for too many regions exactly as with tables of the caps.
TEST_P(RawLabelLimitTest, TablesFollowTheFrameUpToTheCaps)
{
    const RawLimitCase c = GetParam();
    EXPECT_EQ(VoARLabelingImage::rawLabelLimit(c.width, c.height), c.limit);
    VoARLabelingImage image(c.width, c.height);
    image.reset(true);
    EXPECT_EQ(image.getIndexArray()->length, c.limit);
    EXPECT_EQ(image.getLabelStack()->getCapacity(), c.label_capacity);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawLabelLimitTest,
                         ::testing::Values(RawLimitCase{1, 1, 0, 1}, RawLimitCase{2, 9, 0, 1},
                                           RawLimitCase{3, 3, 1, 2}, RawLimitCase{5, 4, 2, 3},
                                           RawLimitCase{160, 120, 79 * 59, 79 * 59 + 1},
                                           RawLimitCase{363, 363, 181 * 181, 181 * 181 + 1},
                                           RawLimitCase{640, 480, 32768, 32768},
                                           RawLimitCase{65536, 8, 32768, 32768}));

TEST(LabelingImageDeathTest, ResetRequiresTheIndexTable)
{
    VoARLabelingImage image(4, 4);
    EXPECT_DEATH(image.reset(false), "^src/core/VoARLabelingImage:[0-9]+: failed assertion `i_label_index_enable==true'\n$");
}

// A filled rectangle (inclusive pixel bounds) and its traced outline.
struct ContourCase
{
    std::string name;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    std::vector<Point> outline;
};

class LabelingContourTest : public LabelingTest, public ::testing::WithParamInterface<ContourCase> {};

TEST_P(LabelingContourTest, OutlineRunsClockwiseFromTheTopLeftAndCloses)
{
    build(12, 10);
    fillRect(*_bin, GetParam().left, GetParam().top, GetParam().right, GetParam().bottom);
    label();
    EXPECT_EQ(contour(0, 100), GetParam().outline);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LabelingContourTest,
    ::testing::Values(ContourCase{"Square3x3", 5, 5, 7, 7,
                                  {{5, 5}, {6, 5}, {7, 5}, {7, 6}, {7, 7}, {6, 7}, {5, 7}, {5, 6}, {5, 5}}},
                      ContourCase{"Rectangle5x4", 3, 2, 7, 5,
                                  {{3, 2}, {4, 2}, {5, 2}, {6, 2}, {7, 2}, {7, 3}, {7, 4}, {7, 5}, {6, 5}, {5, 5},
                                   {4, 5}, {3, 5}, {3, 4}, {3, 3}, {3, 2}}},
                      // A line one pixel wide is walked out and back.
                      ContourCase{"Line", 2, 2, 4, 2, {{2, 2}, {3, 2}, {4, 2}, {3, 2}, {2, 2}}}),
    [](const ::testing::TestParamInfo<ContourCase>& i_info) { return i_info.param.name; });

TEST_F(LabelingTest, ContourStopsAtTheArraySize)
{
    build(12, 12);
    fillRect(*_bin, 5, 5, 7, 7);
    label();
    std::vector<int32_t> xs(6, -1);
    std::vector<int32_t> ys(6, -1);
    EXPECT_EQ(_image->getContour(0, 4, xs.data(), ys.data()), 4);
    EXPECT_EQ(xs, (std::vector<int32_t>{5, 6, 7, 7, -1, -1}));
    EXPECT_EQ(ys, (std::vector<int32_t>{5, 5, 5, 6, -1, -1}));
    EXPECT_EQ(_image->getContour(0, 1, xs.data(), ys.data()), 1);
    EXPECT_EQ(xs[1], 6) << "nothing is written past the arrays' size";
    EXPECT_EQ(_image->getContour(0, 0, xs.data(), ys.data()), 0);
}

TEST_F(LabelingTest, TopRowStartSkipsPixelsOfOtherLabels)
{
    // Region 1: a hook whose top row starts at x = 6 while its box starts at
    // x = 2; region 2: a dot at (3, 2) inside that box on the same row.
    build(12, 10);
    fillRect(*_bin, 6, 2, 8, 2);
    fillRect(*_bin, 8, 3, 8, 6);
    fillRect(*_bin, 2, 6, 7, 6);
    setDark({{3, 2}});
    label();
    ASSERT_EQ(count(), 2);
    const VoARLabelingLabel& dot = labelAt(0);
    const VoARLabelingLabel& hook = labelAt(1);
    EXPECT_EQ(dot.left, 3);
    EXPECT_EQ(hook.left, 2);
    EXPECT_EQ(hook.top, 2);
    EXPECT_EQ(_image->getTopRowLeftX(hook), 6);
    EXPECT_EQ(contour(1, 100).front(), (Point{6, 2}));
}

TEST_F(LabelingTest, LabelsWithoutAStartOrANeighbourThrow)
{
    build(12, 10);
    fillRect(*_bin, 3, 3, 5, 5);
    setDark({{8, 7}});
    label();
    VoARLabelingLabel moved = labelAt(0);
    moved.top = 7;
    EXPECT_THROW(_image->getTopRowLeftX(moved), VoARException) << "no pixel of the label on that row";
    moved.top = 50;
    EXPECT_THROW(_image->getTopRowLeftX(moved), VoARException) << "a row off the raster";
    std::array<int32_t, 10> xs{};
    std::array<int32_t, 10> ys{};
    EXPECT_THROW(_image->getContour(1, 10, xs.data(), ys.data()), VoARException) << "a single pixel";
    EXPECT_THROW(_image->getContour(2, 10, xs.data(), ys.data()), VoARException) << "past the stack";
}

}  // namespace
