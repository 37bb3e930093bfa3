#include "PatternCommand.h"

#include <iostream>
#include <string>
#include <vector>

#include "BuiltinMarkers.h"
#include "CliArgs.h"
#include "CliError.h"
#include "CliParse.h"
#include "MarkerPatternMaker.h"

namespace Markeye {

namespace {

const char* const PATTERN_USAGE =
    "usage: markeye pattern make --builtin NAME [--size N | WxH] -o FILE\n"
    "\n"
    "make  writes the pattern file (12 x W x H numbers: four directions, planes blue,\n"
    "      green, red, rows, columns) of a built-in marker picture; the grid is\n"
    "      16 x 16 unless --size is given (sizes must divide 64).\n";

std::string builtinNames()
{
    std::string names;
    for (int32_t i = 0; i < BuiltinMarkers::count(); i++) {
        names += (i == 0 ? "" : ", ") + std::string(BuiltinMarkers::name(i));
    }
    return names;
}

// "N" for an N x N grid or "WxH"; each side must divide 64.
TFrameSize parseGrid(const std::string& i_text)
{
    const bool square = i_text.find('x') == std::string::npos;
    const TFrameSize grid = parseSize("--size", square ? i_text + "x" + i_text : i_text);
    for (int side : {grid.width, grid.height}) {
        if (side > 64 || 64 % side != 0) {
            throw CliError("--size: each side must be 1, 2, 4, 8, 16, 32 or 64, got \"" + i_text + "\"");
        }
    }
    return grid;
}

int make(int i_argc, char** i_argv)
{
    CliArgs args({{"--builtin", true}, {"--size", true}, {"-o", true}, {"--help", false}});
    args.parse(i_argc, i_argv);
    if (args.has("--help")) {
        std::cout << PATTERN_USAGE;
        return 0;
    }
    const std::optional<std::string> name = args.value("--builtin");
    const std::optional<std::string> path = args.value("-o");
    if (!name || !path || !args.positional().empty()) {
        throw UsageError("pattern make needs --builtin NAME and -o FILE");
    }
    const int32_t index = BuiltinMarkers::find(name->c_str());
    if (index < 0) {
        throw CliError("unknown built-in marker \"" + *name + "\" (known: " + builtinNames() + ")");
    }
    const TFrameSize grid = parseGrid(args.value("--size").value_or("16"));
    std::vector<int32_t> numbers;
    MarkerPatternMaker::makeNumbers(BuiltinMarkers::picture(index), grid.width, grid.height, &numbers);
    MarkerPatternMaker::writeFile(*path, numbers, grid.width, grid.height);
    std::cerr << "wrote " << *path << " (" << grid.width << " x " << grid.height << ")\n";
    return 0;
}

}  // namespace

int runPatternCommand(int i_argc, char** i_argv)
{
    try {
        const std::string verb = i_argc > 0 ? i_argv[0] : "";
        if (verb == "make") {
            return make(i_argc - 1, i_argv + 1);
        }
        if (verb == "--help" || verb == "-h") {
            std::cout << PATTERN_USAGE;
            return 0;
        }
        throw UsageError(verb.empty() ? "pattern needs make" : "unknown pattern command " + verb);
    } catch (const UsageError& e) {
        std::cerr << "markeye pattern: " << e.what() << "\n" << PATTERN_USAGE;
        return 2;
    }
}

}  // namespace Markeye
