#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "CliRunner.h"
#include "TestImages.h"
#include "markeye/Version.h"

namespace {

// A command line and what the program must answer. In the arguments, DIR
// stands for the test's folder, FRAME for a frame without markers in it and
// DATA for the data folder. Status 2: standard error holds the message, then
// the command's usage. Status 0: the message is in the output.
struct TCommandLine
{
    const char* name;
    const char* arguments;
    int status;
    const char* message;
    // The first words of the command's usage.
    const char* usage;
};

void PrintTo(const TCommandLine& i_case, std::ostream* o_stream)
{
    *o_stream << i_case.arguments;
}

std::string replaced(std::string i_text, const std::string& i_word, const std::string& i_by)
{
    for (size_t at = i_text.find(i_word); at != std::string::npos; at = i_text.find(i_word, at + i_by.size())) {
        i_text.replace(at, i_word.size(), i_by);
    }
    return i_text;
}

class CommandLineTest : public ::testing::TestWithParam<TCommandLine>
{
};

const char* const DEMO = "usage: markeye demo ";
const char* const TRACK = "usage: markeye track ";
const char* const CALIBRATE = "usage: markeye calibrate ";
const char* const CAMERA = "usage: markeye camera make ";
const char* const PATTERN = "usage: markeye pattern make ";
const char* const BOARD = "usage: markeye board make ";
const char* const MARKER = "usage: markeye marker ";
const char* const XTRA = "usage: markeye xtra ";
const char* const MAIN = "usage: markeye <command>";

}  // namespace

