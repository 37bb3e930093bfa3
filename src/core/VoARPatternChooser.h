#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// Tells which loaded pattern a sampled square shows, if any, from its
// correlations with every direction block of every pattern. The best
// (pattern, direction) pair is taken only when it reaches a least confidence
// and beats the runner-up among all other pairs, the best pattern's other
// directions included, by a least margin: a picture that is not loaded
// tends to match several patterns or directions about alike (a letter, a
// ring, a grid), a loaded one its own pair clearly. docs/identification.md
// gives the measurements behind the defaults.
//
// Built once for a number of patterns; then per square beginSquare, one
// addPattern per pattern that could be matched, and choose. Only the
// constructor allocates.
class VoARPatternChooser
{
public:
    // With the eight built-in patterns on rendered scenes, squares sampled
    // through their refined corners, these find 99.97 % of the built-in
    // markers 40 pixels across or larger and report under 0.1 markers that
    // are not loaded per 100 frames, against 7 to 9 for the highest
    // confidence at 0.55 alone (docs/identification.md). Two loaded
    // patterns of one picture leave no margin: neither is ever chosen.
    static constexpr double DEFAULT_MIN_CONFIDENCE = 0.55;
    static constexpr double DEFAULT_MIN_MARGIN = 0.24;

    struct TChoice
    {
        // -1 (both) when no pair correlated positively.
        int32_t pattern;
        int32_t direction;
        // The best pair's correlation, 0.0 to 1.0.
        double confidence;
        // confidence less the runner-up's correlation, a runner-up below 0
        // (or none) counting as 0: 0.0 to confidence.
        double margin;
    };

    // i_pattern_count >= 1 patterns, numbered from 0; both thresholds 0.0 to
    // 1.0 (asserted). A margin of 0 gives the plain highest-confidence choice.
    explicit VoARPatternChooser(int32_t i_pattern_count, double i_min_confidence = DEFAULT_MIN_CONFIDENCE,
                                double i_min_margin = DEFAULT_MIN_MARGIN);
    ~VoARPatternChooser();

    VoARPatternChooser(const VoARPatternChooser&) = delete;
    VoARPatternChooser& operator=(const VoARPatternChooser&) = delete;

    // Forgets the last square's patterns.
    void beginSquare();
    // i_correlations: the square's correlation with each direction block of
    // pattern i_pattern (VoARCode::DIRECTION_COUNT values, as
    // VoARMatchPatt_Color_WITHOUT_PCA::getCorrelations gives them). Each
    // pattern at most once per square (asserted): fed twice it would be its
    // own runner-up. On equal correlations the pair added first is the best.
    void addPattern(int32_t i_pattern, const double* i_correlations);
    // Fills o_best with the square's best pair, and says whether it reaches
    // both the least confidence and the least margin.
    bool choose(TChoice* o_best) const;

private:
    int32_t _pattern_count;
    double _min_confidence;
    double _min_margin;
    // Per pattern, whether this square has been given its correlations.
    std::unique_ptr<bool[]> _added;
    TChoice _best;
    // The second highest correlation of the square's pairs, at least 0.
    double _runner_up;
};

}  // namespace VoTrack
