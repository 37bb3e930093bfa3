#include "JsonReader.h"

#include <locale>
#include <sstream>
#include <cmath>
#include <cstring>
#include <set>

#include "markeye/Error.h"

namespace markeye {

namespace {

const char UTF8_BOM[] = "\xEF\xBB\xBF";

bool isDigit(char i_c)
{
    return i_c >= '0' && i_c <= '9';
}

int32_t hexValue(char i_c)
{
    if (isDigit(i_c)) {
        return i_c - '0';
    }
    if (i_c >= 'a' && i_c <= 'f') {
        return i_c - 'a' + 10;
    }
    if (i_c >= 'A' && i_c <= 'F') {
        return i_c - 'A' + 10;
    }
    return -1;
}

void appendUtf8(uint32_t i_code, std::string* io_text)
{
    if (i_code < 0x80) {
        *io_text += static_cast<char>(i_code);
    } else if (i_code < 0x800) {
        *io_text += static_cast<char>(0xC0 | (i_code >> 6));
        *io_text += static_cast<char>(0x80 | (i_code & 0x3F));
    } else if (i_code < 0x10000) {
        *io_text += static_cast<char>(0xE0 | (i_code >> 12));
        *io_text += static_cast<char>(0x80 | ((i_code >> 6) & 0x3F));
        *io_text += static_cast<char>(0x80 | (i_code & 0x3F));
    } else {
        *io_text += static_cast<char>(0xF0 | (i_code >> 18));
        *io_text += static_cast<char>(0x80 | ((i_code >> 12) & 0x3F));
        *io_text += static_cast<char>(0x80 | ((i_code >> 6) & 0x3F));
        *io_text += static_cast<char>(0x80 | (i_code & 0x3F));
    }
}

// A recursive-descent reader over the whole text, tracking the line and
// column for messages.
class JsonParser
{
public:
    JsonParser(const std::string& i_text, const std::string& i_name) : _text(i_text), _name(i_name) {}

