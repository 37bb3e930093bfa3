#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Image.h"

namespace markeye {

// One known marker picture, as the tracker compares squares with it: the 12 x
// W x H brightness numbers (0 to 255) of a pattern file on a grid of W x H
// cells (each side 1, 2, 4, 8, 16, 32 or 64), in the order direction 0 to 3,
// colour plane blue, green, red, row, column. Block 0 is the upright picture;
// block d is it turned d quarter turns counter-clockwise (see
// docs/orientation.md).
class Pattern
{
public:
    // Grid of the built-in markers and the default of fromPicture.
    static constexpr int32_t DEFAULT_GRID = 16;

    // A pattern file whose grid is told by its count of numbers: N x N with
    // 12 x N x N numbers. Throws Error naming the file and the line at fault
    // (a token that is not a brightness from 0 to 255), or the count.
    static Pattern fromFile(const std::string& i_path);
    // A pattern file for a grid of W x H cells: exactly 12 x W x H numbers,
    // as strict as fromFile without a grid. Throws Error when the file holds
    // fewer or more numbers, or a token is not a brightness.
    static Pattern fromFile(const std::string& i_path, int32_t i_grid_width, int32_t i_grid_height);
    // A pattern file's text (as toText() gives it), from memory: as
    // fromFile, with i_name for the pattern's name and in messages.
    static Pattern fromText(const std::string& i_text, const std::string& i_name = "pattern");
    static Pattern fromText(const std::string& i_text, int32_t i_grid_width, int32_t i_grid_height,
                            const std::string& i_name = "pattern");
    // The numbers of a pattern file. Throws Error for a count that does not
    // fit the grid, a grid side not allowed, or a value outside 0 to 255.
    static Pattern fromNumbers(std::vector<int32_t> i_numbers, int32_t i_grid_width, int32_t i_grid_height,
                               std::string i_name = "pattern");
    // The pattern of a marker's central picture, upright (row 0 at the top):
    // each cell the mean of the picture over it. Throws Error for an unusable
    // view or grid.
    static Pattern fromPicture(const ImageView& i_picture, int32_t i_grid_width = DEFAULT_GRID,
                               int32_t i_grid_height = DEFAULT_GRID, std::string i_name = "picture");
    // Throws Error naming i_name when the pattern fromPicture would make of
    // i_picture on this grid is too poor to track: a side under 4 pixels, or
    // cells so even in brightness (standard deviation under 16 of 255) that
    // the marker looks plain.
    static void checkReadable(const ImageView& i_picture, int32_t i_grid_width, int32_t i_grid_height,
                              const std::string& i_name);
    // Built-in marker i_name (one of builtinNames()) on a grid. Throws Error
    // naming the known markers for any other name.
    static Pattern builtin(const std::string& i_name, int32_t i_grid_width = DEFAULT_GRID,
                           int32_t i_grid_height = DEFAULT_GRID);
    // All built-in markers in their order (flag, arrow, hook, dots, steps,
    // key, tee, moon), each named after its picture.
    static std::vector<Pattern> builtins(int32_t i_grid_width = DEFAULT_GRID, int32_t i_grid_height = DEFAULT_GRID);
    static const std::vector<std::string>& builtinNames();
    // The central picture of built-in marker i_name: 16 x 16 RGB, black on
    // white. Throws Error as builtin does.
    static Image builtinPicture(const std::string& i_name);

    // Patterns made in quantity for boards (docs/boards.md): random grids of
    // 7 x 7 black or white cells, chosen so that every one correlates with
    // every other and with every built-in marker, in any two directions,
    // and with its own other directions, below GENERATED_MAX_CORRELATION
    // (the tracker's measure, on the 16 x 16 grid). The same on every
    // machine; made once, at the first call (about 15 ms).
    static constexpr int32_t GENERATED_COUNT = 64;
    static constexpr double GENERATED_MAX_CORRELATION = 0.45;
    // Generated pattern i_index (0 to GENERATED_COUNT - 1), named
    // "generated:<i_index>". Throws Error for another index or a grid not
    // allowed.
    static Pattern generated(int32_t i_index, int32_t i_grid_width = DEFAULT_GRID,
                             int32_t i_grid_height = DEFAULT_GRID);
    // Its central picture: 16 x 16 RGB, black on white. Throws Error as
    // generated does.
    static Image generatedPicture(int32_t i_index);

    // The file's name without folder and extension, the built-in marker's
    // name, or the name given.
    const std::string& name() const { return _name; }
    int32_t gridWidth() const { return _grid_width; }
    int32_t gridHeight() const { return _grid_height; }
    const std::vector<int32_t>& numbers() const { return _numbers; }
    // Block i_direction (0 to 3) as an RGB picture of gridWidth x gridHeight.
    Image picture(int32_t i_direction = 0) const;
    // The whole marker as printed, i_side x i_side RGB pixels: black, with
    // block 0 in its central half (inset (i_side + 2) / 4 pixels on every
    // side, as `markeye marker` draws it), each cell a crisp block. Throws
    // Error for a side under 4 or over 16384.
    Image markerPicture(int32_t i_side) const;
    // The pattern file's text: the numbers in file order, one grid row per
    // line.
    std::string toText() const;
    // Writes the pattern file (toText()). Throws Error naming the file when
    // it cannot be written completely.
    void save(const std::string& i_path) const;

private:
    Pattern(std::string i_name, int32_t i_grid_width, int32_t i_grid_height, std::vector<int32_t> i_numbers);

    std::string _name;
    int32_t _grid_width;
    int32_t _grid_height;
    std::vector<int32_t> _numbers;
};

}  // namespace markeye
