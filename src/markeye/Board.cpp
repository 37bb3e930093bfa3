#include "markeye/Board.h"

#include <algorithm>
#include <iomanip>
#include <locale>
#include <sstream>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>

#include "FileBytes.h"
#include "JsonReader.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

constexpr const char* FORMAT = "markeye-board";
constexpr int32_t VERSION = 1;
// Units a board may be measured in: lengths, so that it prints at size.
const char* const UNITS[] = {"mm", "cm", "m", "in"};
constexpr const char* GENERATED_PREFIX = "generated:";
constexpr const char* BUILTIN_PREFIX = "builtin:";
// Every pair of markers is checked for overlap; a board of more markers
// than this would be no board a camera can see.
constexpr size_t MAX_MARKERS = 1024;
// As much as a picture file may hold, so that a drawn board can be read back.
constexpr int64_t MAX_PICTURE_SIDE = 16384;
constexpr int64_t MAX_PICTURE_PIXELS = int64_t{1} << 26;
// A marker drawn smaller has a border under two pixels wide.
constexpr int64_t MIN_MARKER_PIXELS = 8;

bool isUnit(const std::string& i_unit)
{
    return std::find(std::begin(UNITS), std::end(UNITS), i_unit) != std::end(UNITS);
}

std::string unitList()
{
    std::string list;
    for (const char* unit : UNITS) {
        list += (list.empty() ? "" : ", ") + std::string(unit);
    }
    return list;
}

bool startsWith(const std::string& i_text, const char* i_prefix)
{
    return i_text.compare(0, std::strlen(i_prefix), i_prefix) == 0;
}

// Shortest text, of 15 to 17 significant digits (17 always do), that reads
// back as the same double; in the classic locale, whatever the program's
// (std::to_chars would do it, but not every standard library has it for
// doubles).
std::string numberText(double i_value)
{
    std::string text;
    for (int digits = 15; digits <= 17; digits++) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << std::setprecision(digits) << i_value;
        text = out.str();
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        double back = 0.0;
        if (in >> back && back == i_value) {
            break;
        }
    }
    return text;
}

