// markeye: the command-line face of the tracker.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "BoardCommand.h"
#include "CalibrateCommand.h"
#include "CameraCommand.h"
#include "CliError.h"
#include "DemoCommand.h"
#include "MarkerCommand.h"
#include "PatternCommand.h"
#include "TrackCommand.h"
#include "XtraCommand.h"
#include "markeye/Error.h"

namespace {

const char* const USAGE = "usage: markeye <command> [options]\n"
                          "\n"
                          "commands:\n"
                          "  demo          render, track and score built-in markers in motion\n"
                          "  track         find markers in pictures or a raw video stream; JSON Lines out\n"
                          "  calibrate     estimate the camera from views of a board; write its camera file\n"
                          "  camera make   write a camera parameter file\n"
                          "  camera show   print a camera parameter file (the built-in camera by default)\n"
                          "  pattern make  write the pattern file of a marker picture\n"
                          "  pattern show  print or draw the four directions of a pattern file\n"
                          "  pattern generate  write the pattern files of generated markers, all told apart\n"
                          "  board make    write a board file of generated markers and its printable picture\n"
                          "  board show    print and draw a board file\n"
                          "  marker        render a printable marker as a PNG\n"
                          "  xtra          run the scripting plug-in through the emulated host on pictures\n"
                          "\n"
                          "Run 'markeye <command> --help' for a command's options.\n";

struct TCommand
{
    const char* name;
    int (*run)(int i_argc, char** i_argv);
};

const TCommand COMMANDS[] = {
    {"demo", Markeye::runDemoCommand},     {"track", Markeye::runTrackCommand},
    {"camera", Markeye::runCameraCommand}, {"pattern", Markeye::runPatternCommand},
    {"marker", Markeye::runMarkerCommand}, {"xtra", Markeye::runXtraCommand},
    {"calibrate", Markeye::runCalibrateCommand},
    {"board", Markeye::runBoardCommand},
};

int dispatch(int i_argc, char** i_argv)
{
    const std::string command = i_argc > 1 ? i_argv[1] : "";
    for (const TCommand& entry : COMMANDS) {
        if (command == entry.name) {
            return entry.run(i_argc - 2, i_argv + 2);
        }
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
    } catch (const markeye::Error& e) {
        std::cerr << "markeye: " << e.what() << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "markeye: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "markeye: unexpected error: " << e.what() << "\n";
    }
    return 1;
}
