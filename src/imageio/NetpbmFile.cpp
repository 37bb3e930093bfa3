#include "NetpbmFile.h"

#include <algorithm>
#include <cctype>

#include "markeye/ImageFile.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

// Walks the header and the plain-text samples: numbers separated by
// whitespace, '#' starting a comment to the end of the line.
class NetpbmScanner
{
public:
    NetpbmScanner(const TBytes& i_bytes, const std::string& i_name) : _bytes(i_bytes), _name(i_name) {}

    // The next number, which must lie in 0 .. i_max; i_what names it in messages.
    uint32_t number(const char* i_what, uint32_t i_max)
    {
        skipSpace();
        if (_position >= _bytes.size) {
            throw Error(_name + ": PPM/PGM file ends before its " + i_what);
        }
        uint64_t value = 0;
        const size_t start = _position;
        while (_position < _bytes.size && std::isdigit(_bytes.data[_position]) && value <= i_max) {
            value = value * 10 + (_bytes.data[_position++] - '0');
        }
        if (_position == start || value > i_max ||
            (_position < _bytes.size && !std::isspace(_bytes.data[_position]) && _bytes.data[_position] != '#')) {
            throw Error(_name + ": bad PPM/PGM " + i_what + " (not a whole number of at most " +
                           std::to_string(i_max) + ")");
        }
        return static_cast<uint32_t>(value);
    }

    // After the maximum value of a binary file: exactly one whitespace byte.
    void endHeader()
    {
        if (_position >= _bytes.size || !std::isspace(_bytes.data[_position])) {
            throw Error(_name + ": bad PPM/PGM header (no whitespace after the maximum value)");
        }
        _position++;
    }

    size_t position() const { return _position; }

private:
    void skipSpace()
    {
        while (_position < _bytes.size) {
            if (_bytes.data[_position] == '#') {
                while (_position < _bytes.size && _bytes.data[_position] != '\n') {
                    _position++;
                }
            } else if (std::isspace(_bytes.data[_position])) {
                _position++;
            } else {
                return;
            }
        }
    }

    const TBytes& _bytes;
    const std::string& _name;
    size_t _position = 2;
};

}  // namespace

bool NetpbmFile::isNetpbm(const TBytes& i_bytes)
{
    if (i_bytes.size < 2 || i_bytes.data[0] != 'P') {
        return false;
    }
    const uint8_t kind = i_bytes.data[1];
    return kind == '2' || kind == '3' || kind == '5' || kind == '6';
}

Image NetpbmFile::decode(const TBytes& i_bytes, const std::string& i_name)
{
    const char kind = static_cast<char>(i_bytes.data[1]);
    const bool colour = kind == '3' || kind == '6';
    const bool binary = kind == '5' || kind == '6';
    NetpbmScanner scanner(i_bytes, i_name);
    const uint32_t width = scanner.number("width", MAX_IMAGE_SIDE);
    const uint32_t height = scanner.number("height", MAX_IMAGE_SIDE);
    checkImageSize(width, height, i_name);
    const uint32_t max_value = scanner.number("maximum value", 65535);
    if (max_value == 0) {
        throw Error(i_name + ": bad PPM/PGM maximum value 0");
    }
    const size_t channels = colour ? 3 : 1;
    const size_t samples = channels * width * height;
    const size_t sample_bytes = max_value > 255 ? 2 : 1;
    if (binary) {
        scanner.endHeader();
    }
    // Checked before the frame is made: a plain sample takes a digit and a
    // separator (the last one no separator).
    const size_t available = i_bytes.size - std::min(scanner.position(), i_bytes.size);
    const size_t needed = binary ? samples * sample_bytes : 2 * samples - 1;
    if (available < needed) {
        throw Error(i_name + ": truncated PPM/PGM data: " + std::to_string(available) + " bytes, where " +
                    std::to_string(width) + " x " + std::to_string(height) + " pixels take " +
                    (binary ? "" : "at least ") + std::to_string(needed));
    }
    Image image(static_cast<int32_t>(width), static_cast<int32_t>(height), PixelFormat::BGRX, 255);
    const uint8_t* data = i_bytes.data + scanner.position();
    for (size_t i = 0; i < samples; i++) {
        uint32_t value = 0;
        if (!binary) {
            value = scanner.number("sample", max_value);
        } else if (sample_bytes == 2) {
            value = (uint32_t(data[2 * i]) << 8) | data[2 * i + 1];
        } else {
            value = data[i];
        }
        if (value > max_value) {
            throw Error(i_name + ": PPM/PGM sample " + std::to_string(value) + " above the maximum value " +
                           std::to_string(max_value));
        }
        const uint8_t level = static_cast<uint8_t>((value * 255 + max_value / 2) / max_value);
        const size_t pixel = i / channels;
        uint8_t* target = image.data() + 4 * pixel;
        if (colour) {
            // Samples come red, green, blue; the frame holds blue, green, red.
            target[2 - i % 3] = level;
        } else {
            target[0] = target[1] = target[2] = level;
        }
    }
    return image;
}

}  // namespace markeye
