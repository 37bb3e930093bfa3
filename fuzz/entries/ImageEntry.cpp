// Fuzz entry: the picture decoders, from memory.
//
// Input: a byte choosing the decoder, then the file's bytes. For PNG and
// JPEG the signature is put before the bytes (so the fuzzer need not find
// it); Netpbm and the last choice take the bytes as they are, the last one
// through the test of the first bytes alone.

#include <optional>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "FuzzScene.h"
#include "markeye/Error.h"
#include "markeye/ImageFile.h"

namespace MarkeyeFuzz {

namespace {

enum Decoder : uint8_t {
    DECODER_PNG = 0,
    DECODER_JPEG = 1,
    DECODER_NETPBM = 2,
    DECODER_ANY = 3,
    DECODER_COUNT = 4,
};

const std::vector<uint8_t> PNG_SIGNATURE = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const std::vector<uint8_t> JPEG_SIGNATURE = {0xFF, 0xD8, 0xFF};

void require(bool i_kept, const char* i_promise)
{
    MarkeyeFuzz::require(i_kept, "image", i_promise);
}

}  // namespace

// A picture a decoder takes is BGRX of a size within the readers' limits,
// the fourth byte of every pixel 255.
void fuzzImage(const uint8_t* i_data, size_t i_size)
{
    FuzzInput in(i_data, i_size);
    const Decoder decoder = static_cast<Decoder>(in.choose(DECODER_COUNT));
    std::vector<uint8_t> bytes;
    if (decoder == DECODER_PNG) {
        bytes = PNG_SIGNATURE;
    } else if (decoder == DECODER_JPEG) {
        bytes = JPEG_SIGNATURE;
    }
    const std::vector<uint8_t> rest = in.rest();
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    std::optional<markeye::Image> image;
    try {
        image = markeye::decodeImage(bytes.data(), bytes.size(), "fuzz image");
    } catch (const markeye::Error&) {
        return;
    }
    require(image->format() == markeye::PixelFormat::BGRX, "a picture is BGRX");
    require(image->width() >= 1 && image->height() >= 1 && image->width() <= markeye::MAX_IMAGE_SIDE &&
                image->height() <= markeye::MAX_IMAGE_SIDE &&
                int64_t{image->width()} * image->height() <= markeye::MAX_IMAGE_PIXELS,
            "a picture's size is within the limits");
    const uint8_t* pixel = image->data();
    const uint8_t* end = pixel + image->stride() * image->height();
    for (; pixel < end; pixel += 4) {
        require(pixel[3] == 255, "a picture's fourth bytes are 255");
    }
}

}  // namespace MarkeyeFuzz
