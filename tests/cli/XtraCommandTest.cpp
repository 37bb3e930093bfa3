#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "DetectionScene.h"
#include "MarkerPose.h"
#include "TestImages.h"
#include "TestJson.h"
#include "TrackOutput.h"

using Markeye::MarkerPose;

namespace {

// One element of a result list: the integer 0, or the 16 numbers of a matrix.
struct TListElement
{
    bool is_matrix;
    std::vector<double> numbers;
};

// "<frame>: [0, matrix(a, b, ...), ...]" as its elements.
std::vector<TListElement> parseResultLine(const std::string& i_line, const std::string& i_frame)
{
    EXPECT_EQ(i_line.rfind(i_frame + ": [", 0), 0u) << i_line;
    const std::string list = i_line.substr(i_frame.size() + 3, i_line.size() - i_frame.size() - 4);
    std::vector<TListElement> elements;
    size_t at = 0;
    while (at < list.size()) {
        if (list.compare(at, 7, "matrix(") == 0) {
            const size_t end = list.find(')', at);
            std::istringstream numbers(list.substr(at + 7, end - at - 7));
            TListElement element{true, {}};
            for (std::string number; std::getline(numbers, number, ',');) {
                element.numbers.push_back(std::strtod(number.c_str(), nullptr));
            }
            elements.push_back(element);
            at = end + 1;
        } else {
            EXPECT_EQ(list[at], '0') << list;
            elements.push_back({false, {}});
            at++;
        }
        at += list.compare(at, 2, ", ") == 0 ? 2 : 0;
    }
    return elements;
}

std::vector<std::string> linesOf(const std::string& i_text)
{
    std::vector<std::string> lines;
    std::istringstream text(i_text);
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The host's matrix layout: 16 floats, four columns of four, rotation row 0
// and translation rows 1 and 2 negated, position 15 zero. Each element is
// checked against the core pose converted to float.
void expectHostLayoutOf(const TListElement& i_matrix, const TJson& i_marker)
{
    ASSERT_EQ(i_matrix.numbers.size(), 16u);
    const TJson& pose = i_marker["pose"];
    const double sign[3][4] = {{-1, -1, -1, 1}, {1, 1, 1, -1}, {1, 1, 1, -1}};
    for (size_t row = 0; row < 3; row++) {
        for (size_t column = 0; column < 4; column++) {
            const double expected = sign[row][column] * static_cast<float>(pose[row][column].number);
            EXPECT_NEAR(i_matrix.numbers[4 * column + row], expected, 1e-6 * std::max(1.0, std::fabs(expected)))
                << "row " << row << ", column " << column;
        }
        EXPECT_EQ(i_matrix.numbers[4 * row + 3], 0.0);
    }
    EXPECT_EQ(i_matrix.numbers[15], 0.0);
}

class XtraCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _folder = testFolder();
        const CliTest::TFrame two =
            CliTest::renderFrame({{&MarkeyeTest::builtinPicture(0), MarkerPose::make(200, 20, 10, -100, 30, 480)},
                                  {&MarkeyeTest::builtinPicture(6), MarkerPose::make(-60, -25, 35, 90, -50, 430)}});
        const CliTest::TFrame one =
            CliTest::renderFrame({{&MarkeyeTest::builtinPicture(1), MarkerPose::make(95, 30, 0, 0, 0, 380)}});
        _frames = {_folder + "/two.png", _folder + "/one.png"};
        writeFile(_frames[0], CliTest::encodePng(two));
        writeFile(_frames[1], CliTest::encodePng(one));
    }

    // Runs both commands with the same options (track in the plug-in's way)
    // and checks that they agree.
    void expectAgreement(const std::string& i_options, size_t i_patterns, size_t i_expected_found)
    {
        const std::string frames = " " + _frames[0] + " " + _frames[1];
        const TCliResult xtra = runMarkeye("xtra" + i_options + frames);
        ASSERT_EQ(xtra.status, 0) << xtra.err;
        const TCliResult track = runMarkeye("track --compat" + i_options + frames);
        ASSERT_EQ(track.status, 0) << track.err;
        const std::vector<std::string> xtra_lines = linesOf(xtra.out);
        const std::vector<TJson> track_lines = parseJsonLines(track.out);
        ASSERT_EQ(xtra_lines.size(), 2u);
        ASSERT_EQ(track_lines.size(), 2u);
        size_t found = 0;
        for (size_t f = 0; f < 2; f++) {
            const std::vector<TListElement> list = parseResultLine(xtra_lines[f], _frames[f]);
            ASSERT_EQ(list.size(), i_patterns);
            for (size_t i = 0; i < i_patterns; i++) {
                SCOPED_TRACE(::testing::Message() << _frames[f] << ", pattern " << i);
                const TJson& marker = track_lines[f]["markers"][i];
                ASSERT_EQ(list[i].is_matrix, marker["found"].boolean);
                if (list[i].is_matrix) {
                    expectHostLayoutOf(list[i], marker);
                    found++;
                }
            }
        }
        EXPECT_EQ(found, i_expected_found);
    }

    std::string _folder;
    std::vector<std::string> _frames;
};

}  // namespace

TEST_F(XtraCommandTest, BuiltinCameraAndPatternsAgreeWithTrack)
{
    expectAgreement("", 8, 3);
}

// At least confidence 0 every pattern's best square is reported, oriented or
// not.
TEST_F(XtraCommandTest, EverySelectedSquareAgreesWithTrackAtConfidenceZero)
{
    expectAgreement(" --min-confidence 0", 8, 16);
}

TEST_F(XtraCommandTest, CameraAndPatternFilesAgreeWithTrack)
{
    const std::string data = MARKEYE_DATA_DIR;
    expectAgreement(" --camera " + data + "/camera_640x480.dat --pattern " + data + "/patterns/tee.patt --pattern " +
                        data + "/patterns/arrow.patt --min-confidence 0.7",
                    2, 2);
}

TEST_F(XtraCommandTest, MissingModuleIsOneLine)
{
    const TCliResult result = runMarkeye("xtra --module /nonexistent/module.so " + _frames[0]);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("markeye: cannot load the plug-in module /nonexistent/module.so: ", 0), 0u)
        << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
}
