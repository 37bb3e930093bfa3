#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace markeye {

// One value of a JSON text read by the library (board files), with the line
// it starts on for messages. Objects keep their members in file order.
struct JsonValue
{
    enum class Type
    {
        NUL,
        BOOLEAN,
        NUMBER,
        STRING,
        ARRAY,
        OBJECT,
    };

    Type type = Type::NUL;
    int32_t line = 1;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> elements;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member of that key, or null when there is none.
    const JsonValue* find(const std::string& i_key) const;
};

// "a number", "an object", ... for messages.
const char* typeName(JsonValue::Type i_type);

// Texts longer than this are refused unread: board files are a few
// kilobytes, and a hostile file must not make the reader allocate without end.
constexpr std::size_t MAX_JSON_BYTES = std::size_t{1} << 22;
// Arrays and objects nested deeper than this are refused: the reader
// recurses, and board files nest three levels.
constexpr int32_t MAX_JSON_DEPTH = 32;

// The whole of i_text as one JSON value (RFC 8259; whitespace around it,
// and a UTF-8 byte order mark before it, are allowed). Throws Error
// "<i_name>, line L, column C: <fault>" for text that is not JSON, a key
// given twice in one object, a number out of range, or the limits above.
JsonValue parseJson(const std::string& i_text, const std::string& i_name);

}  // namespace markeye
