#include "JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace Markeye {

namespace {

// Length of the valid UTF-8 sequence starting at i_text[i_at], or 0.
size_t utf8Length(const std::string& i_text, size_t i_at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(i_text[i]); };
    const unsigned char lead = byte(i_at);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (i_at + length > i_text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; i++) {
        if ((byte(i_at + i) & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (byte(i_at + i) & 0x3Fu);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

}  // namespace

void JsonWriter::key(const char* i_name)
{
    separate();
    _text += quote(i_name);
    _text += ": ";
    _after_key = true;
}

void JsonWriter::string(const std::string& i_text)
{
    separate();
    _text += quote(i_text);
}

void JsonWriter::number(double i_value)
{
    separate();
    _text += std::isfinite(i_value) ? numberText(i_value) : "null";
}

std::string JsonWriter::numberText(double i_value)
{
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, i_value);
    return std::string(buffer, result.ptr);
}

void JsonWriter::integer(int64_t i_value)
{
    separate();
    _text += std::to_string(i_value);
}

void JsonWriter::boolean(bool i_value)
{
    separate();
    _text += i_value ? "true" : "false";
}

void JsonWriter::numbers(const double* i_values, size_t i_count)
{
    beginArray();
    for (size_t i = 0; i < i_count; i++) {
        number(i_values[i]);
    }
    endArray();
}

void JsonWriter::open(char i_bracket)
{
    separate();
    _text += i_bracket;
    _has_value.push_back(false);
}

void JsonWriter::close(char i_bracket)
{
    _text += i_bracket;
    _has_value.pop_back();
}

void JsonWriter::separate()
{
    if (_after_key) {
        _after_key = false;
        return;
    }
    if (!_has_value.empty()) {
        if (_has_value.back()) {
            _text += ", ";
        }
        _has_value.back() = true;
    }
}

std::string JsonWriter::quote(const std::string& i_text)
{
    std::string quoted = "\"";
    for (size_t i = 0; i < i_text.size();) {
        const unsigned char c = static_cast<unsigned char>(i_text[i]);
        const size_t length = utf8Length(i_text, i);
        if (length == 0) {
            quoted += "\xEF\xBF\xBD";
            i++;
            continue;
        }
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted.append(i_text, i, length);
        }
        i += length;
    }
    quoted += '"';
    return quoted;
}

}  // namespace Markeye