TEST_P(CommandLineTest, AnswersWithItsStatusAndUsage)
{
    const TCommandLine& line = GetParam();
    const std::string folder = testFolder();
    writeFile(folder + "/frame.png", CliTest::encodePng(CliTest::renderFrame({})));
    std::string arguments = replaced(line.arguments, "DIR", folder);
    arguments = replaced(arguments, "FRAME", folder + "/frame.png");
    arguments = replaced(arguments, "DATA", MARKEYE_DATA_DIR);
    const TCliResult result = runMarkeye(arguments);
    ASSERT_EQ(result.status, line.status) << result.err;
    if (line.status == 0) {
        EXPECT_NE((result.out + result.err).find(line.message), std::string::npos) << result.out << result.err;
        return;
    }
    const size_t message = result.err.find(line.message);
    EXPECT_NE(message, std::string::npos) << result.err;
    EXPECT_NE(result.err.find(std::string("\n") + line.usage, message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandLineTest,
    ::testing::Values(
        TCommandLine{"DemoNoFrames", "demo --frames 0", 2,
                     "--frames: expected a whole number from 1 to 1000, got \"0\"", DEMO},
        TCommandLine{"DemoUnknownOption", "demo --fast", 2, "unknown option --fast", DEMO},
        TCommandLine{"DemoFramesTwice", "demo --frames 2 --frames 3", 2, "option --frames given more than once",
                     DEMO},
        TCommandLine{"DemoArgument", "demo DIR", 2, "unexpected argument", DEMO},
        TCommandLine{"TrackNegativeConfidence", "track --min-confidence -1 FRAME", 2,
                     "--min-confidence: expected a number from 0 to 1, got \"-1\"", TRACK},
        TCommandLine{"TrackGridThree", "track --pattern-size 3 FRAME", 2, "--pattern-size: expected N or WxH", TRACK},
        TCommandLine{"TrackGridZeroQuotedAsTyped", "track --pattern-size 0 FRAME", 2, "got \"0\"\n", TRACK},
        TCommandLine{"TrackEmptyRaw", "track --raw 0x0 < /dev/null", 2, "--raw: expected WIDTHxHEIGHT", TRACK},
        TCommandLine{"TrackCameraTwice", "track --camera DIR/a.dat --camera DIR/b.dat FRAME", 2,
                     "option --camera given more than once", TRACK},
        TCommandLine{"TrackFlagWithValue", "track --compat=yes FRAME", 2, "option --compat takes no value", TRACK},
        TCommandLine{"TrackVideoAndSingleFrame", "track --video --single-frame FRAME", 2, "exclude each other", TRACK},
        TCommandLine{"CalibrateEmptyRaw", "calibrate --board DIR/b.json --raw 0x0 < /dev/null", 2,
                     "--raw: expected WIDTHxHEIGHT", CALIBRATE},
        TCommandLine{"CalibrateNoBoard", "calibrate FRAME", 2, "missing --board", CALIBRATE},
        TCommandLine{"CalibrateBoardTwice", "calibrate --board DIR/a.json --board DIR/b.json FRAME", 2,
                     "option --board given more than once", CALIBRATE},
        TCommandLine{"CameraFocalAndFx", "camera make --size 640x480 --focal 700 --fx 600 --fy 600 -o DIR/c.dat", 2,
                     "--focal and --fx exclude each other", CAMERA},
        TCommandLine{"CameraNegativeFocal", "camera make --size 640x480 --focal -3 -o DIR/c.dat", 2,
                     "--focal: expected a number above 0, got \"-3\"", CAMERA},
        TCommandLine{"CameraFlatDistortion",
                     "camera make --size 640x480 --focal 7 --distortion 1,2,3,0 -o DIR/c.dat", 2,
                     "--distortion: the scale must not be zero", CAMERA},
        TCommandLine{"CameraOutputTwice", "camera make --size 640x480 --focal 7 -o DIR/a.dat -o DIR/b.dat", 2,
                     "option -o given more than once", CAMERA},
        TCommandLine{"CameraShowEmptySize", "camera show --size 0x0", 2, "--size: expected WIDTHxHEIGHT", CAMERA},
        TCommandLine{"CameraShowTwoFiles", "camera show DIR/a.dat DIR/b.dat", 2, "camera show takes one FILE", CAMERA},
        TCommandLine{"CameraUnknownVerb", "camera take", 2, "unknown camera command take", CAMERA},
        TCommandLine{"PatternBuiltinWithBorder", "pattern make --builtin flag --with-border -o DIR/p.patt", 2,
                     "--builtin and --with-border exclude each other", PATTERN},
        TCommandLine{"PatternUnknownBuiltin", "pattern make --builtin nosuch -o DIR/p.patt", 2,
                     "--builtin: expected one of flag, arrow", PATTERN},
        TCommandLine{"PatternMakeGridThree", "pattern make --builtin flag --size 3 -o DIR/p.patt", 2,
                     "--size: expected N or WxH with each side 1, 2, 4, 8, 16, 32 or 64, got \"3\"", PATTERN},
        TCommandLine{"PatternShowNoFile", "pattern show", 2, "pattern show needs one FILE", PATTERN},
        TCommandLine{"PatternShowGridZero", "pattern show DATA/patterns/tee.patt --size 0", 2, "got \"0\"", PATTERN},
        TCommandLine{"PatternGenerateNone", "pattern generate --count 0 -o DIR", 2,
                     "--count: expected a whole number from 1 to 64", PATTERN},
        TCommandLine{"PatternGenerateTwoFolders", "pattern generate --count 2 -o DIR --out DIR", 2,
                     "-o and --out exclude each other", PATTERN},
        TCommandLine{"BoardEmptyGrid", "board make --grid 0x3 -o DIR/b.json", 2, "--grid: expected WIDTHxHEIGHT",
                     BOARD},
        TCommandLine{"BoardNegativeMarker", "board make --grid 3x3 --marker-mm -1 -o DIR/b.json", 2,
                     "--marker-mm: expected a number above 0", BOARD},
        TCommandLine{"BoardNegativeGap", "board make --grid 3x3 --gap-mm -1 -o DIR/b.json", 2,
                     "--gap-mm: expected a number from 0", BOARD},
        TCommandLine{"BoardShowNoDpi", "board show DIR/b.json --dpi 0", 2, "--dpi: expected a number above 0", BOARD},
        TCommandLine{"MarkerNegativeDpi", "marker --builtin tee --dpi -3 -o DIR/m.png", 2,
                     "--dpi: expected a number above 0, got \"-3\"", MARKER},
        TCommandLine{"MarkerUnknownFormat", "marker --builtin tee -o DIR/m.gif", 2, "the extension \".gif\"", MARKER},
        TCommandLine{"MarkerUnknownBuiltin", "marker --builtin nosuch -o DIR/m.png", 2,
                     "--builtin: expected one of flag, arrow, hook, dots, steps, key, tee, moon, got \"nosuch\"",
                     MARKER},
        TCommandLine{"MarkerTwoSources", "marker --builtin tee --builtin flag -o DIR/m.png", 2,
                     "option --builtin given more than once", MARKER},
        TCommandLine{"XtraConfidenceAboveOne", "xtra --min-confidence 2 FRAME", 2,
                     "--min-confidence: expected a number from 0 to 1", XTRA},
        TCommandLine{"XtraModuleTwice", "xtra --module a.so --module b.so FRAME", 2,
                     "option --module given more than once", XTRA},
        TCommandLine{"XtraNoFrame", "xtra", 2, "no FRAME given", XTRA},
        TCommandLine{"UnknownCommand", "recalibrate", 2, "unknown command recalibrate", MAIN},
        TCommandLine{"HelpUnknownCommand", "help recalibrate", 2, "unknown command recalibrate", MAIN},
        TCommandLine{"Version", "--version", 0, "markeye " MARKEYE_VERSION_STRING "\n", ""},
        TCommandLine{"VersionShort", "-V", 0, "markeye " MARKEYE_VERSION_STRING "\n", ""},
        TCommandLine{"HelpCommand", "help demo", 0, DEMO, ""},
        TCommandLine{"HelpVerb", "help camera make", 0, CAMERA, ""},
        TCommandLine{"HelpAll", "help", 0, MAIN, ""},
        TCommandLine{"CameraFxFy", "camera make --size 640x480 --fx 600 --fy 610 -o DIR/c.dat", 0, "wrote", ""},
        TCommandLine{"ValuesAfterEquals", "camera make --size=640x480 --focal=700 -o=DIR/c.dat", 0,
                     "(640 x 480)", ""},
        TCommandLine{"PatternsRepeatInTrack",
                     "track --pattern DATA/patterns/tee.patt --pattern DATA/patterns/flag.patt FRAME", 0,
                     "\"markers\"", ""},
        TCommandLine{"PatternsRepeatInXtra",
                     "xtra --pattern DATA/patterns/tee.patt --pattern DATA/patterns/flag.patt FRAME", 0, ": [0, 0]",
                     ""},
        TCommandLine{"MarkerJpeg", "marker --builtin tee --dpi 72 -o DIR/m.JPEG", 0, "wrote", ""}),
    [](const ::testing::TestParamInfo<TCommandLine>& i_info) { return std::string(i_info.param.name); });

// "help COMMAND" is "COMMAND --help", word for word.
TEST(CommandLineHelpTest, HelpCommandIsTheCommandsHelp)
{
    for (const char* command : {"demo", "track", "calibrate", "camera", "camera make", "pattern generate", "board",
                                "marker", "xtra"}) {
        const TCliResult help = runMarkeye(std::string("help ") + command);
        const TCliResult option = runMarkeye(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(option.status, 0) << command;
        EXPECT_FALSE(help.out.empty()) << command;
        EXPECT_EQ(help.out, option.out) << command;
    }
}

// A file whose numbers are separated by commas is one 10 000-character
// token; the message quotes its start only.
TEST(CommandLineMessageTest, LongQuotedInputIsCut)
{
    const std::string folder = testFolder();
    std::string numbers = "255";
    for (int i = 1; i < 3072; i++) {
        numbers += ",255";
    }
    writeFile(folder + "/comma.patt", numbers + "\n");
    const TCliResult result = runMarkeye("pattern show " + folder + "/comma.patt");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("\"" + numbers.substr(0, 60) + "...\""), std::string::npos) << result.err;
    EXPECT_LT(result.err.size(), 300u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}
