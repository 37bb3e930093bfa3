#pragma once

#include <string>
#include <vector>

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

}  // namespace Markeye
