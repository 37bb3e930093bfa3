#include "markeye/Pattern.h"

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <memory>
#include <mutex>
#include <sstream>

#include "BuiltinPictures.h"
#include "FileBytes.h"
#include "GeneratedPictures.h"
#include "PatternMaker.h"
#include "VoARPatternSize.h"
#include "ViewCheck.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

constexpr int32_t PLANES = 3;

std::string gridText(int32_t i_width, int32_t i_height)
{
    return std::to_string(i_width) + " x " + std::to_string(i_height);
}

void checkGrid(int32_t i_width, int32_t i_height, const std::string& i_name)
{
    if (!VoTrack::VoARPatternSize::isValid(i_width) || !VoTrack::VoARPatternSize::isValid(i_height)) {
        throw Error("pattern " + i_name + ": grid " + gridText(i_width, i_height) +
                    " is not allowed (each side 1, 2, 4, 8, 16, 32 or 64)");
    }
}

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

// The most numbers a pattern file holds (a 64 x 64 grid), and room for them
// written with generous spacing and line ends.
constexpr size_t MAX_NUMBERS = size_t{4} * PLANES * VoTrack::VoARPatternSize::MAX * VoTrack::VoARPatternSize::MAX;
constexpr size_t MAX_FILE_BYTES = 16 * MAX_NUMBERS;

// Where a pattern's text comes from, for messages: "pattern file" and its
// path, or "pattern" and its name.
struct TSource
{
    const char* kind;
    std::string name;

    std::string label() const
    {
        return std::string(kind) + " " + name;
    }
};

// Up to i_limit numbers of a pattern file's text.
std::vector<int32_t> parseNumbers(const std::string& i_text, const TSource& i_source, size_t i_limit)
{
    std::vector<int32_t> numbers;
    int line = 1;
    size_t at = 0;
    while (numbers.size() < i_limit) {
        for (; at < i_text.size() && std::isspace(static_cast<unsigned char>(i_text[at])); at++) {
            line += i_text[at] == '\n';
        }
        if (at == i_text.size()) {
            break;
        }
        const size_t start = at;
        while (at < i_text.size() && !std::isspace(static_cast<unsigned char>(i_text[at]))) {
            at++;
        }
        const std::string token = i_text.substr(start, at - start);
        int32_t value = 0;
        if (!parseBrightness(token, &value)) {
            throw Error(i_source.label() + ", line " + std::to_string(line) + ": \"" + token +
                        "\" is not a brightness from 0 to 255");
        }
        numbers.push_back(value);
    }
    return numbers;
}

std::string fileText(const std::string& i_path)
{
    const std::vector<uint8_t> bytes = readFileBytes(i_path, "pattern file ", MAX_FILE_BYTES);
    return std::string(bytes.begin(), bytes.end());
}

// The numbers of a pattern text whose grid is told by their count: N x N
// cells (side o_side) with 12 x N x N numbers.
std::vector<int32_t> squareNumbers(const std::string& i_text, const TSource& i_source, int32_t* o_side)
{
    std::vector<int32_t> numbers = parseNumbers(i_text, i_source, MAX_NUMBERS + 1);
    for (int32_t side = 1; side <= VoTrack::VoARPatternSize::MAX; side *= 2) {
        if (numbers.size() == static_cast<size_t>(PatternMaker::numberCount(side, side))) {
            *o_side = side;
            return numbers;
        }
    }
    throw Error(i_source.label() + " holds " + std::to_string(numbers.size()) +
                " numbers, which fill no square grid (16 x 16 takes 3072); give the grid size");
}

