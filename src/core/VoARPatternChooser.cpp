#include "VoARPatternChooser.h"

#include <algorithm>

#include "VoARAssert.h"
#include "VoARCode.h"

namespace VoTrack {

namespace {

constexpr const char* UNIT = "src/core/VoARPatternChooser";

bool isFraction(double i_value)
{
    return i_value >= 0.0 && i_value <= 1.0;
}

}  // namespace

VoARPatternChooser::VoARPatternChooser(int32_t i_pattern_count, double i_min_confidence, double i_min_margin)
    : _pattern_count(i_pattern_count),
      _min_confidence(i_min_confidence),
      _min_margin(i_min_margin),
      _added(),
      _best(),
      _runner_up(0.0)
{
    VOTRACK_ASSERT(i_pattern_count >= 1, UNIT, "i_pattern_count>=1");
    VOTRACK_ASSERT(isFraction(i_min_confidence) && isFraction(i_min_margin), UNIT,
                   "0<=i_min_confidence<=1 && 0<=i_min_margin<=1");
    _added = std::make_unique<bool[]>(static_cast<size_t>(i_pattern_count));
    beginSquare();
}

VoARPatternChooser::~VoARPatternChooser() = default;

void VoARPatternChooser::beginSquare()
{
    std::fill(_added.get(), _added.get() + _pattern_count, false);
    // Starting at 0 keeps the pairs that do not correlate positively out of
    // both places: they neither win nor compete.
    _best = TChoice{-1, -1, 0.0, 0.0};
    _runner_up = 0.0;
}

void VoARPatternChooser::addPattern(int32_t i_pattern, const double* i_correlations)
{
    VOTRACK_ASSERT(i_pattern >= 0 && i_pattern < _pattern_count, UNIT, "0<=i_pattern<this->_pattern_count");
    VOTRACK_ASSERT(!_added[i_pattern], UNIT, "!this->_added[i_pattern]");
    _added[i_pattern] = true;
    for (int32_t d = 0; d < VoARCode::DIRECTION_COUNT; d++) {
        const double r = i_correlations[d];
        // Strictly greater: the pair added first stays best on a tie, and
        // the tie leaves no margin.
        if (r > _best.confidence) {
            _runner_up = _best.confidence;
            _best = TChoice{i_pattern, d, r, 0.0};
        } else if (r > _runner_up) {
            _runner_up = r;
        }
    }
}

bool VoARPatternChooser::choose(TChoice* o_best) const
{
    *o_best = _best;
    o_best->margin = _best.confidence - _runner_up;
    return _best.pattern >= 0 && o_best->confidence >= _min_confidence && o_best->margin >= _min_margin;
}

}  // namespace VoTrack
