// markeye: the command-line face of the tracker.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "BoardCommand.h"
#include "CalibrateCommand.h"
#include "CameraCommand.h"
#include "CliError.h"
#include "CliVerbs.h"
#include "DemoCommand.h"
#include "MarkerCommand.h"
#include "PatternCommand.h"
#include "TrackCommand.h"
#include "XtraCommand.h"
#include "markeye/Error.h"
#include "markeye/markeye.h"

namespace {

const char* const USAGE = "usage: markeye <command> [options]\n"
                          "       markeye help <command>\n"
                          "       markeye --version\n"
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
                          "  marker        render a printable marker as a PNG or JPEG\n"
                          "  xtra          run the scripting plug-in through the emulated host on pictures\n"
                          "\n"
                          "Run 'markeye <command> --help' or 'markeye help <command>' for a command's options.\n"
                          "\n"
                          "Exit status: 0 on success, 1 when the work failed (a file that cannot be read\n"
                          "or written, a frame that cannot be read), 2 for a command line the program does\n"
                          "not accept (the message is followed by the command's usage).\n";

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

const TCommand* findCommand(const std::string& i_name)
{
    for (const TCommand& entry : COMMANDS) {
        if (i_name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

int unknownCommand(const std::string& i_name)
{
    std::cerr << (i_name.empty() ? "markeye: missing command\n" : "markeye: unknown command " + i_name + "\n")
              << USAGE;
    return 2;
}

// "help COMMAND [VERB]" runs "COMMAND [VERB] --help".
int help(int i_argc, char** i_argv)
{
    if (i_argc == 0) {
        std::cout << USAGE;
        return 0;
    }
    const TCommand* command = findCommand(i_argv[0]);
    if (command == nullptr) {
        return unknownCommand(i_argv[0]);
    }
    std::vector<char*> arguments(i_argv + 1, i_argv + i_argc);
    static char HELP_OPTION[] = "--help";
    arguments.push_back(HELP_OPTION);
    return command->run(static_cast<int>(arguments.size()), arguments.data());
}

int dispatch(int i_argc, char** i_argv)
{
    const std::string name = i_argc > 1 ? i_argv[1] : "";
    if (const TCommand* command = findCommand(name)) {
        return command->run(i_argc - 2, i_argv + 2);
    }
    if (name == "help") {
        return help(i_argc - 2, i_argv + 2);
    }
    if (name == "--help" || name == "-h") {
        std::cout << USAGE;
        return 0;
    }
    if (name == "--version" || name == "-V") {
        std::cout << "markeye " << markeye::version() << "\n";
        return 0;
    }
    return unknownCommand(name);
}

}  // namespace

int main(int i_argc, char** i_argv)
{
    try {
        return dispatch(i_argc, i_argv);
    } catch (const Markeye::CliError& e) {
        std::cerr << "markeye: " << Markeye::readableMessage(e.what()) << "\n";
    } catch (const markeye::Error& e) {
        std::cerr << "markeye: " << Markeye::readableMessage(e.what()) << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "markeye: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "markeye: unexpected error: " << e.what() << "\n";
    }
    return 1;
}