std::string quoted(const std::string& i_text)
{
    std::string out = "\"";
    for (const char c : i_text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char HEX[] = "0123456789abcdef";
            out += "\\u00";
            out += HEX[(c >> 4) & 0xF];
            out += HEX[c & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// "generated:12" as 12; -1 when the text after the prefix is not a whole
// number of at most four digits.
int32_t generatedIndex(const std::string& i_name)
{
    const std::string digits = i_name.substr(std::strlen(GENERATED_PREFIX));
    if (digits.empty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::stoi(digits);
}

Pattern loadPattern(const std::string& i_name, const std::string& i_folder)
{
    if (startsWith(i_name, GENERATED_PREFIX)) {
        const int32_t index = generatedIndex(i_name);
        if (index < 0) {
            throw Error("pattern \"" + i_name + "\": expected generated:N with N a whole number");
        }
        return Pattern::generated(index);
    }
    if (startsWith(i_name, BUILTIN_PREFIX)) {
        return Pattern::builtin(i_name.substr(std::strlen(BUILTIN_PREFIX)));
    }
    if (i_name.empty()) {
        throw Error("the pattern is an empty string");
    }
    const std::filesystem::path path(i_name);
    return Pattern::fromFile(path.is_absolute() ? i_name : (std::filesystem::path(i_folder) / path).string());
}

// Reads a board file's JSON into markers and patterns, with messages that
// name the file, the line and the marker.
class BoardReader
{
public:
    BoardReader(const std::string& i_folder, const std::string& i_name) : _folder(i_folder), _name(i_name) {}

    [[noreturn]] void fail(const JsonValue& i_at, const std::string& i_fault) const
    {
        throw Error(_name + ", line " + std::to_string(i_at.line) + ": " + i_fault);
    }

    // The member i_key of i_object, of type i_type; null when it is missing
    // and not required.
    const JsonValue* member(const JsonValue& i_object, const std::string& i_key, JsonValue::Type i_type,
                            const std::string& i_where, bool i_required = true) const
    {
        const JsonValue* value = i_object.find(i_key);
        if (value == nullptr) {
            if (i_required) {
                fail(i_object, i_where + "no \"" + i_key + "\"");
            }
            return nullptr;
        }
        if (value->type != i_type) {
            fail(*value, i_where + "\"" + i_key + "\" is " + typeName(value->type) + ", not " + typeName(i_type));
        }
        return value;
    }

    void checkKeys(const JsonValue& i_object, std::initializer_list<const char*> i_keys,
                   const std::string& i_where) const
    {
        for (const auto& entry : i_object.members) {
            const bool known = std::any_of(i_keys.begin(), i_keys.end(),
                                           [&](const char* i_key) { return entry.first == i_key; });
            if (!known) {
                fail(entry.second, i_where + "unknown key \"" + entry.first + "\"");
            }
        }
    }

    double finiteNumber(const JsonValue& i_value, const std::string& i_what) const
    {
        if (i_value.type != JsonValue::Type::NUMBER) {
            fail(i_value, i_what + " is " + typeName(i_value.type) + ", not a number");
        }
        return i_value.number;
    }

    void readHeader(const JsonValue& i_root, std::string* o_name, std::string* o_unit) const
    {
        if (i_root.type != JsonValue::Type::OBJECT) {
            fail(i_root, "the file is " + std::string(typeName(i_root.type)) + ", not an object");
        }
        checkKeys(i_root, {"format", "version", "name", "unit", "markers"}, "");
        const std::string& format = member(i_root, "format", JsonValue::Type::STRING, "")->text;
        if (format != FORMAT) {
            fail(i_root, "not a board file: \"format\" is " + quoted(format) + ", not \"" + FORMAT + "\"");
        }
        const JsonValue& version = *member(i_root, "version", JsonValue::Type::NUMBER, "");
        if (version.number != VERSION) {
            fail(version, "version " + numberText(version.number) + " is not read here (version " +
                              std::to_string(VERSION) + " is)");
        }
        const JsonValue* name = member(i_root, "name", JsonValue::Type::STRING, "", false);
        *o_name = name == nullptr ? "" : name->text;
        const JsonValue& unit = *member(i_root, "unit", JsonValue::Type::STRING, "");
        if (!isUnit(unit.text)) {
            fail(unit, "unit " + quoted(unit.text) + " is not one of " + unitList());
        }
        *o_unit = unit.text;
    }

    void readMarker(const JsonValue& i_value, size_t i_index, std::vector<BoardMarker>* io_markers,
                    std::vector<Pattern>* io_patterns) const
    {
        const std::string where = "marker " + std::to_string(i_index) + ": ";
        if (i_value.type != JsonValue::Type::OBJECT) {
            fail(i_value, where + "is " + typeName(i_value.type) + ", not an object");
        }
        checkKeys(i_value, {"pattern", "centre", "side"}, where);
        const std::string& pattern = member(i_value, "pattern", JsonValue::Type::STRING, where)->text;
        const JsonValue& centre = *member(i_value, "centre", JsonValue::Type::ARRAY, where);
        if (centre.elements.size() != 2) {
            fail(centre, where + "\"centre\" has " + std::to_string(centre.elements.size()) +
                             " numbers, not 2 (x and y)");
        }
        const double x = finiteNumber(centre.elements[0], where + "\"centre\" x");
        const double y = finiteNumber(centre.elements[1], where + "\"centre\" y");
        const JsonValue& side = *member(i_value, "side", JsonValue::Type::NUMBER, where);
        if (!(side.number > 0.0)) {
            fail(side, where + "\"side\" is " + numberText(side.number) + ", not positive");
        }
        try {
            io_patterns->push_back(loadPattern(pattern, _folder));
        } catch (const Error& e) {
            fail(i_value, where + e.what());
        }
        io_markers->push_back(BoardMarker{pattern, x, y, side.number});
    }

    const JsonValue& markerList(const JsonValue& i_root) const
    {
        const JsonValue& list = *member(i_root, "markers", JsonValue::Type::ARRAY, "");
        if (list.elements.empty()) {
            fail(list, "\"markers\" is empty: a board needs at least one marker");
        }
        if (list.elements.size() > MAX_MARKERS) {
            fail(list, "\"markers\" holds " + std::to_string(list.elements.size()) + " markers, more than " +
                           std::to_string(MAX_MARKERS));
        }
        return list;
    }

    // Two markers of one pattern could not be told apart; two that overlap
    // or touch merge into one dark region.
    void checkMarkers(const JsonValue& i_list, const std::vector<BoardMarker>& i_markers,
                      const std::vector<Pattern>& i_patterns) const
    {
        for (size_t j = 1; j < i_markers.size(); j++) {
            for (size_t i = 0; i < j; i++) {
                const std::string pair = "markers " + std::to_string(i) + " and " + std::to_string(j);
                const BoardMarker& a = i_markers[i];
                const BoardMarker& b = i_markers[j];
                if (samePattern(i_patterns[i], i_patterns[j])) {
                    fail(i_list.elements[j], pair + " show one pattern (" + a.pattern_name + ", " + b.pattern_name +
                                                 "): every marker needs a pattern of its own");
                }
                const double reach = (a.side + b.side) / 2.0;
                if (std::fabs(a.centre_x - b.centre_x) <= reach && std::fabs(a.centre_y - b.centre_y) <= reach) {
                    fail(i_list.elements[j], pair + " overlap or touch");
                }
            }
        }
    }

private:
    static bool samePattern(const Pattern& i_a, const Pattern& i_b)
    {
        return i_a.gridWidth() == i_b.gridWidth() && i_a.gridHeight() == i_b.gridHeight() &&
               i_a.numbers() == i_b.numbers();
    }

    const std::string& _folder;
    const std::string& _name;
};

std::string folderOf(const std::string& i_path)
{
    const std::filesystem::path folder = std::filesystem::path(i_path).parent_path();
    return folder.empty() ? "." : folder.string();
}

void checkPositive(double i_value, const std::string& i_board, const std::string& i_what)
{
    if (!(i_value > 0.0) || !std::isfinite(i_value)) {
        throw Error(i_board + ": " + i_what + " is " + numberText(i_value) + ", not a positive number");
    }
}

int64_t pixelsOf(double i_length, double i_pixels_per_unit)
{
    return std::llround(i_length * i_pixels_per_unit);
}

// Copies i_marker into io_page with its top-left at (i_left, i_top), leaving
// out what falls outside.
void place(const Image& i_marker, int64_t i_left, int64_t i_top, Image* io_page)
{
    for (int32_t y = 0; y < i_marker.height(); y++) {
        for (int32_t x = 0; x < i_marker.width(); x++) {
            const int64_t px = i_left + x;
            const int64_t py = i_top + y;
            if (io_page->contains(static_cast<int32_t>(px), static_cast<int32_t>(py))) {
                std::copy_n(i_marker.pixel(x, y), 3, io_page->pixel(static_cast<int32_t>(px), static_cast<int32_t>(py)));
            }
        }
    }
}

}  // namespace

Board::Board(std::string i_name, std::string i_unit, std::vector<BoardMarker> i_markers,
             std::vector<Pattern> i_patterns)
    : _name(std::move(i_name)), _unit(std::move(i_unit)), _markers(std::move(i_markers)),
      _patterns(std::move(i_patterns))
{
}

Board Board::fromFile(const std::string& i_path)
{
    const std::vector<uint8_t> bytes = readFileBytes(i_path, "board file ", MAX_JSON_BYTES + 1);
    const std::string text(bytes.begin(), bytes.end());
    return fromJson(text, folderOf(i_path), "board file " + i_path);
}

Board Board::fromJson(const std::string& i_text, const std::string& i_folder, const std::string& i_name)
{
    const JsonValue root = parseJson(i_text, i_name);
    const BoardReader reader(i_folder, i_name);
    std::string name;
    std::string unit;
    reader.readHeader(root, &name, &unit);
    const JsonValue& list = reader.markerList(root);
    std::vector<BoardMarker> markers;
    std::vector<Pattern> patterns;
    for (size_t i = 0; i < list.elements.size(); i++) {
        reader.readMarker(list.elements[i], i, &markers, &patterns);
    }
    reader.checkMarkers(list, markers, patterns);
    return Board(std::move(name), std::move(unit), std::move(markers), std::move(patterns));
}

Board Board::grid(int32_t i_columns, int32_t i_rows, double i_marker_side, double i_gap, const std::string& i_unit,
                  const std::string& i_name)
{
    const std::string grid = "board: a grid of " + std::to_string(i_columns) + " x " + std::to_string(i_rows);
    if (i_columns < 1 || i_rows < 1) {
        throw Error(grid + " holds no marker");
    }
    if (int64_t{i_columns} * i_rows > Pattern::GENERATED_COUNT) {
        throw Error(grid + " needs " + std::to_string(int64_t{i_columns} * i_rows) +
                    " generated patterns, and there are " + std::to_string(Pattern::GENERATED_COUNT));
    }
    checkPositive(i_marker_side, "board", "the marker side");
    checkPositive(i_gap, "board", "the gap between markers");
    if (!isUnit(i_unit)) {
        throw Error("board: unit " + quoted(i_unit) + " is not one of " + unitList());
    }
    const double pitch = i_marker_side + i_gap;
    std::vector<BoardMarker> markers;
    std::vector<Pattern> patterns;
    for (int32_t row = 0; row < i_rows; row++) {
        for (int32_t column = 0; column < i_columns; column++) {
            const int32_t index = row * i_columns + column;
            markers.push_back(BoardMarker{GENERATED_PREFIX + std::to_string(index),
                                          (column - (i_columns - 1) / 2.0) * pitch,
                                          ((i_rows - 1) / 2.0 - row) * pitch, i_marker_side});
            patterns.push_back(Pattern::generated(index));
        }
    }
    std::string name = i_name;
    if (name.empty()) {
        name = "grid " + std::to_string(i_columns) + "x" + std::to_string(i_rows);
    }
    return Board(std::move(name), i_unit, std::move(markers), std::move(patterns));
}

std::array<double, 4> Board::extent() const
{
    const double inf = std::numeric_limits<double>::infinity();
    std::array<double, 4> box{inf, inf, -inf, -inf};
    for (const BoardMarker& marker : _markers) {
        const double half = marker.side / 2.0;
        box[0] = std::min(box[0], marker.centre_x - half);
        box[1] = std::min(box[1], marker.centre_y - half);
        box[2] = std::max(box[2], marker.centre_x + half);
        box[3] = std::max(box[3], marker.centre_y + half);
    }
    return box;
}

std::string Board::toJson() const
{
    std::string text = "{\n  \"format\": \"" + std::string(FORMAT) + "\",\n  \"version\": " +
                       std::to_string(VERSION) + ",\n  \"name\": " + quoted(_name) + ",\n  \"unit\": " +
                       quoted(_unit) + ",\n  \"markers\": [\n";
    for (size_t i = 0; i < _markers.size(); i++) {
        const BoardMarker& marker = _markers[i];
        text += "    {\"pattern\": " + quoted(marker.pattern_name) + ", \"centre\": [" +
                numberText(marker.centre_x) + ", " + numberText(marker.centre_y) +
                "], \"side\": " + numberText(marker.side) + "}" + (i + 1 < _markers.size() ? ",\n" : "\n");
    }
    return text + "  ]\n}\n";
}

void Board::save(const std::string& i_path) const
{
    const std::string text = toJson();
    writeFileBytes(i_path, "board file ", text.data(), text.size());
}

Image Board::picture(double i_pixels_per_unit, double i_margin) const
{
    checkPositive(i_pixels_per_unit, "board " + _name, "the resolution (pixels per " + _unit + ")");
    if (!(i_margin >= 0.0) || !std::isfinite(i_margin)) {
        throw Error("board " + _name + ": the margin is " + numberText(i_margin) + ", not 0 or more");
    }
    const std::array<double, 4> box = extent();
    const int64_t width = pixelsOf(box[2] - box[0] + 2.0 * i_margin, i_pixels_per_unit);
    const int64_t height = pixelsOf(box[3] - box[1] + 2.0 * i_margin, i_pixels_per_unit);
    const auto& smallest = *std::min_element(_markers.begin(), _markers.end(), [](const auto& a, const auto& b) {
        return a.side < b.side;
    });
    const int64_t smallest_side = pixelsOf(smallest.side, i_pixels_per_unit);
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width > MAX_PICTURE_SIDE || height > MAX_PICTURE_SIDE || width * height > MAX_PICTURE_PIXELS) {
        throw Error("board " + _name + ": a picture of " + size + " is too large (at most " +
                    std::to_string(MAX_PICTURE_SIDE) + " a side and " + std::to_string(MAX_PICTURE_PIXELS >> 20) +
                    " million pixels); lower the resolution");
    }
    if (smallest_side < MIN_MARKER_PIXELS) {
        throw Error("board " + _name + ": markers of " + std::to_string(smallest_side) +
                    " pixels are too small to draw (at least " + std::to_string(MIN_MARKER_PIXELS) +
                    "); raise the resolution");
    }
    Image page(static_cast<int32_t>(width), static_cast<int32_t>(height), PixelFormat::RGB, 255);
    for (size_t i = 0; i < _markers.size(); i++) {
        const BoardMarker& marker = _markers[i];
        const double half = marker.side / 2.0;
        // Board y is up, picture rows go down.
        const int64_t left = pixelsOf(marker.centre_x - half - box[0] + i_margin, i_pixels_per_unit);
        const int64_t top = pixelsOf(box[3] + i_margin - (marker.centre_y + half), i_pixels_per_unit);
        const Image drawn = _patterns[i].markerPicture(static_cast<int32_t>(pixelsOf(marker.side, i_pixels_per_unit)));
        place(drawn, left, top, &page);
    }
    return page;
}

}  // namespace markeye
