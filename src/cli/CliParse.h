#pragma once

#include <string>
#include <vector>

#include "CliError.h"

namespace Markeye {

struct TFrameSize
{
    int width;
    int height;
};

// Parsers for option values; each throws CliError naming the option.
TFrameSize parseSize(const std::string& i_option, const std::string& i_text);
double parseDouble(const std::string& i_option, const std::string& i_text);
// Exactly i_count comma-separated numbers.
std::vector<double> parseDoubleList(const std::string& i_option, const std::string& i_text, size_t i_count);
// A whole number from i_min to i_max.
int parseInt(const std::string& i_option, const std::string& i_text, int i_min, int i_max);
// A pattern grid: "N" for N x N or "WxH"; each side must divide 64, as the
// tracker's sampler requires.
TFrameSize parseGrid(const std::string& i_option, const std::string& i_text);
// Whether each side of a grid divides 64.
bool isValidGrid(const TFrameSize& i_grid);

// i_parse's value; a CliError from it (a value that does not parse) becomes
// a UsageError, for commands that take such a value as a command line they
// do not understand.
template <class TParse>
auto parsedOrUsage(TParse&& i_parse)
{
    try {
        return i_parse();
    } catch (const UsageError&) {
        throw;
    } catch (const CliError& e) {
        throw UsageError(e.what());
    }
}

}  // namespace Markeye
