#include "VoARCode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

#include "VoARException.h"
#include "VoARInputFile.h"
#include "VoARPatternSize.h"

namespace VoTrack {

namespace {

constexpr int32_t MAX_BRIGHTNESS = 255;

// Sums of darkness and of squared mean-free values stay in 32 bits for the
// largest grid.
static_assert(int64_t{VoARCode::COMPONENT_COUNT} * VoARPatternSize::MAX * VoARPatternSize::MAX * MAX_BRIGHTNESS *
                      MAX_BRIGHTNESS <=
                  std::numeric_limits<int32_t>::max(),
              "a direction block's sums fit in 32 bits");

// Array length of a W x H pattern; throws for a size that is not a divisor
// of the most samples per axis.
int32_t patternLength(int32_t i_width, int32_t i_height)
{
    if (!VoARPatternSize::isValid(i_width) || !VoARPatternSize::isValid(i_height)) {
        throw VoARException();
    }
    return VoARCode::DIRECTION_COUNT * VoARCode::COMPONENT_COUNT * i_width * i_height;
}

bool isBrightness(int32_t i_value)
{
    return i_value >= 0 && i_value <= MAX_BRIGHTNESS;
}

// True when the number just extracted is a whole token: "12abc" or "1.5"
// must not pass as 12 or 1.
bool endsToken(std::istream& i_stream)
{
    const std::istream::int_type next = i_stream.peek();
    return next == std::istream::traits_type::eof() || std::isspace(next) != 0;
}

void readNumbers(const char* i_filename, int32_t* o_numbers, int32_t i_count)
{
    if (!VoARInputFile::isRegularFile(i_filename)) {
        throw VoARException();
    }
    std::ifstream file(i_filename);
    if (!file.is_open()) {
        throw VoARException();
    }
    for (int32_t k = 0; k < i_count; k++) {
        if (!(file >> o_numbers[k]) || !endsToken(file)) {
            throw VoARException();
        }
    }
}

}  // namespace

VoARCode::VoARCode(int32_t i_width, int32_t i_height)
    : _color_pattern(new int32_t[patternLength(i_width, i_height)]()), _width(i_width), _height(i_height)
{
    std::fill(_color_power, _color_power + DIRECTION_COUNT, NO_POWER);
}

VoARCode::~VoARCode() = default;

void VoARCode::loadFromFile(const char* i_filename)
{
    try {
        std::vector<int32_t> numbers(static_cast<size_t>(valueCount()));
        readNumbers(i_filename, numbers.data(), valueCount());
        setFromArray(numbers.data(), _width, _height);
    } catch (const VoARException&) {
        throw;
    } catch (const std::exception& e) {
        throw VoARException(e);
    }
}

void VoARCode::setFromArray(const int32_t* i_data, int32_t i_width, int32_t i_height)
{
    if (i_width != _width || i_height != _height || i_data == nullptr ||
        !std::all_of(i_data, i_data + valueCount(), isBrightness)) {
        throw VoARException();
    }
    for (int32_t d = 0; d < DIRECTION_COUNT; d++) {
        storeDirection(i_data + d * blockLength(), _color_pattern.get() + d * blockLength(), &_color_power[d]);
    }
}

void VoARCode::storeDirection(const int32_t* i_planes, int32_t* o_block, double* o_power) const
{
    // The planes come blue, green, red; a cell stores red, green, blue.
    const int32_t cells = _width * _height;
    int32_t sum = 0;
    for (int32_t p = 0; p < COMPONENT_COUNT; p++) {
        const int32_t component = COMPONENT_COUNT - 1 - p;
        for (int32_t c = 0; c < cells; c++) {
            const int32_t darkness = MAX_BRIGHTNESS - i_planes[p * cells + c];
            o_block[c * COMPONENT_COUNT + component] = darkness;
            sum += darkness;
        }
    }
    const int32_t mean = sum / blockLength();
    int32_t power = 0;
    for (int32_t k = 0; k < blockLength(); k++) {
        o_block[k] -= mean;
        power += o_block[k] * o_block[k];
    }
    const double norm = std::sqrt(static_cast<double>(power));
    *o_power = norm == 0.0 ? NO_POWER : norm;
}

}  // namespace VoTrack