    JsonValue parseDocument()
    {
        if (_text.size() > MAX_JSON_BYTES) {
            throw Error(_name + ": larger than " + std::to_string(MAX_JSON_BYTES >> 20) + " MiB");
        }
        if (_text.compare(0, 3, UTF8_BOM) == 0) {
            _at = 3;
            _line_start = 3;
        }
        skipSpace();
        if (_at == _text.size()) {
            fail("empty: expected a JSON value");
        }
        JsonValue value = parseValue(0);
        skipSpace();
        if (_at != _text.size()) {
            fail("unexpected text after the JSON value");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& i_fault) const
    {
        throw Error(_name + ", line " + std::to_string(_line) + ", column " + std::to_string(_at - _line_start + 1) +
                    ": " + i_fault);
    }

    bool atEnd() const { return _at >= _text.size(); }
    char peek() const { return atEnd() ? '\0' : _text[_at]; }

    void skipSpace()
    {
        for (; !atEnd(); _at++) {
            const char c = _text[_at];
            if (c == '\n') {
                _line++;
                _line_start = _at + 1;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                return;
            }
        }
    }

    void expect(char i_c, const char* i_what)
    {
        skipSpace();
        if (peek() != i_c) {
            fail(std::string("expected ") + i_what);
        }
        _at++;
    }

    JsonValue parseValue(int32_t i_depth)
    {
        skipSpace();
        JsonValue value;
        value.line = _line;
        const char c = peek();
        if (c == '{' || c == '[') {
            if (i_depth >= MAX_JSON_DEPTH) {
                fail("nested deeper than " + std::to_string(MAX_JSON_DEPTH) + " levels");
            }
            if (c == '{') {
                parseObject(i_depth + 1, &value);
            } else {
                parseArray(i_depth + 1, &value);
            }
        } else if (c == '"') {
            value.type = JsonValue::Type::STRING;
            value.text = parseString();
        } else if (c == '-' || isDigit(c)) {
            value.type = JsonValue::Type::NUMBER;
            value.number = parseNumber();
        } else {
            parseLiteral(&value);
        }
        return value;
    }

    void parseLiteral(JsonValue* o_value)
    {
        static const struct
        {
            const char* word;
            JsonValue::Type type;
            bool boolean;
        } LITERALS[] = {{"true", JsonValue::Type::BOOLEAN, true},
                        {"false", JsonValue::Type::BOOLEAN, false},
                        {"null", JsonValue::Type::NUL, false}};
        for (const auto& literal : LITERALS) {
            const size_t length = std::strlen(literal.word);
            if (_text.compare(_at, length, literal.word) == 0) {
                _at += length;
                o_value->type = literal.type;
                o_value->boolean = literal.boolean;
                return;
            }
        }
        fail(atEnd() ? "the text ends where a value should be" : "expected a value (a string, number, object, "
                                                                  "array, true, false or null)");
    }

    void parseObject(int32_t i_depth, JsonValue* o_value)
    {
        o_value->type = JsonValue::Type::OBJECT;
        _at++;
        skipSpace();
        if (peek() == '}') {
            _at++;
            return;
        }
        // A set, not a search of the members: a hostile object may hold
        // many thousands.
        std::set<std::string> keys;
        while (true) {
            skipSpace();
            if (peek() != '"') {
                fail("expected a key in double quotes");
            }
            std::string key = parseString();
            if (!keys.insert(key).second) {
                fail("key \"" + key + "\" given twice");
            }
            expect(':', "':' after the key");
            JsonValue member = parseValue(i_depth);
            o_value->members.emplace_back(std::move(key), std::move(member));
            skipSpace();
            if (peek() == '}') {
                _at++;
                return;
            }
            expect(',', "',' or '}' after a member");
        }
    }

    void parseArray(int32_t i_depth, JsonValue* o_value)
    {
        o_value->type = JsonValue::Type::ARRAY;
        _at++;
        skipSpace();
        if (peek() == ']') {
            _at++;
            return;
        }
        while (true) {
            o_value->elements.push_back(parseValue(i_depth));
            skipSpace();
            if (peek() == ']') {
                _at++;
                return;
            }
            expect(',', "',' or ']' after an element");
        }
    }

    void skipDigits()
    {
        while (isDigit(peek())) {
            _at++;
        }
    }

    // The JSON grammar checked here; the conversion in the classic locale,
    // whatever the program's (std::from_chars would do it, but not every
    // standard library has it for doubles).
    double parseNumber()
    {
        const size_t start = _at;
        if (peek() == '-') {
            _at++;
        }
        if (peek() == '0') {
            _at++;
        } else if (isDigit(peek())) {
            skipDigits();
        } else {
            fail("expected a digit");
        }
        if (peek() == '.') {
            _at++;
            if (!isDigit(peek())) {
                fail("expected a digit after the decimal point");
            }
            skipDigits();
        }
        if (peek() == 'e' || peek() == 'E') {
            _at++;
            if (peek() == '+' || peek() == '-') {
                _at++;
            }
            if (!isDigit(peek())) {
                fail("expected a digit in the exponent");
            }
            skipDigits();
        }
        double value = 0.0;
        std::istringstream in(_text.substr(start, _at - start));
        in.imbue(std::locale::classic());
        if (!(in >> value) || !std::isfinite(value)) {
            const std::string number = _text.substr(start, _at - start);
            _at = start;
            fail("number " + number + " is out of range");
        }
        return value;
    }

    uint32_t parseHex4()
    {
        uint32_t code = 0;
        for (int32_t i = 0; i < 4; i++) {
            const int32_t digit = hexValue(peek());
            if (digit < 0) {
                fail("expected four hexadecimal digits after \\u");
            }
            code = code * 16 + static_cast<uint32_t>(digit);
            _at++;
        }
        return code;
    }

    // After "\u": one code point, from a surrogate pair when it takes two.
    uint32_t parseCodePoint()
    {
        const uint32_t code = parseHex4();
        if (code >= 0xDC00 && code <= 0xDFFF) {
            fail("a low surrogate \\u escape without a high one before it");
        }
        if (code < 0xD800 || code > 0xDBFF) {
            return code;
        }
        if (_text.compare(_at, 2, "\\u") != 0) {
            fail("a high surrogate \\u escape without a low one after it");
        }
        _at += 2;
        const uint32_t low = parseHex4();
        if (low < 0xDC00 || low > 0xDFFF) {
            fail("a high surrogate \\u escape without a low one after it");
        }
        return 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }

    void parseEscape(std::string* io_text)
    {
        static const char FROM[] = "\"\\/bfnrt";
        static const char TO[] = "\"\\/\b\f\n\r\t";
        const char c = peek();
        _at++;
        if (c == 'u') {
            appendUtf8(parseCodePoint(), io_text);
            return;
        }
        const char* found = c == '\0' ? nullptr : std::strchr(FROM, c);
        if (found == nullptr) {
            _at--;
            fail("unknown escape in a string");
        }
        *io_text += TO[found - FROM];
    }

    std::string parseString()
    {
        _at++;
        std::string text;
        while (true) {
            if (atEnd()) {
                fail("the text ends inside a string");
            }
            const char c = _text[_at];
            if (c == '"') {
                _at++;
                return text;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a control character (such as a line break) inside a string");
            }
            _at++;
            if (c == '\\') {
                parseEscape(&text);
            } else {
                text += c;
            }
        }
    }

    const std::string& _text;
    const std::string& _name;
    size_t _at = 0;
    int32_t _line = 1;
    size_t _line_start = 0;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& i_key) const
{
    for (const auto& member : members) {
        if (member.first == i_key) {
            return &member.second;
        }
    }
    return nullptr;
}

const char* typeName(JsonValue::Type i_type)
{
    switch (i_type) {
    case JsonValue::Type::NUL:
        return "null";
    case JsonValue::Type::BOOLEAN:
        return "true or false";
    case JsonValue::Type::NUMBER:
        return "a number";
    case JsonValue::Type::STRING:
        return "a string";
    case JsonValue::Type::ARRAY:
        return "an array";
    case JsonValue::Type::OBJECT:
        break;
    }
    return "an object";
}

JsonValue parseJson(const std::string& i_text, const std::string& i_name)
{
    return JsonParser(i_text, i_name).parseDocument();
}

}  // namespace markeye
