#pragma once

// Marker boards: several markers at known places on one plane, described in
// a small JSON file (docs/boards.md), tracked as one object by
// BoardTracker and used to calibrate cameras.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "markeye/Image.h"
#include "markeye/Pattern.h"

namespace markeye {

// One marker of a board, upright on the board's plane: its vertex 0 (the
// upright picture's top-left) at (centre_x - side / 2, centre_y + side / 2).
struct BoardMarker
{
    // How the board file names the pattern: "generated:7", "builtin:flag",
    // or a pattern file's path relative to the board file.
    std::string pattern_name;
    // Board coordinates, in the board's unit: x right, y up, z out of the
    // printed face towards the viewer; the origin where the file puts it
    // (Board::grid puts it at the board's centre).
    double centre_x;
    double centre_y;
    // The marker's outer side (its black border's outer edge).
    double side;
};

// A board: its name, its unit, its markers and their patterns. Every marker
// shows a pattern of its own.
class Board
{
public:
    // Throws Error naming the file and the fault (not JSON, a key missing or
    // of the wrong type, a pattern that cannot be loaded, two markers of one
    // pattern, overlapping markers, no marker).
    static Board fromFile(const std::string& i_path);
    // The same from the file's text; pattern files are looked up relative to
    // i_folder. i_name is used in messages.
    static Board fromJson(const std::string& i_text, const std::string& i_folder = ".",
                          const std::string& i_name = "board");
    // i_columns x i_rows markers of side i_marker_side, i_gap apart, showing
    // generated patterns 0, 1, ... row by row from the top left; the origin
    // at the board's centre. Throws Error for a size that is not positive or
    // more markers than there are generated patterns.
    // i_unit is one of "mm", "cm", "m" and "in" (as in board files); an empty
    // i_name gives "grid <columns>x<rows>".
    static Board grid(int32_t i_columns, int32_t i_rows, double i_marker_side, double i_gap,
                      const std::string& i_unit = "mm", const std::string& i_name = "");

    const std::string& name() const { return _name; }
    const std::string& unit() const { return _unit; }
    const std::vector<BoardMarker>& markers() const { return _markers; }
    // One per marker, in the markers' order.
    const std::vector<Pattern>& patterns() const { return _patterns; }
    // The smallest rectangle holding every marker, in board units: left,
    // bottom, right, top.
    std::array<double, 4> extent() const;

    // The board file's text.
    std::string toJson() const;
    // Writes the board file. Throws Error naming the file when it cannot be
    // written completely.
    void save(const std::string& i_path) const;
    // The board drawn for printing, black on white, i_margin board units of
    // white around the markers, at i_pixels_per_unit (for millimetres at
    // 300 dpi: 300 / 25.4).
    Image picture(double i_pixels_per_unit, double i_margin) const;

private:
    Board(std::string i_name, std::string i_unit, std::vector<BoardMarker> i_markers, std::vector<Pattern> i_patterns);

    std::string _name;
    std::string _unit;
    std::vector<BoardMarker> _markers;
    std::vector<Pattern> _patterns;
};

}  // namespace markeye
