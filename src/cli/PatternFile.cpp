#include "PatternFile.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "BuiltinMarkers.h"
#include "CliError.h"
#include "FileUtil.h"
#include "MarkerPatternMaker.h"

namespace Markeye {

namespace {

constexpr int32_t PLANES = 3;

// A token of decimal digits with an optional sign, of value 0 to 255.
bool parseBrightness(const std::string& i_token, int32_t* o_value)
{
    const size_t first = (i_token[0] == '+' || i_token[0] == '-') ? 1 : 0;
    if (first == i_token.size()) {
        return false;
    }
    int32_t value = 0;
    for (size_t i = first; i < i_token.size(); i++) {
        if (!std::isdigit(static_cast<unsigned char>(i_token[i]))) {
            return false;
        }
        // Saturate: anything above 255 is refused anyway.
        value = std::min(value * 10 + (i_token[i] - '0'), 1000);
    }
    *o_value = i_token[0] == '-' ? -value : value;
    return *o_value >= 0 && *o_value <= 255;
}

size_t numberCount(const TFrameSize& i_grid)
{
    return static_cast<size_t>(MarkerPatternMaker::numberCount(i_grid.width, i_grid.height));
}

}  // namespace

std::vector<int32_t> PatternFile::readNumbers(const std::string& i_path, size_t i_limit)
{
    const std::string text = FileUtil::read(i_path, "pattern file ");
    std::vector<int32_t> numbers;
    int line = 1;
    size_t at = 0;
    while (numbers.size() < i_limit) {
        for (; at < text.size() && std::isspace(static_cast<unsigned char>(text[at])); at++) {
            line += text[at] == '\n';
        }
        if (at == text.size()) {
            break;
        }
        const size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) {
            at++;
        }
        const std::string token = text.substr(start, at - start);
        int32_t value = 0;
        if (!parseBrightness(token, &value)) {
            throw CliError("pattern file " + i_path + ", line " + std::to_string(line) + ": \"" + token +
                           "\" is not a brightness from 0 to 255");
        }
        numbers.push_back(value);
    }
    return numbers;
}

TPattern PatternFile::load(const std::string& i_path, const TFrameSize& i_grid)
{
    const size_t needed = numberCount(i_grid);
    std::vector<int32_t> numbers = readNumbers(i_path, needed);
    if (numbers.size() < needed) {
        throw CliError("pattern file too short: " + std::to_string(numbers.size()) + " of " + std::to_string(needed) +
                       " numbers for a " + std::to_string(i_grid.width) + " x " + std::to_string(i_grid.height) +
                       " grid (" + i_path + ")");
    }
    return TPattern{stem(i_path), i_grid, std::move(numbers)};
}

TPattern PatternFile::loadAnySize(const std::string& i_path)
{
    std::vector<int32_t> numbers = readNumbers(i_path, std::numeric_limits<size_t>::max());
    for (int32_t side = 1; side <= 64; side *= 2) {
        const TFrameSize grid{side, side};
        if (numbers.size() == numberCount(grid)) {
            return TPattern{stem(i_path), grid, std::move(numbers)};
        }
    }
    throw CliError("pattern file " + i_path + " holds " + std::to_string(numbers.size()) +
                   " numbers, which fill no square grid (16 x 16 takes 3072); give the grid with --size");
}

TPattern PatternFile::builtin(int32_t i_index, const TFrameSize& i_grid)
{
    TPattern pattern{BuiltinMarkers::name(i_index), i_grid, {}};
    MarkerPatternMaker::makeNumbers(BuiltinMarkers::picture(i_index), i_grid.width, i_grid.height, &pattern.numbers);
    return pattern;
}

std::vector<TPattern> PatternFile::builtins(const TFrameSize& i_grid)
{
    std::vector<TPattern> patterns;
    for (int32_t i = 0; i < BuiltinMarkers::count(); i++) {
        patterns.push_back(builtin(i, i_grid));
    }
    return patterns;
}

MarkerPicture PatternFile::directionPicture(const TPattern& i_pattern, int32_t i_direction)
{
    const int32_t width = i_pattern.grid.width;
    const int32_t height = i_pattern.grid.height;
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    const int32_t* block = i_pattern.numbers.data() + PLANES * plane * static_cast<size_t>(i_direction);
    MarkerPicture picture(width, height);
    for (int32_t y = 0; y < height; y++) {
        for (int32_t x = 0; x < width; x++) {
            const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
            // Planes come blue, green, red.
            picture.setPixel(x, y, static_cast<uint8_t>(block[2 * plane + cell]),
                             static_cast<uint8_t>(block[plane + cell]), static_cast<uint8_t>(block[cell]));
        }
    }
    return picture;
}

std::string PatternFile::builtinNames()
{
    std::string names;
    for (int32_t i = 0; i < BuiltinMarkers::count(); i++) {
        names += (i == 0 ? "" : ", ") + std::string(BuiltinMarkers::name(i));
    }
    return names;
}

std::string PatternFile::stem(const std::string& i_path)
{
    const std::string::size_type slash = i_path.find_last_of('/');
    std::string name = slash == std::string::npos ? i_path : i_path.substr(slash + 1);
    const std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

}  // namespace Markeye
