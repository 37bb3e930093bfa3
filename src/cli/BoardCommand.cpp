#include "BoardCommand.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Canvas.h"
#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "markeye/Board.h"
#include "markeye/ImageFile.h"

namespace Markeye {

namespace {

const char* const BOARD_USAGE =
    "usage: markeye board make --grid CxR [--marker-mm MM] [--gap-mm MM] [--name NAME] -o BOARD.json\n"
    "                          [--image BOARD.png] [--dpi DPI]\n"
    "       markeye board show BOARD.json [-o PICTURE.png] [--dpi DPI]\n"
    "\n"
    "make  writes a board file (docs/boards.md): C columns and R rows of markers\n"
    "      showing generated patterns 0, 1, ... row by row from the top left, the\n"
    "      origin at the board's centre, lengths in millimetres. --marker-mm is each\n"
    "      marker's side (default 30), --gap-mm the white between neighbours (default\n"
    "      6). With --image it also draws the board for printing, with a caption of\n"
    "      its name and size; the resolution (--dpi, default 300) is stored in the\n"
    "      PNG, so that it prints at size.\n"
    "show  prints a board file's name, unit, extent and markers, and with -o draws\n"
    "      it as make does (--dpi, default 300).\n";

constexpr double MM_PER_INCH = 25.4;
constexpr double DEFAULT_DPI = 300.0;
// White around the markers, and the caption's letters, in millimetres.
constexpr double MARGIN_MM = 10.0;
constexpr double LETTER_MM = 3.0;
// A wider gap between markers would make a board no printer takes.
constexpr double MAX_GAP_MM = 1000.0;

double optionalPositive(const CliArgs& i_args, const std::string& i_option, double i_default)
{
    const std::optional<std::string> text = i_args.value(i_option);
    return text ? parsePositive(i_option, *text) : i_default;
}

double millimetresPerUnit(const std::string& i_unit)
{
    if (i_unit == "cm") {
        return 10.0;
    }
    if (i_unit == "m") {
        return 1000.0;
    }
    return i_unit == "in" ? MM_PER_INCH : 1.0;
}

std::string number(double i_value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", i_value);
    return text;
}

std::string oneDecimal(double i_value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", i_value);
    return text;
}

std::string sidesText(const markeye::Board& i_board)
{
    const auto bySide = [](const markeye::BoardMarker& a, const markeye::BoardMarker& b) { return a.side < b.side; };
    const auto range = std::minmax_element(i_board.markers().begin(), i_board.markers().end(), bySide);
    const std::string unit = " " + i_board.unit();
    return range.first->side == range.second->side
               ? number(range.first->side) + unit
               : number(range.first->side) + " to " + number(range.second->side) + unit;
}

// The board's picture with its caption under it, as BGRX for the canvas.
markeye::Image boardPage(const markeye::Board& i_board, double i_dpi, const std::string& i_markers_line)
{
    const double mm_per_unit = millimetresPerUnit(i_board.unit());
    const double pixels_per_mm = i_dpi / MM_PER_INCH;
    const markeye::Image picture = i_board.picture(pixels_per_mm * mm_per_unit, MARGIN_MM / mm_per_unit);
    const int32_t margin = static_cast<int32_t>(std::lround(MARGIN_MM * pixels_per_mm));
    const int32_t scale_wanted = std::max(1, static_cast<int32_t>(std::lround(LETTER_MM * pixels_per_mm / 7.0)));
    const int32_t line_height = Canvas::textHeight(scale_wanted) * 3 / 2;
    constexpr int32_t LINES = 3;
    const int32_t width = picture.width();
    const int32_t height = picture.height() + LINES * line_height + margin / 2;
    const std::string size_line = "print at 100 %: " + oneDecimal(width / pixels_per_mm) + " x " +
                                  oneDecimal(height / pixels_per_mm) + " mm, " + number(i_dpi) + " dpi";
    const std::string lines[LINES] = {i_board.name(), size_line, i_markers_line};
    // Smaller letters for a caption wider than the page.
    int32_t scale = scale_wanted;
    for (const std::string& line : lines) {
        while (scale > 1 && Canvas::textWidth(line, scale) > width - 2 * margin) {
            scale--;
        }
    }
    markeye::Image page(width, height, markeye::PixelFormat::BGRX, 255);
    for (int32_t y = 0; y < picture.height(); y++) {
        for (int32_t x = 0; x < width; x++) {
            const uint8_t* rgb = picture.pixel(x, y);
            uint8_t* bgr = page.pixel(x, y);
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
    }
    Canvas canvas(&page);
    for (int32_t i = 0; i < LINES; i++) {
        canvas.text(margin, picture.height() + i * line_height, lines[i], scale, {0, 0, 0});
    }
    return page;
}

void writePage(const markeye::Board& i_board, const std::string& i_path, double i_dpi, const std::string& i_markers)
{
    const markeye::Image page = boardPage(i_board, i_dpi, i_markers);
    markeye::writePng(i_path, page.view(), i_dpi);
    const double pixels_per_mm = i_dpi / MM_PER_INCH;
    std::cerr << "wrote " << i_path << " (" << page.width() << " x " << page.height()
              << " pixels, " << oneDecimal(page.width() / pixels_per_mm) << " x "
              << oneDecimal(page.height() / pixels_per_mm) << " mm at " << number(i_dpi) << " dpi)\n";
}

std::string extentText(const markeye::Board& i_board)
{
    const std::array<double, 4> box = i_board.extent();
    const std::string unit = " " + i_board.unit();
    return number(box[2] - box[0]) + " x " + number(box[3] - box[1]) + unit + " (x " + number(box[0]) + " to " +
           number(box[2]) + ", y " + number(box[1]) + " to " + number(box[3]) + ")";
}

int make(int i_argc, char** i_argv)
{
    CliArgs args({{"--grid", true},
                  {"--marker-mm", true},
                  {"--gap-mm", true},
                  {"--name", true},
                  {"-o", true},
                  {"--image", true},
                  {"--dpi", true},
                  {"--help", false}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << BOARD_USAGE;
        return 0;
    }
    if (!args.positional().empty()) {
        throw UsageError("board make takes no " + args.positional().front());
    }
    const std::optional<std::string> grid_text = args.value("--grid");
    const std::optional<std::string> path = args.value("-o");
    if (!grid_text || !path) {
        throw UsageError("board make needs --grid CxR and -o BOARD.json");
    }
    const TFrameSize grid = parseSize("--grid", *grid_text);
    const double side = optionalPositive(args, "--marker-mm", 30.0);
    const std::optional<std::string> gap_text = args.value("--gap-mm");
    const double gap = gap_text ? parseDoubleIn("--gap-mm", *gap_text, 0.0, MAX_GAP_MM) : 6.0;
    const double dpi = optionalPositive(args, "--dpi", DEFAULT_DPI);
    const markeye::Board board =
        markeye::Board::grid(grid.width, grid.height, side, gap, "mm", args.value("--name").value_or(""));
    board.save(*path);
    const std::string markers =
        std::to_string(board.markers().size()) + " markers of " + number(side) + " mm, " + number(gap) + " mm apart";
    std::cerr << "wrote " << *path << " (" << board.name() << ": " << markers << "; " << extentText(board) << ")\n";
    if (args.has("--image")) {
        writePage(board, *args.value("--image"), dpi, markers);
    }
    return 0;
}

void printBoard(const std::string& i_path, const markeye::Board& i_board)
{
    std::printf("board file %s: %s\n", i_path.c_str(), i_board.name().c_str());
    std::printf("unit: %s\n", i_board.unit().c_str());
    std::printf("markers: %zu of %s\n", i_board.markers().size(), sidesText(i_board).c_str());
    std::printf("extent: %s\n\n", extentText(i_board).c_str());
    std::printf("%-6s %-24s %10s %10s %8s\n", "marker", "pattern", "centre x", "centre y", "side");
    for (size_t i = 0; i < i_board.markers().size(); i++) {
        const markeye::BoardMarker& marker = i_board.markers()[i];
        std::printf("%-6zu %-24s %10s %10s %8s\n", i, marker.pattern_name.c_str(), number(marker.centre_x).c_str(),
                    number(marker.centre_y).c_str(), number(marker.side).c_str());
    }
}

int show(int i_argc, char** i_argv)
{
    CliArgs args({{"-o", true}, {"--dpi", true}, {"--help", false}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << BOARD_USAGE;
        return 0;
    }
    if (args.positional().size() != 1) {
        throw UsageError("board show needs one BOARD.json");
    }
    const double dpi = optionalPositive(args, "--dpi", DEFAULT_DPI);
    const std::string& path = args.positional().front();
    const markeye::Board board = markeye::Board::fromFile(path);
    printBoard(path, board);
    if (args.has("-o")) {
        writePage(board, *args.value("-o"), dpi,
                  std::to_string(board.markers().size()) + " markers of " + sidesText(board));
    }
    return 0;
}

}  // namespace

int runBoardCommand(int i_argc, char** i_argv)
{
    return runVerbs("board", BOARD_USAGE, {{"make", make}, {"show", show}}, i_argc, i_argv);
}

}  // namespace Markeye