// The numbers of a pattern text for a grid of i_width x i_height cells.
std::vector<int32_t> gridNumbers(const std::string& i_text, const TSource& i_source, int32_t i_width,
                                 int32_t i_height)
{
    const size_t needed = static_cast<size_t>(PatternMaker::numberCount(i_width, i_height));
    // One more than needed shows extra numbers, refused as without a grid.
    std::vector<int32_t> numbers = parseNumbers(i_text, i_source, needed + 1);
    if (numbers.size() < needed) {
        throw Error(std::string(i_source.kind) + " too short: " + std::to_string(numbers.size()) + " of " +
                    std::to_string(needed) + " numbers for a " + gridText(i_width, i_height) + " grid (" +
                    i_source.name + ")");
    }
    if (numbers.size() > needed) {
        throw Error(i_source.label() + " holds more than the " + std::to_string(needed) + " numbers of a " +
                    gridText(i_width, i_height) + " grid");
    }
    return numbers;
}

// The name of a file: without folder and extension.
std::string stem(const std::string& i_path)
{
    const std::string::size_type slash = i_path.find_last_of('/');
    std::string name = slash == std::string::npos ? i_path : i_path.substr(slash + 1);
    const std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

int32_t builtinIndex(const std::string& i_name)
{
    const int32_t index = BuiltinPictures::find(i_name);
    if (index < 0) {
        std::string names;
        for (const std::string& name : Pattern::builtinNames()) {
            names += (names.empty() ? "" : ", ") + name;
        }
        throw Error("no built-in marker named \"" + i_name + "\" (there are " + names + ")");
    }
    return index;
}

void checkGeneratedIndex(int32_t i_index)
{
    if (i_index < 0 || i_index >= Pattern::GENERATED_COUNT) {
        throw Error("no generated pattern " + std::to_string(i_index) + " (there are 0 to " +
                    std::to_string(Pattern::GENERATED_COUNT - 1) + ")");
    }
}

// The cell of i_count covering pixel i_pixel of i_side, for nearest
// sampling: exact when the side is a multiple of the count.
int32_t cellOf(int32_t i_pixel, int32_t i_side, int32_t i_count)
{
    return static_cast<int32_t>((2 * int64_t{i_pixel} + 1) * i_count / (2 * int64_t{i_side}));
}

// Sides of a marker picture: room for a border of at least one pixel, and
// no more than a picture file may hold.
constexpr int32_t MIN_MARKER_SIDE = 4;
constexpr int32_t MAX_MARKER_SIDE = 16384;

}  // namespace

static_assert(Pattern::GENERATED_COUNT == GeneratedPictures::COUNT, "one count of generated patterns");
static_assert(Pattern::GENERATED_MAX_CORRELATION == GeneratedPictures::MAX_CORRELATION_PERCENT / 100.0,
              "one bound of generated patterns");

Pattern::Pattern(std::string i_name, int32_t i_grid_width, int32_t i_grid_height, std::vector<int32_t> i_numbers)
    : _name(std::move(i_name)), _grid_width(i_grid_width), _grid_height(i_grid_height), _numbers(std::move(i_numbers))
{
}

Pattern Pattern::fromFile(const std::string& i_path)
{
    int32_t side = 0;
    std::vector<int32_t> numbers = squareNumbers(fileText(i_path), TSource{"pattern file", i_path}, &side);
    return Pattern(stem(i_path), side, side, std::move(numbers));
}

Pattern Pattern::fromFile(const std::string& i_path, int32_t i_grid_width, int32_t i_grid_height)
{
    checkGrid(i_grid_width, i_grid_height, i_path);
    return Pattern(stem(i_path), i_grid_width, i_grid_height,
                   gridNumbers(fileText(i_path), TSource{"pattern file", i_path}, i_grid_width, i_grid_height));
}

Pattern Pattern::fromText(const std::string& i_text, const std::string& i_name)
{
    int32_t side = 0;
    std::vector<int32_t> numbers = squareNumbers(i_text, TSource{"pattern", i_name}, &side);
    return Pattern(i_name, side, side, std::move(numbers));
}

Pattern Pattern::fromText(const std::string& i_text, int32_t i_grid_width, int32_t i_grid_height,
                          const std::string& i_name)
{
    checkGrid(i_grid_width, i_grid_height, i_name);
    return Pattern(i_name, i_grid_width, i_grid_height,
                   gridNumbers(i_text, TSource{"pattern", i_name}, i_grid_width, i_grid_height));
}

