#include "VoARMatchPatt_Color_WITHOUT_PCA.h"

#include <algorithm>
#include <cmath>

#include "VoARAssert.h"

namespace VoTrack {

namespace {

constexpr const char* UNIT = "src/core/VoARMatchPatt_Color_WITHOUT_PCA";
// The size check has always been reported at this line of the unit.
constexpr unsigned SIZE_CHECK_LINE = 59;
constexpr int32_t INITIAL_INPUT_LENGTH = 32;
constexpr int32_t COMPONENTS = 3;
constexpr int64_t MAX_BRIGHTNESS = 255;

// Sums run in 64 bits: a 1023 x 1023 sample's squared values overflow 32.
int64_t dotProduct(const int* i_a, const int32_t* i_b, int32_t i_length)
{
    int64_t sum = 0;
    for (int32_t k = 0; k < i_length; k++) {
        sum += static_cast<int64_t>(i_a[k]) * i_b[k];
    }
    return sum;
}

}  // namespace

VoARMatchPatt_Color_WITHOUT_PCA::VoARMatchPatt_Color_WITHOUT_PCA()
    : _input(INITIAL_INPUT_LENGTH), _input_power(0.0), _width(1), _height(1), _confidence(0.0), _direction(0),
      _correlations{}
{
}

VoARMatchPatt_Color_WITHOUT_PCA::~VoARMatchPatt_Color_WITHOUT_PCA() = default;

bool VoARMatchPatt_Color_WITHOUT_PCA::setSample(const IVoARColorPatt* i_sampler)
{
    const int32_t width = i_sampler->getWidth();
    const int32_t height = i_sampler->getHeight();
    VOTRACK_ASSERT_AT(width < MAX_SAMPLE_SIZE && height < MAX_SAMPLE_SIZE, UNIT, SIZE_CHECK_LINE,
                      "i_width<1024 && i_height<1024");
    VOTRACK_ASSERT(width > 0 && height > 0, UNIT, "i_width>0 && i_height>0");
    const int32_t length = width * height * COMPONENTS;
    if (_input.length < length) {
        _input.renew(length);
    }
    _width = width;
    _height = height;

    const int32_t* sample = i_sampler->getSampleData();
    int64_t darkness_sum = 0;
    for (int32_t k = 0; k < length; k++) {
        darkness_sum += MAX_BRIGHTNESS - sample[k];
    }
    const int64_t mean = darkness_sum / length;
    int64_t power = 0;
    for (int32_t k = 0; k < length; k++) {
        const int64_t value = MAX_BRIGHTNESS - sample[k] - mean;
        _input.items[k] = static_cast<int>(value);
        power += value * value;
    }
    _input_power = std::sqrt(static_cast<double>(power));
    return _input_power != 0.0;
}

void VoARMatchPatt_Color_WITHOUT_PCA::matchCode(const VoARCode* i_code)
{
    // A smaller pattern would be read past its end.
    VOTRACK_ASSERT(i_code->getWidth() == _width && i_code->getHeight() == _height, UNIT,
                   "i_code->getWidth()==this->_width && i_code->getHeight()==this->_height");
    _confidence = 0.0;
    _direction = -1;
    std::fill(_correlations, _correlations + VoARCode::DIRECTION_COUNT, 0.0);
    // A uniform sample correlates with nothing (0 / 0 for every direction).
    if (_input_power == 0.0) {
        return;
    }
    const int32_t length = _width * _height * COMPONENTS;
    const int32_t* pattern = i_code->getColorPattern();
    const double* power = i_code->getColorPower();
    for (int32_t d = 0; d < VoARCode::DIRECTION_COUNT; d++) {
        const int64_t s = dotProduct(_input.items.get(), pattern + d * length, length);
        double r = static_cast<double>(s) / power[d] / _input_power;
        // A correlation: a sample equal to the block gives s / sqrt(s) /
        // sqrt(s), which rounds above 1 for some s (3, 6, 12, ...).
        if (r > 1.0) {
            r = 1.0;
        } else if (r < -1.0) {
            r = -1.0;
        }
        _correlations[d] = r;
        // Strictly greater: the lower direction keeps a tie.
        if (r > _confidence) {
            _confidence = r;
            _direction = d;
        }
    }
}

}  // namespace VoTrack
