#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "MoaTypes.h"

namespace MarkeyeHost {

// An image value: its description and pixel memory, with a count of the
// locks held on its pixels so that a test can see each lock given back.
struct THostImage
{
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_bytes = 0;
    int32_t depth = 0;
    // row_bytes x height bytes; empty for an image without pixel memory.
    std::vector<uint8_t> pixels;
    // Locks held now, and locks taken in all.
    int32_t lock_count = 0;
    int32_t locks_taken = 0;
};

// Every value the emulated host has made. A value is two words: its type
// code, then the integer itself or the index of its data here. Values are
// immutable and live as long as the store (lists grow only by append), so a
// value may be copied and shared freely.
class HostValueStore
{
public:
    // The host's type codes; string and list are the ones the plug-in knows.
    static constexpr int32_t TYPE_VOID = 0;
    static constexpr int32_t TYPE_INTEGER = 1;
    static constexpr int32_t TYPE_FLOAT = 2;
    static constexpr int32_t TYPE_STRING = Moa::MOA_TYPE_STRING;
    static constexpr int32_t TYPE_OBJECT = 4;
    static constexpr int32_t TYPE_IMAGE = 5;
    static constexpr int32_t TYPE_MATRIX = 6;
    static constexpr int32_t TYPE_LIST = Moa::MOA_TYPE_LIST;
    // Returned for two words that name no value of this store.
    static constexpr int32_t TYPE_INVALID = -1;

    using TMatrix = std::array<float, 16>;

    Moa::TMoaValue makeInteger(int32_t i_value);
    Moa::TMoaValue makeFloat(double i_value);
    Moa::TMoaValue makeString(const std::string& i_text);
    Moa::TMoaValue makeList(const std::vector<Moa::TMoaValue>& i_elements = {});
    Moa::TMoaValue makeIntegerList(const std::vector<int32_t>& i_elements);
    Moa::TMoaValue makeImage(const THostImage& i_image);
    Moa::TMoaValue makeMatrix(const float* i_elements);
    // A script object (the tracker object a method is called on).
    Moa::TMoaValue makeObject();

    int32_t typeOf(const Moa::TMoaValue& i_value) const;
    bool isType(const Moa::TMoaValue& i_value, int32_t i_type) const { return typeOf(i_value) == i_type; }

    // Each requires a value of its type.
    int32_t integerOf(const Moa::TMoaValue& i_value) const;
    double floatOf(const Moa::TMoaValue& i_value) const;
    const std::string& stringOf(const Moa::TMoaValue& i_value) const;
    const std::vector<Moa::TMoaValue>& listOf(const Moa::TMoaValue& i_value) const;
    std::vector<Moa::TMoaValue>& listOf(const Moa::TMoaValue& i_value);
    const THostImage& imageOf(const Moa::TMoaValue& i_value) const;
    THostImage& imageOf(const Moa::TMoaValue& i_value);
    const TMatrix& matrixOf(const Moa::TMoaValue& i_value) const;

    // Strings borrowed and not yet given back, over all string values.
    int32_t borrowedStrings() const { return _borrowed_strings; }
    bool borrowString(const Moa::TMoaValue& i_value, const char** o_chars);
    bool giveBackString(const Moa::TMoaValue& i_value);

private:
    static Moa::TMoaValue value(int32_t i_type, size_t i_index);
    size_t indexOf(const Moa::TMoaValue& i_value) const { return i_value.words[1]; }
    bool isStored(int32_t i_type, size_t i_index) const;

    std::vector<double> _floats;
    std::deque<std::string> _strings;
    std::vector<int32_t> _string_borrows;
    std::deque<std::vector<Moa::TMoaValue>> _lists;
    std::deque<THostImage> _images;
    std::vector<TMatrix> _matrices;
    uint32_t _objects = 0;
    int32_t _borrowed_strings = 0;
};

}  // namespace MarkeyeHost
