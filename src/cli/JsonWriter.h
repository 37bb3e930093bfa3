#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Markeye {

// Writes one JSON text into a string, placing the commas itself. Keys and
// values are separated by ": " and elements by ", ", as in
// {"frame": "a.png", "width": 640}. Numbers are written with the fewest
// digits that read back as the same double; NaN and infinities, which JSON
// cannot hold, as null.
class JsonWriter
{
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The key of the next member of the current object.
    void key(const char* i_name);

    void string(const std::string& i_text);
    void number(double i_value);
    void integer(int64_t i_value);
    void boolean(bool i_value);
    // An array of numbers.
    void numbers(const double* i_values, size_t i_count);

    const std::string& text() const { return _text; }

    // i_text as a JSON string literal: quotes, backslashes and control
    // characters escaped; bytes that are not UTF-8 become U+FFFD, so that
    // any file name gives valid output.
    static std::string quote(const std::string& i_text);
    // A finite number as number() writes it, with the fewest digits that
    // read back as the same double.
    static std::string numberText(double i_value);

private:
    void open(char i_bracket);
    void close(char i_bracket);
    // Writes the separator a new value needs.
    void separate();

    std::string _text;
    // Per open container: whether it holds a value yet.
    std::vector<bool> _has_value;
    bool _after_key = false;
};

}  // namespace Markeye
