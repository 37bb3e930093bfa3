// markeye: the command-line face of the tracker.

#include <exception>
#include <iostream>
#include <string>

#include "CameraCommand.h"
#include "CliError.h"
#include "PatternCommand.h"

namespace {

const char* const USAGE =
    "usage: markeye <command> [options]\n"
    "\n"
    "commands:\n"
    "  camera make   write a camera parameter file\n"
    "  camera show   print a camera parameter file (the built-in camera by default)\n"
    "  pattern make  write the pattern file of a built-in marker\n"
    "\n"
    "Run 'markeye <command> --help' for a command's options.\n";

int dispatch(int i_argc, char** i_argv)
{
    const std::string command = i_argc > 1 ? i_argv[1] : "";
    if (command == "camera") {
        return Markeye::runCameraCommand(i_argc - 2, i_argv + 2);
    }
    if (command == "pattern") {
        return Markeye::runPatternCommand(i_argc - 2, i_argv + 2);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << USAGE;
        return 0;
    }
    std::cerr << (command.empty() ? "markeye: missing command\n" : "markeye: unknown command " + command + "\n")
              << USAGE;
    return 2;
}

}  // namespace

int main(int i_argc, char** i_argv)
{
    try {
        return dispatch(i_argc, i_argv);
    } catch (const Markeye::CliError& e) {
        std::cerr << "markeye: " << e.what() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "markeye: unexpected error: " << e.what() << "\n";
    }
    return 1;
}