Pattern Pattern::fromNumbers(std::vector<int32_t> i_numbers, int32_t i_grid_width, int32_t i_grid_height,
                             std::string i_name)
{
    checkGrid(i_grid_width, i_grid_height, i_name);
    const size_t needed = static_cast<size_t>(PatternMaker::numberCount(i_grid_width, i_grid_height));
    if (i_numbers.size() != needed) {
        throw Error("pattern " + i_name + ": " + std::to_string(i_numbers.size()) + " numbers, but a " +
                    gridText(i_grid_width, i_grid_height) + " grid takes " + std::to_string(needed));
    }
    const auto bad = std::find_if(i_numbers.begin(), i_numbers.end(), [](int32_t v) { return v < 0 || v > 255; });
    if (bad != i_numbers.end()) {
        throw Error("pattern " + i_name + ": number " + std::to_string(bad - i_numbers.begin()) + " is " +
                    std::to_string(*bad) + ", not a brightness from 0 to 255");
    }
    return Pattern(std::move(i_name), i_grid_width, i_grid_height, std::move(i_numbers));
}

Pattern Pattern::fromPicture(const ImageView& i_picture, int32_t i_grid_width, int32_t i_grid_height,
                             std::string i_name)
{
    checkView(i_picture, "picture " + i_name);
    checkGrid(i_grid_width, i_grid_height, i_name);
    std::vector<int32_t> numbers;
    PatternMaker::makeNumbers(i_picture, i_grid_width, i_grid_height, &numbers);
    return Pattern(std::move(i_name), i_grid_width, i_grid_height, std::move(numbers));
}

void Pattern::checkReadable(const ImageView& i_picture, int32_t i_grid_width, int32_t i_grid_height,
                            const std::string& i_name)
{
    checkView(i_picture, "picture " + i_name);
    checkGrid(i_grid_width, i_grid_height, i_name);
    const std::string reason = PatternMaker::unreadableReason(i_picture, i_grid_width, i_grid_height);
    if (!reason.empty()) {
        throw Error(i_name + ": the picture is " + reason + " to make a readable marker");
    }
}

namespace {

// The generated and built-in patterns at the default grid, each made once, on
// first use, and kept for the process (12 KB each): making one samples its
// picture 65 536 times (about half a millisecond), and boards name
// generated patterns by the dozen. Thread-safe.
class DefaultGridPatterns
{
public:
    // Generated pattern i_index, made by i_make the first time.
    template <typename TMake>
    static Pattern generated(int32_t i_index, TMake i_make)
    {
        return get(static_cast<size_t>(i_index), i_make);
    }
    // Built-in pattern i_index, made by i_make the first time.
    template <typename TMake>
    static Pattern builtin(int32_t i_index, TMake i_make)
    {
        return get(static_cast<size_t>(Pattern::GENERATED_COUNT + i_index), i_make);
    }

private:
    template <typename TMake>
    static Pattern get(size_t i_slot, TMake i_make)
    {
        static std::mutex mutex;
        static std::vector<std::unique_ptr<const Pattern>> made(
            static_cast<size_t>(Pattern::GENERATED_COUNT + BuiltinPictures::count()));
        const std::lock_guard<std::mutex> lock(mutex);
        if (!made[i_slot]) {
            made[i_slot] = std::make_unique<const Pattern>(i_make());
        }
        return *made[i_slot];
    }
};

bool isDefaultGrid(int32_t i_grid_width, int32_t i_grid_height)
{
    return i_grid_width == Pattern::DEFAULT_GRID && i_grid_height == Pattern::DEFAULT_GRID;
}

}  // namespace

Pattern Pattern::builtin(const std::string& i_name, int32_t i_grid_width, int32_t i_grid_height)
{
    const auto make = [&] {
        const Image picture = builtinPicture(i_name);
        return fromPicture(picture.view(), i_grid_width, i_grid_height, i_name);
    };
    return isDefaultGrid(i_grid_width, i_grid_height) ? DefaultGridPatterns::builtin(builtinIndex(i_name), make)
                                                      : make();
}

