#pragma once

#include <cstdint>

#include "IVoARMatchPatt.h"
#include "VoArray.h"

namespace VoTrack {

// Normalised correlation of a colour sample with a pattern's four direction
// blocks, both taken as mean-free darkness. The best positive correlation is
// the confidence and its block the direction; the lower direction wins ties.
class VoARMatchPatt_Color_WITHOUT_PCA : public IVoARMatchPatt
{
public:
    // Samples must be smaller than this in both sizes.
    static constexpr int32_t MAX_SAMPLE_SIZE = 1024;

    VoARMatchPatt_Color_WITHOUT_PCA();
    ~VoARMatchPatt_Color_WITHOUT_PCA() override;

    VoARMatchPatt_Color_WITHOUT_PCA(const VoARMatchPatt_Color_WITHOUT_PCA&) = delete;
    VoARMatchPatt_Color_WITHOUT_PCA& operator=(const VoARMatchPatt_Color_WITHOUT_PCA&) = delete;

    double getConfidence() const override { return _confidence; }
    int32_t getDirection() const override { return _direction; }
    // The last matchCode's correlation with each direction block, -1.0 to
    // 1.0, indexed by direction (VoARCode::DIRECTION_COUNT values, all 0.0
    // for a uniform sample): what confidence and direction were chosen from,
    // for a caller that weighs every block against the others.
    const double* getCorrelations() const { return _correlations; }
    // Asserts that the pattern has the last sample's width and height.
    void matchCode(const VoARCode* i_code) override;
    // Asserts a sample size of 1..1023 per axis; sample values are 0..255.
    // Grows the working copy only for a larger sample than any before.
    bool setSample(const IVoARColorPatt* i_sampler) override;

private:
    // [row][column][component], W x H x 3 values in use.
    VoArray<int> _input;
    double _input_power;
    int32_t _width;
    int32_t _height;
    double _confidence;
    int32_t _direction;
    double _correlations[VoARCode::DIRECTION_COUNT];
};

}  // namespace VoTrack
