// The pattern chooser on hand-made correlations, fed from a real matcher,
// and its per-square calls under a counting allocator (this program replaces
// the global allocation functions, which is why the count is trustworthy).

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "IVoARColorPatt.h"
#include "VoARCode.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARPatternChooser.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* countedAllocation(std::size_t i_size)
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    void* block = std::malloc(i_size == 0 ? 1 : i_size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t i_size)
{
    return countedAllocation(i_size);
}

void* operator new[](std::size_t i_size)
{
    return countedAllocation(i_size);
}

void operator delete(void* i_block) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block) noexcept
{
    std::free(i_block);
}

void operator delete(void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}

void operator delete[](void* i_block, std::size_t) noexcept
{
    std::free(i_block);
}

using VoTrack::VoARPatternChooser;

namespace {

constexpr int32_t DIRECTIONS = VoTrack::VoARCode::DIRECTION_COUNT;
constexpr int32_t PATTERNS = 8;

using Correlations = std::array<double, DIRECTIONS>;

// One square's correlations, pattern 0 first, the thresholds, and what the
// chooser should make of them.
struct TDecisionCase
{
    const char* name;
    double min_confidence;
    double min_margin;
    std::vector<Correlations> patterns;
    bool chosen;
    int32_t pattern;
    int32_t direction;
    double confidence;
    double margin;
};

void PrintTo(const TDecisionCase& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.name;
}

// Values are multiples of 1/64 where a case sits on a threshold, so that
// the differences are exact in binary.
const TDecisionCase DECISION_CASES[] = {
    {"ClearWinnerIsChosen", 0.5, 0.22,
     {{0.20, 0.10, 0.05, -0.10}, {0.10, 0.85, 0.30, 0.00}, {0.55, 0.20, 0.10, 0.10}},
     true, 1, 1, 0.85, 0.30},
    {"CloseRunnerUpInAnotherPatternRefuses", 0.5, 0.22,
     {{0.62, 0.10, 0.10, 0.10}, {0.10, 0.10, 0.50, 0.10}},
     false, 0, 0, 0.62, 0.12},
    // A symmetric picture: the best pattern's own other direction is the
    // runner-up, and the direction could not be told.
    {"CloseRunnerUpInTheSamePatternRefuses", 0.5, 0.22,
     {{0.10, 0.10, 0.10, 0.10}, {0.70, 0.10, 0.66, 0.10}},
     false, 1, 0, 0.70, 0.04},
    {"BelowTheLeastConfidenceRefusesWhateverTheMargin", 0.5, 0.22,
     {{0.45, 0.00, 0.00, 0.00}},
     false, 0, 0, 0.45, 0.45},
    {"BothThresholdsAreInclusive", 48 / 64.0, 16 / 64.0,
     {{0.10, 48 / 64.0, 0.20, 0.00}, {32 / 64.0, 0.10, 0.10, 0.10}},
     true, 0, 1, 48 / 64.0, 16 / 64.0},
    {"RunnerUpBelowZeroCountsAsZero", 0.5, 0.22,
     {{-0.30, 0.60, -0.20, -0.40}, {-0.10, -0.50, -0.20, -0.05}},
     true, 0, 1, 0.60, 0.60},
    {"NoPositiveCorrelationChoosesNothing", 0.0, 0.0,
     {{0.00, -0.10, -0.20, 0.00}, {-0.50, -0.40, -0.30, -0.20}},
     false, -1, -1, 0.0, 0.0},
    {"TieBetweenPatternsLeavesNoMargin", 0.5, 1 / 64.0,
     {{0.80, 0.00, 0.00, 0.00}, {0.00, 0.00, 0.80, 0.00}},
     false, 0, 0, 0.80, 0.0},
    {"TieWithoutALeastMarginGoesToThePairAddedFirst", 0.5, 0.0,
     {{0.10, 0.10, 0.10, 0.10}, {0.00, 0.00, 0.80, 0.80}, {0.80, 0.00, 0.00, 0.00}},
     true, 1, 2, 0.80, 0.0},
};

class VoARPatternChooserTest : public ::testing::Test
{
protected:
    static bool decide(VoARPatternChooser& io_chooser, const std::vector<Correlations>& i_patterns,
                       VoARPatternChooser::TChoice* o_best)
    {
        io_chooser.beginSquare();
        for (size_t p = 0; p < i_patterns.size(); p++) {
            io_chooser.addPattern(static_cast<int32_t>(p), i_patterns[p].data());
        }
        return io_chooser.choose(o_best);
    }
};

class ChooserDecisionTest : public VoARPatternChooserTest, public ::testing::WithParamInterface<TDecisionCase>
{
};

}  // namespace