std::vector<Pattern> Pattern::builtins(int32_t i_grid_width, int32_t i_grid_height)
{
    std::vector<Pattern> patterns;
    for (const std::string& name : builtinNames()) {
        patterns.push_back(builtin(name, i_grid_width, i_grid_height));
    }
    return patterns;
}

const std::vector<std::string>& Pattern::builtinNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (int32_t i = 0; i < BuiltinPictures::count(); i++) {
            all.emplace_back(BuiltinPictures::name(i));
        }
        return all;
    }();
    return names;
}

Image Pattern::builtinPicture(const std::string& i_name)
{
    return BuiltinPictures::picture(builtinIndex(i_name));
}

Pattern Pattern::generated(int32_t i_index, int32_t i_grid_width, int32_t i_grid_height)
{
    const auto make = [&] {
        const Image picture = generatedPicture(i_index);
        return fromPicture(picture.view(), i_grid_width, i_grid_height, "generated:" + std::to_string(i_index));
    };
    checkGeneratedIndex(i_index);
    return isDefaultGrid(i_grid_width, i_grid_height) ? DefaultGridPatterns::generated(i_index, make) : make();
}

Image Pattern::generatedPicture(int32_t i_index)
{
    checkGeneratedIndex(i_index);
    return GeneratedPictures::picture(i_index);
}

Image Pattern::picture(int32_t i_direction) const
{
    if (i_direction < 0 || i_direction > 3) {
        throw Error("pattern " + _name + ": direction " + std::to_string(i_direction) + " is not 0 to 3");
    }
    const size_t plane = static_cast<size_t>(_grid_width) * static_cast<size_t>(_grid_height);
    const int32_t* block = _numbers.data() + PLANES * plane * static_cast<size_t>(i_direction);
    Image picture(_grid_width, _grid_height, PixelFormat::RGB);
    for (int32_t y = 0; y < _grid_height; y++) {
        for (int32_t x = 0; x < _grid_width; x++) {
            const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(_grid_width) + static_cast<size_t>(x);
            uint8_t* rgb = picture.pixel(x, y);
            // Planes come blue, green, red.
            for (int32_t c = 0; c < PLANES; c++) {
                rgb[c] = static_cast<uint8_t>(block[(PLANES - 1 - c) * plane + cell]);
            }
        }
    }
    return picture;
}

Image Pattern::markerPicture(int32_t i_side) const
{
    if (i_side < MIN_MARKER_SIDE || i_side > MAX_MARKER_SIDE) {
        throw Error("pattern " + _name + ": a marker picture cannot be " + std::to_string(i_side) +
                    " pixels wide (" + std::to_string(MIN_MARKER_SIDE) + " to " + std::to_string(MAX_MARKER_SIDE) +
                    ")");
    }
    const Image upright = picture(0);
    Image marker(i_side, i_side, PixelFormat::RGB, 0);
    const int32_t inset = (i_side + 2) / 4;
    const int32_t inner = i_side - 2 * inset;
    for (int32_t y = 0; y < inner; y++) {
        for (int32_t x = 0; x < inner; x++) {
            const uint8_t* rgb = upright.pixel(cellOf(x, inner, _grid_width), cellOf(y, inner, _grid_height));
            std::copy(rgb, rgb + PLANES, marker.pixel(inset + x, inset + y));
        }
    }
    return marker;
}

std::string Pattern::toText() const
{
    std::ostringstream text;
    for (size_t i = 0; i < _numbers.size(); i++) {
        text << std::setw(3) << _numbers[i] << ((i + 1) % static_cast<size_t>(_grid_width) == 0 ? '\n' : ' ');
    }
    return text.str();
}

void Pattern::save(const std::string& i_path) const
{
    const std::string bytes = toText();
    writeFileBytes(i_path, "pattern file ", bytes.data(), bytes.size());
}

}  // namespace markeye
