#include "PatternCommand.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Canvas.h"
#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "FileUtil.h"
#include "markeye/ImageFile.h"
#include "markeye/Pattern.h"

namespace Markeye {

namespace {

const char* const PATTERN_USAGE =
    "usage: markeye pattern make (PICTURE [--with-border] | --builtin NAME) [--size N | WxH] -o FILE\n"
    "       markeye pattern show FILE [--size N | WxH] [-o PICTURE.png]\n"
    "       markeye pattern generate --count N [--start K] [--size N | WxH] (-o | --out) DIR\n"
    "\n"
    "make  writes a pattern file: 12 x W x H brightness numbers, four directions,\n"
    "      each the planes blue, green, red, each H rows of W cells. PICTURE (PNG,\n"
    "      JPEG, PPM or PGM) shows the marker's central picture, upright; with\n"
    "      --with-border it shows the whole marker, cropped to its outer edge, and\n"
    "      the black border (a quarter of the side) is cut away. --builtin NAME takes\n"
    "      a built-in marker (flag, arrow, hook, dots, steps, key, tee, moon);\n"
    "      --with-border goes with PICTURE only. The grid is 16 x 16 unless --size\n"
    "      is given (each side 1, 2, 4, 8, 16, 32 or 64). A picture too small (under\n"
    "      4 x 4 pixels) or too plain to track (its cells' brightness varying by a\n"
    "      standard deviation under 16 of 255) is refused, as by marker.\n"
    "show  prints the four direction blocks of a pattern file as text pictures, or\n"
    "      draws them side by side into a PNG with -o. The grid is told by the\n"
    "      count of numbers in the file, or given with --size.\n"
    "generate  writes the pattern files of generated markers K to K + N - 1 (K is\n"
    "      --start, default 0; there are 64) into DIR as generated_<i>.patt: random\n"
    "      cell grids of our own, the same on every machine, that correlate with one\n"
    "      another and with the built-in markers, in any directions, below 0.45\n"
    "      (docs/boards.md). Print one with markeye marker --pattern FILE, or many\n"
    "      on a board with markeye board make.\n";

// Darkness ramp of the text pictures, from white to black.
const char RAMP[] = " .:-=+*#%@";
constexpr int RAMP_LEVELS = sizeof RAMP - 1;
// Text pictures: two characters per cell, so that cells look square.
constexpr int CHARACTERS_PER_CELL = 2;
constexpr int TEXT_WIDTH = 80;
constexpr int BLOCK_GAP = 3;
// A border region whose mean brightness is above this is not a marker border.
constexpr double BORDER_MAX_BRIGHTNESS = 128.0;

// The part of i_image from (i_x0, i_y0) up to (i_x1, i_y1), in place.
markeye::ImageView region(const markeye::Image& i_image, int32_t i_x0, int32_t i_y0, int32_t i_x1, int32_t i_y1)
{
    return markeye::ImageView{i_image.pixel(i_x0, i_y0), i_x1 - i_x0, i_y1 - i_y0, i_image.stride(),
                              i_image.format()};
}

double brightness(const uint8_t* i_bgra)
{
    return (i_bgra[0] + i_bgra[1] + i_bgra[2]) / 3.0;
}

// The central half of a picture of a whole marker, after checking that what
// is cut away is dark.
markeye::ImageView cutBorder(const markeye::Image& i_image, const std::string& i_path)
{
    const int32_t w = i_image.width();
    const int32_t h = i_image.height();
    if (w < 4 || h < 4) {
        throw CliError(i_path + ": too small for a marker with its border (" + std::to_string(w) + " x " +
                       std::to_string(h) + ")");
    }
    const int32_t x0 = (w + 2) / 4;
    const int32_t y0 = (h + 2) / 4;
    const int32_t x1 = w - x0;
    const int32_t y1 = h - y0;
    double sum = 0.0;
    int64_t count = 0;
    for (int32_t y = 0; y < h; y++) {
        for (int32_t x = 0; x < w; x++) {
            if (x < x0 || x >= x1 || y < y0 || y >= y1) {
                sum += brightness(i_image.pixel(x, y));
                count++;
            }
        }
    }
    const double mean = sum / static_cast<double>(count);
    if (mean > BORDER_MAX_BRIGHTNESS) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", mean);
        throw CliError(i_path + ": the outer quarter is not a black border (mean brightness " + text +
                       " of 255); crop the picture to the marker's outer edge, or leave out --with-border");
    }
    return region(i_image, x0, y0, x1, y1);
}

markeye::Pattern patternToMake(const CliArgs& i_args, const TFrameSize& i_grid)
{
    const std::optional<std::string> builtin = i_args.value("--builtin");
    if (i_args.positional().size() + (builtin ? 1 : 0) != 1) {
        throw UsageError("pattern make needs one PICTURE or --builtin NAME");
    }
    if (builtin) {
        return markeye::Pattern::builtin(parseChoice("--builtin", *builtin, markeye::Pattern::builtinNames()),
                                         i_grid.width, i_grid.height);
    }
    const std::string& path = i_args.positional().front();
    const markeye::Image image = markeye::readImage(path);
    const markeye::ImageView picture =
        i_args.has("--with-border") ? cutBorder(image, path) : region(image, 0, 0, image.width(), image.height());
    markeye::Pattern::checkReadable(picture, i_grid.width, i_grid.height, path);
    return markeye::Pattern::fromPicture(picture, i_grid.width, i_grid.height, path);
}

int make(int i_argc, char** i_argv)
{
    CliArgs args({{"--builtin", true}, {"--size", true}, {"--with-border", false}, {"-o", true}, {"--help", false}},
                 {{"--builtin", "--with-border"}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << PATTERN_USAGE;
        return 0;
    }
    const std::optional<std::string> path = args.value("-o");
    if (!path) {
        throw UsageError("pattern make needs -o FILE");
    }
    const TFrameSize grid = parseGrid("--size", args.value("--size").value_or("16"));
    patternToMake(args, grid).save(*path);
    std::cerr << "wrote " << *path << " (" << grid.width << " x " << grid.height << ")\n";
    return 0;
}

// Level 0 (white) to RAMP_LEVELS - 1 (black) of a cell's brightness.
int darknessLevel(const uint8_t* i_rgb)
{
    const int grey = (299 * i_rgb[0] + 587 * i_rgb[1] + 114 * i_rgb[2]) / 1000;
    return ((255 - grey) * (RAMP_LEVELS - 1) + 127) / 255;
}

void printLine(std::string i_line)
{
    i_line.erase(i_line.find_last_not_of(' ') + 1);
    std::printf("%s\n", i_line.c_str());
}

void printBlocks(const markeye::Pattern& i_pattern)
{
    const int32_t w = i_pattern.gridWidth();
    const int32_t block_width = CHARACTERS_PER_CELL * w;
    const int per_line = std::clamp((TEXT_WIDTH + BLOCK_GAP) / (block_width + BLOCK_GAP), 1, 4);
    std::vector<markeye::Image> blocks;
    for (int32_t d = 0; d < 4; d++) {
        blocks.push_back(i_pattern.picture(d));
    }
    const std::string gap(BLOCK_GAP, ' ');
    for (int first = 0; first < 4; first += per_line) {
        const int last = std::min(4, first + per_line);
        std::string header;
        for (int d = first; d < last; d++) {
            std::string title = "direction " + std::to_string(d);
            title.resize(std::max<size_t>(title.size(), static_cast<size_t>(block_width)), ' ');
            header += title + gap;
        }
        printLine(header);
        for (int32_t y = 0; y < i_pattern.gridHeight(); y++) {
            std::string line;
            for (int d = first; d < last; d++) {
                for (int32_t x = 0; x < w; x++) {
                    line.append(CHARACTERS_PER_CELL,
                                RAMP[darknessLevel(blocks[static_cast<size_t>(d)].pixel(x, y))]);
                }
                line += gap;
            }
            printLine(line);
        }
        std::printf("\n");
    }
}

void drawBlocks(const markeye::Pattern& i_pattern, const std::string& i_path)
{
    // Cells of at least 8 pixels, blocks at least 128 pixels wide.
    const int32_t cell = std::max(8, 128 / std::max(i_pattern.gridWidth(), i_pattern.gridHeight()));
    const int32_t gap = 16;
    const int32_t block_width = cell * i_pattern.gridWidth();
    const int32_t block_height = cell * i_pattern.gridHeight();
    const int32_t header = Canvas::textHeight(1) + 6;
    markeye::Image sheet(4 * block_width + 5 * gap, block_height + 2 * gap + header, markeye::PixelFormat::BGRX, 160);
    Canvas canvas(&sheet);
    for (int32_t d = 0; d < 4; d++) {
        const markeye::Image block = i_pattern.picture(d);
        const int32_t left = gap + d * (block_width + gap);
        canvas.text(left, gap, "direction " + std::to_string(d), 1, {0, 0, 0});
        for (int32_t y = 0; y < i_pattern.gridHeight(); y++) {
            for (int32_t x = 0; x < i_pattern.gridWidth(); x++) {
                const uint8_t* rgb = block.pixel(x, y);
                canvas.box(left + x * cell, gap + header + y * cell, cell, cell, {rgb[0], rgb[1], rgb[2]});
            }
        }
    }
    markeye::writePng(i_path, sheet.view());
}

// The grid is --size, or told by the count of numbers.
markeye::Pattern patternToShow(const std::string& i_path, const CliArgs& i_args)
{
    if (!i_args.has("--size")) {
        return markeye::Pattern::fromFile(i_path);
    }
    const TFrameSize grid = parseGrid("--size", *i_args.value("--size"));
    return markeye::Pattern::fromFile(i_path, grid.width, grid.height);
}

int show(int i_argc, char** i_argv)
{
    CliArgs args({{"--size", true}, {"-o", true}, {"--help", false}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << PATTERN_USAGE;
        return 0;
    }
    if (args.positional().size() != 1) {
        throw UsageError("pattern show needs one FILE");
    }
    const std::string& path = args.positional().front();
    const markeye::Pattern pattern = patternToShow(path, args);
    if (args.has("-o")) {
        drawBlocks(pattern, *args.value("-o"));
        std::cerr << "wrote " << *args.value("-o") << "\n";
        return 0;
    }
    std::printf("pattern file %s: %d x %d grid\n\n", path.c_str(), pattern.gridWidth(), pattern.gridHeight());
    printBlocks(pattern);
    return 0;
}

// The output folder of generate: -o or --out (not both, as declared).
std::string outputFolder(const CliArgs& i_args)
{
    const std::optional<std::string> folder = i_args.has("-o") ? i_args.value("-o") : i_args.value("--out");
    if (!folder) {
        throw UsageError("pattern generate needs one of -o DIR and --out DIR");
    }
    return *folder;
}

int wholeOption(const CliArgs& i_args, const std::string& i_option, int i_default, int i_min, int i_max)
{
    const std::optional<std::string> text = i_args.value(i_option);
    return text ? parseInt(i_option, *text, i_min, i_max) : i_default;
}

int generate(int i_argc, char** i_argv)
{
    CliArgs args({{"--count", true}, {"--start", true}, {"--size", true}, {"-o", true}, {"--out", true},
                  {"--help", false}},
                 {{"-o", "--out"}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << PATTERN_USAGE;
        return 0;
    }
    if (!args.has("--count") || !args.positional().empty()) {
        throw UsageError("pattern generate needs --count N and no other arguments");
    }
    const std::string folder = outputFolder(args);
    const int last = markeye::Pattern::GENERATED_COUNT - 1;
    const int start = wholeOption(args, "--start", 0, 0, last);
    const int count = wholeOption(args, "--count", 0, 1, last + 1 - start);
    const TFrameSize grid = parseGrid("--size", args.value("--size").value_or("16"));
    FileUtil::makeFolder(folder);
    for (int i = start; i < start + count; i++) {
        markeye::Pattern::generated(i, grid.width, grid.height)
            .save(FileUtil::join(folder, "generated_" + std::to_string(i) + ".patt"));
    }
    std::cerr << "wrote " << count << " pattern files into " << folder << ": generated_" << start
              << ".patt to generated_" << start + count - 1 << ".patt (" << grid.width << " x " << grid.height
              << ")\n";
    return 0;
}

}  // namespace

int runPatternCommand(int i_argc, char** i_argv)
{
    return runVerbs("pattern", PATTERN_USAGE, {{"make", make}, {"show", show}, {"generate", generate}}, i_argc, i_argv);
}

}  // namespace Markeye
