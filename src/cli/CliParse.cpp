#include "CliParse.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
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

// "WxH", or "N" for N x N when i_square_allowed.
bool toSize(const std::string& i_text, bool i_square_allowed, TFrameSize* o_size)
{
    const std::string::size_type x = i_text.find('x');
    if (x == std::string::npos) {
        return i_square_allowed && toDimension(i_text, &o_size->width) && toDimension(i_text, &o_size->height);
    }
    return toDimension(i_text.substr(0, x), &o_size->width) && toDimension(i_text.substr(x + 1), &o_size->height);
}

[[noreturn]] void refuse(const std::string& i_option, const std::string& i_expected, const std::string& i_text)
{
    throw UsageError(i_option + ": expected " + i_expected + ", got \"" + i_text + "\"");
}

std::string number(double i_value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", i_value);
    return text;
}

}  // namespace

TFrameSize parseSize(const std::string& i_option, const std::string& i_text)
{
    TFrameSize size{0, 0};
    if (!toSize(i_text, false, &size)) {
        refuse(i_option, "WIDTHxHEIGHT with sizes from 1 to 16384", i_text);
    }
    return size;
}

double parseDouble(const std::string& i_option, const std::string& i_text)
{
    double value = 0.0;
    if (!toDouble(i_text, &value)) {
        refuse(i_option, "a number", i_text);
    }
    return value;
}

double parseDoubleIn(const std::string& i_option, const std::string& i_text, double i_min, double i_max)
{
    double value = 0.0;
    if (!toDouble(i_text, &value) || value < i_min || value > i_max) {
        refuse(i_option, "a number from " + number(i_min) + " to " + number(i_max), i_text);
    }
    return value;
}

double parsePositive(const std::string& i_option, const std::string& i_text)
{
    double value = 0.0;
    if (!toDouble(i_text, &value) || !(value > 0.0)) {
        refuse(i_option, "a number above 0", i_text);
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
    refuse(i_option, std::to_string(i_count) + " comma-separated numbers", i_text);
}

int parseInt(const std::string& i_option, const std::string& i_text, int i_min, int i_max)
{
    int value = 0;
    if (!toWhole(i_text, i_min, i_max, &value)) {
        refuse(i_option, "a whole number from " + std::to_string(i_min) + " to " + std::to_string(i_max), i_text);
    }
    return value;
}

std::string parseChoice(const std::string& i_option, const std::string& i_text,
                        const std::vector<std::string>& i_choices)
{
    std::string list;
    for (const std::string& choice : i_choices) {
        if (choice == i_text) {
            return i_text;
        }
        list += (list.empty() ? "" : ", ") + choice;
    }
    refuse(i_option, "one of " + list, i_text);
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
    TFrameSize grid{0, 0};
    if (!toSize(i_text, true, &grid) || !isValidGrid(grid)) {
        refuse(i_option, "N or WxH with each side 1, 2, 4, 8, 16, 32 or 64", i_text);
    }
    return grid;
}

}  // namespace Markeye
