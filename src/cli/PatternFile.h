#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CliParse.h"
#include "MarkerPicture.h"

namespace Markeye {

// One pattern as the tools hold it: the numbers of a pattern file (12 x W x H
// brightness values: direction, plane blue/green/red, row, column) and a name
// for messages and overlays.
struct TPattern
{
    std::string name;
    TFrameSize grid;
    std::vector<int32_t> numbers;
};

// Pattern files for the tools, with one-line error messages that name the
// file and the fault (the tracker core's loader only says that it failed).
class PatternFile
{
public:
    // A file for grid i_grid: its first 12 x W x H numbers, as the tracker
    // reads them; anything after them is not read. Throws CliError when the
    // file cannot be opened, a token is not a whole number, a value is
    // outside 0..255 or the file ends early.
    static TPattern load(const std::string& i_path, const TFrameSize& i_grid);
    // A file whose grid is told by its count of numbers: N x N with
    // 12 x N x N numbers, N one of 1, 2, 4, ... 64; else CliError.
    static TPattern loadAnySize(const std::string& i_path);
    // The pattern of built-in marker i_index on grid i_grid.
    static TPattern builtin(int32_t i_index, const TFrameSize& i_grid);
    // All built-in markers, in their order.
    static std::vector<TPattern> builtins(const TFrameSize& i_grid);
    // Block i_direction of a pattern as a picture (brightness, not darkness).
    static MarkerPicture directionPicture(const TPattern& i_pattern, int32_t i_direction);
    // Builtin names joined by ", ".
    static std::string builtinNames();
    // The name shown for a file: its name without directory and extension.
    static std::string stem(const std::string& i_path);

private:
    // Up to i_limit numbers.
    static std::vector<int32_t> readNumbers(const std::string& i_path, size_t i_limit);
};

}  // namespace Markeye
