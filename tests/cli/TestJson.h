#pragma once

#include <string>
#include <utility>
#include <vector>

// A parsed JSON value, for checking the program's output: strict parsing
// (a fault throws std::runtime_error), members kept in their order.
struct TJson
{
    enum class TType
    {
        NUL,
        BOOLEAN,
        NUMBER,
        STRING,
        ARRAY,
        OBJECT
    };

    TType type = TType::NUL;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<TJson> elements;
    std::vector<std::pair<std::string, TJson>> members;

    // The whole of i_text must be one value (surrounding whitespace allowed).
    static TJson parse(const std::string& i_text);

    bool has(const std::string& i_key) const;
    // Throws std::out_of_range for a missing key or index.
    const TJson& operator[](const std::string& i_key) const;
    const TJson& operator[](size_t i_index) const;
    std::vector<std::string> keys() const;
};

// Each line of i_text parsed.
std::vector<TJson> parseJsonLines(const std::string& i_text);
