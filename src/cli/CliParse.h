#pragma once

#include <string>
#include <vector>

namespace Markeye {

struct TFrameSize
{
    int width;
    int height;
};

// Parsers for option values. A value that does not parse is a command line
// the program does not accept: each throws UsageError naming the option and
// quoting the text as given.
TFrameSize parseSize(const std::string& i_option, const std::string& i_text);
double parseDouble(const std::string& i_option, const std::string& i_text);
// A number from i_min to i_max.
double parseDoubleIn(const std::string& i_option, const std::string& i_text, double i_min, double i_max);
// A number above 0.
double parsePositive(const std::string& i_option, const std::string& i_text);
// Exactly i_count comma-separated numbers.
std::vector<double> parseDoubleList(const std::string& i_option, const std::string& i_text, size_t i_count);
// A whole number from i_min to i_max.
int parseInt(const std::string& i_option, const std::string& i_text, int i_min, int i_max);
// One of i_choices, as given.
std::string parseChoice(const std::string& i_option, const std::string& i_text,
                        const std::vector<std::string>& i_choices);
// A pattern grid: "N" for N x N or "WxH"; each side must divide 64, as the
// tracker's sampler requires.
TFrameSize parseGrid(const std::string& i_option, const std::string& i_text);
// Whether each side of a grid divides 64.
bool isValidGrid(const TFrameSize& i_grid);

}  // namespace Markeye
