#include "TestJson.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace {

class Parser
{
public:
    explicit Parser(const std::string& i_text) : _text(i_text) {}

    TJson document()
    {
        TJson value = parseValue();
        skipSpace();
        if (_at != _text.size()) {
            fail("text after the value");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& i_what) const
    {
        throw std::runtime_error("JSON: " + i_what + " at offset " + std::to_string(_at) + " in " + _text);
    }

    void skipSpace()
    {
        while (_at < _text.size() && std::isspace(static_cast<unsigned char>(_text[_at]))) {
            _at++;
        }
    }

    bool take(char i_c)
    {
        skipSpace();
        if (_at < _text.size() && _text[_at] == i_c) {
            _at++;
            return true;
        }
        return false;
    }

    void expect(char i_c)
    {
        if (!take(i_c)) {
            fail(std::string("expected '") + i_c + "'");
        }
    }

    bool word(const char* i_word)
    {
        const std::string w(i_word);
        if (_text.compare(_at, w.size(), w) == 0) {
            _at += w.size();
            return true;
        }
        return false;
    }

    TJson parseValue()
    {
        skipSpace();
        TJson value;
        if (_at == _text.size()) {
            fail("missing value");
        }
        const char c = _text[_at];
        if (c == '{') {
            parseObject(&value);
        } else if (c == '[') {
            parseArray(&value);
        } else if (c == '"') {
            value.type = TJson::TType::STRING;
            value.text = parseString();
        } else if (word("true") || word("false")) {
            value.type = TJson::TType::BOOLEAN;
            value.boolean = c == 't';
        } else if (word("null")) {
            value.type = TJson::TType::NUL;
        } else {
            value.type = TJson::TType::NUMBER;
            value.number = parseNumber();
        }
        return value;
    }

    void parseObject(TJson* o_value)
    {
        o_value->type = TJson::TType::OBJECT;
        expect('{');
        if (take('}')) {
            return;
        }
        do {
            skipSpace();
            const std::string key = parseString();
            expect(':');
            o_value->members.emplace_back(key, parseValue());
        } while (take(','));
        expect('}');
    }

    void parseArray(TJson* o_value)
    {
        o_value->type = TJson::TType::ARRAY;
        expect('[');
        if (take(']')) {
            return;
        }
        do {
            o_value->elements.push_back(parseValue());
        } while (take(','));
        expect(']');
    }

    std::string parseString()
    {
        if (_at >= _text.size() || _text[_at] != '"') {
            fail("expected a string");
        }
        _at++;
        std::string result;
        while (_at < _text.size() && _text[_at] != '"') {
            const unsigned char c = static_cast<unsigned char>(_text[_at++]);
            if (c < 0x20) {
                fail("control character in a string");
            }
            if (c != '\\') {
                result += static_cast<char>(c);
                continue;
            }
            if (_at >= _text.size()) {
                fail("unfinished escape");
            }
            const char escape = _text[_at++];
            const std::string simple = "\"\\/bfnrt";
            const std::string meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(escape) != std::string::npos) {
                result += meaning[simple.find(escape)];
            } else if (escape == 'u' && _at + 4 <= _text.size()) {
                // Only the escapes the program writes: control characters.
                const long code = std::strtol(_text.substr(_at, 4).c_str(), nullptr, 16);
                if (code >= 0x80) {
                    fail("unexpected \\u escape");
                }
                result += static_cast<char>(code);
                _at += 4;
            } else {
                fail("bad escape");
            }
        }
        if (_at >= _text.size()) {
            fail("unfinished string");
        }
        _at++;
        return result;
    }

    double parseNumber()
    {
        const size_t start = _at;
        if (_at < _text.size() && _text[_at] == '-') {
            _at++;
        }
        const size_t digits = _at;
        while (_at < _text.size() && std::isdigit(static_cast<unsigned char>(_text[_at]))) {
            _at++;
        }
        if (_at == digits || (_text[digits] == '0' && _at - digits > 1)) {
            fail("bad number");
        }
        if (_at < _text.size() && _text[_at] == '.') {
            const size_t fraction = ++_at;
            while (_at < _text.size() && std::isdigit(static_cast<unsigned char>(_text[_at]))) {
                _at++;
            }
            if (_at == fraction) {
                fail("bad fraction");
            }
        }
        if (_at < _text.size() && (_text[_at] == 'e' || _text[_at] == 'E')) {
            _at++;
            if (_at < _text.size() && (_text[_at] == '+' || _text[_at] == '-')) {
                _at++;
            }
            const size_t exponent = _at;
            while (_at < _text.size() && std::isdigit(static_cast<unsigned char>(_text[_at]))) {
                _at++;
            }
            if (_at == exponent) {
                fail("bad exponent");
            }
        }
        return std::strtod(_text.substr(start, _at - start).c_str(), nullptr);
    }

    const std::string& _text;
    size_t _at = 0;
};

}  // namespace

TJson TJson::parse(const std::string& i_text)
{
    return Parser(i_text).document();
}

bool TJson::has(const std::string& i_key) const
{
    for (const auto& member : members) {
        if (member.first == i_key) {
            return true;
        }
    }
    return false;
}

const TJson& TJson::operator[](const std::string& i_key) const
{
    for (const auto& member : members) {
        if (member.first == i_key) {
            return member.second;
        }
    }
    throw std::out_of_range("no member \"" + i_key + "\"");
}

const TJson& TJson::operator[](size_t i_index) const
{
    return elements.at(i_index);
}

std::vector<std::string> TJson::keys() const
{
    std::vector<std::string> names;
    for (const auto& member : members) {
        names.push_back(member.first);
    }
    return names;
}

std::vector<TJson> parseJsonLines(const std::string& i_text)
{
    std::vector<TJson> values;
    std::istringstream lines(i_text);
    std::string line;
    while (std::getline(lines, line)) {
        values.push_back(TJson::parse(line));
    }
    return values;
}