TEST_P(ChooserDecisionTest, ChoosesTheBestPairOnlyWithConfidenceAndMargin)
{
    const TDecisionCase& c = GetParam();
    VoARPatternChooser chooser(PATTERNS, c.min_confidence, c.min_margin);
    VoARPatternChooser::TChoice best{};
    EXPECT_EQ(decide(chooser, c.patterns, &best), c.chosen);
    EXPECT_EQ(best.pattern, c.pattern);
    EXPECT_EQ(best.direction, c.direction);
    EXPECT_DOUBLE_EQ(best.confidence, c.confidence);
    // Differences of two-decimal values: well within 1e-12.
    EXPECT_NEAR(best.margin, c.margin, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChooserDecisionTest, ::testing::ValuesIn(DECISION_CASES),
                         [](const ::testing::TestParamInfo<TDecisionCase>& i_info) {
                             return std::string(i_info.param.name);
                         });

namespace {

// The tracker's choice before the margin, written out from its two steps:
// per pattern the matcher's best positive direction (the lower on a tie),
// then the pattern of the highest confidence (the lower on a tie), taken
// when it reaches the least confidence.
VoARPatternChooser::TChoice highestConfidence(const std::vector<Correlations>& i_patterns)
{
    VoARPatternChooser::TChoice best{-1, -1, 0.0, 0.0};
    for (size_t p = 0; p < i_patterns.size(); p++) {
        double confidence = 0.0;
        int32_t direction = -1;
        for (int32_t d = 0; d < DIRECTIONS; d++) {
            if (i_patterns[p][static_cast<size_t>(d)] > confidence) {
                confidence = i_patterns[p][static_cast<size_t>(d)];
                direction = d;
            }
        }
        if (direction >= 0 && (best.pattern < 0 || confidence > best.confidence)) {
            best = VoARPatternChooser::TChoice{static_cast<int32_t>(p), direction, confidence, 0.0};
        }
    }
    return best;
}

// Correlations on a coarse grid of twentieths, so that ties are common.
std::vector<Correlations> randomSquare(std::mt19937& io_random)
{
    std::uniform_int_distribution<int> twentieths(-20, 20);
    std::vector<Correlations> patterns(PATTERNS);
    for (Correlations& pattern : patterns) {
        for (double& r : pattern) {
            r = twentieths(io_random) / 20.0;
        }
    }
    return patterns;
}

}  // namespace

// Without a least margin the chooser is the tracker's highest-confidence
// rule, ties included.
TEST_F(VoARPatternChooserTest, WithoutAMarginItMakesTheHighestConfidenceChoice)
{
    std::mt19937 random(515);
    constexpr double MIN_CONFIDENCE = 0.55;
    VoARPatternChooser chooser(PATTERNS, MIN_CONFIDENCE, 0.0);
    for (int square = 0; square < 2000; square++) {
        SCOPED_TRACE(square);
        const std::vector<Correlations> patterns = randomSquare(random);
        const VoARPatternChooser::TChoice expected = highestConfidence(patterns);
        VoARPatternChooser::TChoice best{};
        const bool chosen = decide(chooser, patterns, &best);
        ASSERT_EQ(chosen, expected.pattern >= 0 && expected.confidence >= MIN_CONFIDENCE);
        ASSERT_EQ(best.pattern, expected.pattern);
        ASSERT_EQ(best.direction, expected.direction);
        ASSERT_EQ(best.confidence, expected.confidence);
    }
}

// What a square was fed is forgotten at the next: its pairs neither win nor
// compete, and its patterns may be added again.
TEST_F(VoARPatternChooserTest, EachSquareStartsAfresh)
{
    VoARPatternChooser chooser(2);
    VoARPatternChooser::TChoice best{};
    ASSERT_FALSE(decide(chooser, {{0.95, 0.90, 0.0, 0.0}, {0.9, 0.0, 0.0, 0.0}}, &best));
    EXPECT_TRUE(decide(chooser, {{0.0, 0.0, 0.0, 0.1}, {0.0, 0.0, 0.7, 0.0}}, &best));
    EXPECT_EQ(best.pattern, 1);
    EXPECT_EQ(best.direction, 2);
    EXPECT_NEAR(best.margin, 0.6, 1e-12);
}

TEST_F(VoARPatternChooserTest, PerSquareCallsAllocateNothing)
{
    VoARPatternChooser chooser(PATTERNS);
    const Correlations correlations = {0.9, 0.1, -0.2, 0.3};
    VoARPatternChooser::TChoice best{};
    g_allocations = 0;
    g_counting = true;
    for (int square = 0; square < 100; square++) {
        chooser.beginSquare();
        for (int32_t p = 0; p < PATTERNS; p++) {
            chooser.addPattern(p, correlations.data());
        }
        chooser.choose(&best);
    }
    g_counting = false;
    EXPECT_EQ(g_allocations, 0);
    // The allocator is the counting one.
    g_counting = true;
    delete new int(1);
    g_counting = false;
    EXPECT_EQ(g_allocations, 1);
}

TEST(VoARPatternChooserDeathTest, MisuseFailsItsAssertion)
{
    const Correlations correlations = {0.5, 0.0, 0.0, 0.0};
    EXPECT_DEATH(VoARPatternChooser(0), "src/core/VoARPatternChooser:[0-9]+: failed assertion `i_pattern_count>=1'");
    EXPECT_DEATH(VoARPatternChooser(1, 1.5, 0.2), "failed assertion `0<=i_min_confidence<=1");
    EXPECT_DEATH(VoARPatternChooser(1, 0.5, -0.1), "failed assertion `0<=i_min_confidence<=1");
    VoARPatternChooser chooser(2);
    EXPECT_DEATH(chooser.addPattern(2, correlations.data()), "failed assertion `0<=i_pattern<");
    EXPECT_DEATH(chooser.addPattern(-1, correlations.data()), "failed assertion `0<=i_pattern<");
    chooser.addPattern(1, correlations.data());
    EXPECT_DEATH(chooser.addPattern(1, correlations.data()), "failed assertion `!this->_added");
}

namespace {

// A sampler that hands out a fixed 4 x 4 sample.
class FixedSample : public VoTrack::IVoARColorPatt
{
public:
    explicit FixedSample(std::vector<int32_t> i_values) : _values(std::move(i_values)) {}
    int32_t getWidth() const override { return SIZE; }
    int32_t getHeight() const override { return SIZE; }
    const int32_t* getSampleData() const override { return _values.data(); }
    bool sampleSquare(const VoTrack::IVoARRgbRaster*, const VoTrack::VoARSquare*) override { return false; }

    static constexpr int32_t SIZE = 4;
    static constexpr int32_t VALUES = SIZE * SIZE * 3;

private:
    std::vector<int32_t> _values;
};

// Patterns of random pictures, each block stored as a sample holds it
// ([row][column][red, green, blue]) and kept for building samples.
class MatcherFedChooserTest : public ::testing::Test
{
protected:
    MatcherFedChooserTest() : _random(77)
    {
        for (auto& code : _codes) {
            code = std::make_unique<VoTrack::VoARCode>(FixedSample::SIZE, FixedSample::SIZE);
        }
        for (size_t p = 0; p < _codes.size(); p++) {
            std::vector<int32_t> file;
            for (int32_t d = 0; d < DIRECTIONS; d++) {
                std::vector<int32_t>& block = _blocks[p][static_cast<size_t>(d)];
                block = randomPicture();
                appendInFileOrder(block, &file);
            }
            _codes[p]->setFromArray(file.data(), FixedSample::SIZE, FixedSample::SIZE);
        }
    }

    std::vector<int32_t> randomPicture()
    {
        std::uniform_int_distribution<int32_t> brightness(0, 255);
        std::vector<int32_t> picture(FixedSample::VALUES);
        for (int32_t& v : picture) {
            v = brightness(_random);
        }
        return picture;
    }

    // Pattern files hold planes blue, green, red, each cell by cell.
    static void appendInFileOrder(const std::vector<int32_t>& i_block, std::vector<int32_t>* io_file)
    {
        for (int32_t plane = 0; plane < 3; plane++) {
            for (int32_t cell = 0; cell < FixedSample::SIZE * FixedSample::SIZE; cell++) {
                io_file->push_back(i_block[static_cast<size_t>(cell * 3 + 2 - plane)]);
            }
        }
    }

    // Matches the sample with every pattern, checking that the matcher's
    // confidence and direction are its best positive correlation, and feeds
    // the chooser.
    bool matchAndChoose(const std::vector<int32_t>& i_sample, VoARPatternChooser::TChoice* o_best)
    {
        const FixedSample sample(i_sample);
        EXPECT_TRUE(_matcher.setSample(&sample));
        _chooser.beginSquare();
        for (size_t p = 0; p < _codes.size(); p++) {
            _matcher.matchCode(_codes[p].get());
            const double* r = _matcher.getCorrelations();
            double confidence = 0.0;
            int32_t direction = -1;
            for (int32_t d = 0; d < DIRECTIONS; d++) {
                EXPECT_LE(std::abs(r[d]), 1.0 + 1e-12);
                if (r[d] > confidence) {
                    confidence = r[d];
                    direction = d;
                }
            }
            EXPECT_EQ(_matcher.getConfidence(), confidence);
            EXPECT_EQ(_matcher.getDirection(), direction);
            _chooser.addPattern(static_cast<int32_t>(p), r);
        }
        return _chooser.choose(o_best);
    }

    std::mt19937 _random;
    std::array<std::unique_ptr<VoTrack::VoARCode>, 3> _codes;
    std::array<std::array<std::vector<int32_t>, DIRECTIONS>, 3> _blocks;
    VoTrack::VoARMatchPatt_Color_WITHOUT_PCA _matcher;
    VoARPatternChooser _chooser{3};
};

}  // namespace

TEST_F(MatcherFedChooserTest, ASampleEqualToABlockIsChosenWithItsDirection)
{
    VoARPatternChooser::TChoice best{};
    EXPECT_TRUE(matchAndChoose(_blocks[1][2], &best));
    EXPECT_EQ(best.pattern, 1);
    EXPECT_EQ(best.direction, 2);
    EXPECT_NEAR(best.confidence, 1.0, 1e-12);
}

// The correlations are reset with every match: a uniform sample after a
// good one leaves all of them 0, so nothing is chosen.
TEST_F(MatcherFedChooserTest, AMatcherWithoutASampleGivesZeroCorrelations)
{
    VoARPatternChooser::TChoice best{};
    ASSERT_TRUE(matchAndChoose(_blocks[0][3], &best));
    const FixedSample grey(std::vector<int32_t>(FixedSample::VALUES, 128));
    EXPECT_FALSE(_matcher.setSample(&grey));
    _matcher.matchCode(_codes[0].get());
    for (int32_t d = 0; d < DIRECTIONS; d++) {
        EXPECT_EQ(_matcher.getCorrelations()[d], 0.0);
    }
}
