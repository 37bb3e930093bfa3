#include "CliParse.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "CliError.h"

namespace Markeye {

namespace {

// Parses the whole of i_text as one finite number.
bool toDouble(const std::string& i_text, double* o_value)
{
    if (i_text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(i_text.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(value)) {
        return false;
    }
    *o_value = value;
    return true;
}

bool toWhole(const std::string& i_text, int i_min, int i_max, int* o_value)
{
    double value = 0.0;
    if (!toDouble(i_text, &value) || value != std::floor(value) || value < i_min || value > i_max) {
        return false;
    }
    *o_value = static_cast<int>(value);
    return true;
}

bool toDimension(const std::string& i_text, int* o_value)
{
    // Sizes beyond 16384 pixels are far outside any camera this tool serves.
    return toWhole(i_text, 1, 16384, o_value);
}

}  // namespace

TFrameSize parseSize(const std::string& i_option, const std::string& i_text)
{
    const std::string::size_type x = i_text.find('x');
    TFrameSize size{0, 0};
    if (x == std::string::npos || !toDimension(i_text.substr(0, x), &size.width) ||
        !toDimension(i_text.substr(x + 1), &size.height)) {
        throw CliError(i_option + ": expected WIDTHxHEIGHT with sizes from 1 to 16384, got \"" + i_text + "\"");
    }
    return size;
}

double parseDouble(const std::string& i_option, const std::string& i_text)
{
    double value = 0.0;
    if (!toDouble(i_text, &value)) {
        throw CliError(i_option + ": expected a number, got \"" + i_text + "\"");
    }
    return value;
}

std::vector<double> parseDoubleList(const std::string& i_option, const std::string& i_text, size_t i_count)
{
    std::vector<double> values;
    std::string::size_type start = 0;
    while (true) {
        const std::string::size_type comma = i_text.find(',', start);
        double value = 0.0;
        if (!toDouble(i_text.substr(start, comma - start), &value)) {
            break;
        }
        values.push_back(value);
        if (comma == std::string::npos) {
            if (values.size() == i_count) {
                return values;
            }
            break;
        }
        start = comma + 1;
    }
    throw CliError(i_option + ": expected " + std::to_string(i_count) + " comma-separated numbers, got \"" + i_text +
                   "\"");
}

int parseInt(const std::string& i_option, const std::string& i_text, int i_min, int i_max)
{
    int value = 0;
    if (!toWhole(i_text, i_min, i_max, &value)) {
        throw CliError(i_option + ": expected a whole number from " + std::to_string(i_min) + " to " +
                       std::to_string(i_max) + ", got \"" + i_text + "\"");
    }
    return value;
}

bool isValidGrid(const TFrameSize& i_grid)
{
    for (int side : {i_grid.width, i_grid.height}) {
        if (side < 1 || side > 64 || 64 % side != 0) {
            return false;
        }
    }
    return true;
}

TFrameSize parseGrid(const std::string& i_option, const std::string& i_text)
{
    const bool square = i_text.find('x') == std::string::npos;
    const TFrameSize grid = parseSize(i_option, square ? i_text + "x" + i_text : i_text);
    if (!isValidGrid(grid)) {
        throw CliError(i_option + ": each side must be 1, 2, 4, 8, 16, 32 or 64, got \"" + i_text + "\"");
    }
    return grid;
}

}  // namespace Markeye
