#include "MarkerCommand.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "Canvas.h"
#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "CliVerbs.h"
#include "FileUtil.h"
#include "MarkerPicture.h"
#include "markeye/ImageFile.h"
#include "markeye/Pattern.h"

namespace Markeye {

namespace {

const char* const MARKER_USAGE =
    "usage: markeye marker (PICTURE | --pattern FILE | --builtin NAME) [--size-mm MM] [--dpi DPI]\n"
    "                      -o (MARKER.png | MARKER.jpg)\n"
    "\n"
    "Renders a printable marker: a black square whose border is a quarter of the side,\n"
    "the picture in the central half, on a white margin, with its name and size\n"
    "printed under it. The picture comes from PICTURE (PNG, JPEG, PPM or PGM: the\n"
    "central picture, upright), from the first block of a pattern file, or from a\n"
    "built-in marker (flag, arrow, hook, dots, steps, key, tee, moon). PICTURE must\n"
    "be square (it is neither stretched nor padded), at least 4 x 4 pixels, and not\n"
    "nearly plain: the standard deviation of its brightness over the 16 x 16 cells\n"
    "of a pattern must be 16 of 255 or more, as for pattern make. The marker is a\n"
    "PNG or a JPEG (quality 95), as -o's extension (.png, .jpg, .jpeg) says.\n"
    "\n"
    "--size-mm MM   the marker's side in millimetres (default 80, the width the\n"
    "               tracker assumes; poses come out in millimetres then)\n"
    "--dpi DPI      printer resolution (default 300); stored in the file, so that it\n"
    "               prints at the right size\n";

constexpr double MM_PER_INCH = 25.4;
constexpr int32_t MIN_SIDE_PX = 16;

using TWriter = void (*)(const std::string& i_path, const markeye::ImageView& i_image, double i_dpi);

struct TMarkerSource
{
    std::string name;
    MarkerPicture picture;
};

void checkOneSource(const CliArgs& i_args)
{
    const int sources =
        static_cast<int>(i_args.positional().size()) + i_args.has("--pattern") + i_args.has("--builtin");
    if (sources != 1) {
        throw UsageError("marker needs one of PICTURE, --pattern FILE and --builtin NAME");
    }
}

// The one source checkOneSource found.
TMarkerSource sourceOf(const CliArgs& i_args)
{
    if (i_args.has("--builtin")) {
        const std::string name =
            parseChoice("--builtin", *i_args.value("--builtin"), markeye::Pattern::builtinNames());
        return {name, MarkerPicture::fromView(markeye::Pattern::builtinPicture(name).view())};
    }
    if (i_args.has("--pattern")) {
        const markeye::Pattern pattern = markeye::Pattern::fromFile(*i_args.value("--pattern"));
        return {pattern.name(), MarkerPicture::fromView(pattern.picture(0).view())};
    }
    const std::string& path = i_args.positional().front();
    const markeye::Image picture = markeye::readImage(path);
    if (picture.width() != picture.height()) {
        throw CliError(path + ": the picture is " + std::to_string(picture.width()) + " x " +
                       std::to_string(picture.height()) +
                       " pixels; a marker's picture must be square (it is neither stretched nor padded): crop it");
    }
    markeye::Pattern::checkReadable(picture.view(), markeye::Pattern::DEFAULT_GRID, markeye::Pattern::DEFAULT_GRID,
                                    path);
    return {FileUtil::stem(path), MarkerPicture::fromView(picture.view())};
}

// The writer of the format -o's extension names.
TWriter writerFor(const std::string& i_path)
{
    std::string extension = std::filesystem::path(i_path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png") {
        return markeye::writePng;
    }
    if (extension == ".jpg" || extension == ".jpeg") {
        return markeye::writeJpeg;
    }
    throw UsageError("-o " + i_path + ": the extension " + (extension.empty() ? "(none)" : "\"" + extension + "\"") +
                     " names no format the marker is written in; use .png, .jpg or .jpeg");
}

std::string number(double i_value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", i_value);
    return text;
}

// The marker of i_side pixels with its top-left at (i_left, i_top).
void drawMarker(const MarkerPicture& i_picture, int32_t i_left, int32_t i_top, int32_t i_side, markeye::Image* io_page)
{
    Canvas(io_page).box(i_left, i_top, i_side, i_side, {0, 0, 0});
    const int32_t inset = (i_side + 2) / 4;
    const int32_t inner = i_side - 2 * inset;
    for (int32_t y = 0; y < inner; y++) {
        for (int32_t x = 0; x < inner; x++) {
            const uint8_t* rgb = i_picture.sample((x + 0.5) / inner, (y + 0.5) / inner);
            uint8_t* target = io_page->pixel(i_left + inset + x, i_top + inset + y);
            target[0] = rgb[2];
            target[1] = rgb[1];
            target[2] = rgb[0];
        }
    }
}

int run(const CliArgs& i_args)
{
    const std::optional<std::string> path = i_args.value("-o");
    if (!path) {
        throw UsageError("marker needs -o MARKER.png or -o MARKER.jpg");
    }
    checkOneSource(i_args);
    const double size_mm = i_args.has("--size-mm") ? parsePositive("--size-mm", *i_args.value("--size-mm")) : 80.0;
    const double dpi = i_args.has("--dpi") ? parsePositive("--dpi", *i_args.value("--dpi")) : 300.0;
    const double side_px = std::round(size_mm / MM_PER_INCH * dpi);
    // The page adds an eighth of the side on each side and the label.
    if (side_px < MIN_SIDE_PX || side_px > markeye::MAX_IMAGE_SIDE / 2) {
        throw CliError("a marker of " + number(size_mm) + " mm at " + number(dpi) + " dpi would be " + number(side_px) +
                       " pixels wide; choose a size from " + std::to_string(MIN_SIDE_PX) + " to " +
                       std::to_string(markeye::MAX_IMAGE_SIDE / 2) + " pixels");
    }
    const TWriter write = writerFor(*path);
    const TMarkerSource source = sourceOf(i_args);
    const int32_t side = static_cast<int32_t>(side_px);
    // A white margin keeps the border apart from whatever the print lies on.
    const int32_t margin = std::max(4, side / 8);
    const int32_t scale = std::max(1, side / 170);
    const std::string label = source.name + " - " + number(size_mm) + " mm";
    markeye::Image page(side + 2 * margin, side + 2 * margin + Canvas::textHeight(scale) + margin / 2,
                        markeye::PixelFormat::BGRX, 255);
    drawMarker(source.picture, margin, margin, side, &page);
    Canvas(&page).text(margin, side + margin + margin / 2, label, scale, {0, 0, 0});
    write(*path, page.view(), dpi);
    std::cerr << "wrote " << *path << " (" << source.name << ", " << side << " x " << side << " pixels, "
              << number(size_mm) << " mm at " << number(dpi) << " dpi)\n";
    return 0;
}

}  // namespace

int runMarkerCommand(int i_argc, char** i_argv)
{
    return runWithUsage("marker", MARKER_USAGE, [&] {
        CliArgs args({{"--pattern", true},
                      {"--builtin", true},
                      {"--size-mm", true},
                      {"--dpi", true},
                      {"-o", true},
                      {"--help", false}});
        args.parse(i_argc, i_argv);
        if (args.has("--help")) {
            std::cout << MARKER_USAGE;
            return 0;
        }
        return run(args);
    });
}

}  // namespace Markeye
