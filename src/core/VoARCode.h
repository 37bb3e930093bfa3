#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// One known marker: the colour picture of its interior in four directions,
// held as mean-free darkness per direction so that a sampled square can be
// correlated with it by integer dot products.
class VoARCode
{
public:
    static constexpr int32_t DIRECTION_COUNT = 4;
    // Red, green, blue per cell.
    static constexpr int32_t COMPONENT_COUNT = 3;

    // A W x H grid (each size 1, 2, 4, 8, 16, 32 or 64; VoARException
    // otherwise, before anything is allocated). Until loaded every block is
    // zero with norm NO_POWER.
    VoARCode(int32_t i_width, int32_t i_height);
    virtual ~VoARCode();

    VoARCode(const VoARCode&) = delete;
    VoARCode& operator=(const VoARCode&) = delete;

    // Norm stored for a direction whose block is all zero, so that the
    // matcher never divides by zero.
    static constexpr double NO_POWER = 1e-7;

    // Reads the first valueCount() whitespace-separated integers of a pattern
    // file. Throws VoARException, changing nothing, if the file is not a
    // regular file or cannot be opened, a token is not an integer, the file
    // ends early or a value is outside 0..255.
    void loadFromFile(const char* i_filename);
    // i_data: valueCount() brightness values (0..255) in file order:
    // direction, plane (blue, green, red), row, column. Throws VoARException,
    // changing nothing, if the size differs from the pattern's or a value is
    // outside 0..255.
    void setFromArray(const int32_t* i_data, int32_t i_width, int32_t i_height);

    // [direction][row][column][component], component 0 red, 1 green, 2 blue:
    // darkness (255 - brightness) less the direction's mean.
    const int32_t* getColorPattern() const { return _color_pattern.get(); }
    // Per direction, the Euclidean norm of its block; never 0.
    const double* getColorPower() const { return _color_power; }
    int32_t getWidth() const { return _width; }
    int32_t getHeight() const { return _height; }
    // Numbers in a pattern file or list: 4 directions x 3 planes x W x H.
    int32_t valueCount() const { return DIRECTION_COUNT * blockLength(); }

private:
    // Values in one direction block: 3 x W x H.
    int32_t blockLength() const { return COMPONENT_COUNT * _width * _height; }
    void storeDirection(const int32_t* i_planes, int32_t* o_block, double* o_power) const;

    std::unique_ptr<int32_t[]> _color_pattern;
    double _color_power[DIRECTION_COUNT];
    int32_t _width;
    int32_t _height;
};

}  // namespace VoTrack
