#include "HostValueStore.h"

#include <algorithm>
#include <stdexcept>

using Moa::TMoaValue;

namespace MarkeyeHost {

TMoaValue HostValueStore::value(int32_t i_type, size_t i_index)
{
    return TMoaValue{{static_cast<uint32_t>(i_type), static_cast<uint32_t>(i_index)}};
}

TMoaValue HostValueStore::makeInteger(int32_t i_value)
{
    return TMoaValue{{static_cast<uint32_t>(TYPE_INTEGER), static_cast<uint32_t>(i_value)}};
}

TMoaValue HostValueStore::makeFloat(double i_value)
{
    _floats.push_back(i_value);
    return value(TYPE_FLOAT, _floats.size() - 1);
}

TMoaValue HostValueStore::makeString(const std::string& i_text)
{
    _strings.push_back(i_text);
    _string_borrows.push_back(0);
    return value(TYPE_STRING, _strings.size() - 1);
}

TMoaValue HostValueStore::makeList(const std::vector<TMoaValue>& i_elements)
{
    _lists.push_back(i_elements);
    return value(TYPE_LIST, _lists.size() - 1);
}

TMoaValue HostValueStore::makeIntegerList(const std::vector<int32_t>& i_elements)
{
    std::vector<TMoaValue> elements(i_elements.size());
    std::transform(i_elements.begin(), i_elements.end(), elements.begin(),
                   [this](int32_t i_element) { return makeInteger(i_element); });
    return makeList(elements);
}

TMoaValue HostValueStore::makeImage(const THostImage& i_image)
{
    _images.push_back(i_image);
    return value(TYPE_IMAGE, _images.size() - 1);
}

TMoaValue HostValueStore::makeMatrix(const float* i_elements)
{
    TMatrix matrix;
    std::copy(i_elements, i_elements + matrix.size(), matrix.begin());
    _matrices.push_back(matrix);
    return value(TYPE_MATRIX, _matrices.size() - 1);
}

TMoaValue HostValueStore::makeObject()
{
    return value(TYPE_OBJECT, _objects++);
}

bool HostValueStore::isStored(int32_t i_type, size_t i_index) const
{
    switch (i_type) {
    case TYPE_VOID:
        return i_index == 0;
    case TYPE_INTEGER:
        return true;
    case TYPE_FLOAT:
        return i_index < _floats.size();
    case TYPE_STRING:
        return i_index < _strings.size();
    case TYPE_OBJECT:
        return i_index < _objects;
    case TYPE_IMAGE:
        return i_index < _images.size();
    case TYPE_MATRIX:
        return i_index < _matrices.size();
    case TYPE_LIST:
        return i_index < _lists.size();
    default:
        return false;
    }
}

int32_t HostValueStore::typeOf(const TMoaValue& i_value) const
{
    const int32_t type = static_cast<int32_t>(i_value.words[0]);
    return isStored(type, indexOf(i_value)) ? type : TYPE_INVALID;
}

int32_t HostValueStore::integerOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_INTEGER)) {
        throw std::logic_error("not an integer value");
    }
    return static_cast<int32_t>(i_value.words[1]);
}

double HostValueStore::floatOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_FLOAT)) {
        throw std::logic_error("not a float value");
    }
    return _floats[indexOf(i_value)];
}

const std::string& HostValueStore::stringOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_STRING)) {
        throw std::logic_error("not a string value");
    }
    return _strings[indexOf(i_value)];
}

const std::vector<TMoaValue>& HostValueStore::listOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_LIST)) {
        throw std::logic_error("not a list value");
    }
    return _lists[indexOf(i_value)];
}

std::vector<TMoaValue>& HostValueStore::listOf(const TMoaValue& i_value)
{
    return const_cast<std::vector<TMoaValue>&>(static_cast<const HostValueStore*>(this)->listOf(i_value));
}

const THostImage& HostValueStore::imageOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_IMAGE)) {
        throw std::logic_error("not an image value");
    }
    return _images[indexOf(i_value)];
}

THostImage& HostValueStore::imageOf(const TMoaValue& i_value)
{
    return const_cast<THostImage&>(static_cast<const HostValueStore*>(this)->imageOf(i_value));
}

const HostValueStore::TMatrix& HostValueStore::matrixOf(const TMoaValue& i_value) const
{
    if (!isType(i_value, TYPE_MATRIX)) {
        throw std::logic_error("not a matrix value");
    }
    return _matrices[indexOf(i_value)];
}

bool HostValueStore::borrowString(const TMoaValue& i_value, const char** o_chars)
{
    if (!isType(i_value, TYPE_STRING)) {
        return false;
    }
    _string_borrows[indexOf(i_value)]++;
    _borrowed_strings++;
    *o_chars = _strings[indexOf(i_value)].c_str();
    return true;
}

bool HostValueStore::giveBackString(const TMoaValue& i_value)
{
    if (!isType(i_value, TYPE_STRING) || _string_borrows[indexOf(i_value)] == 0) {
        return false;
    }
    _string_borrows[indexOf(i_value)]--;
    _borrowed_strings--;
    return true;
}

}  // namespace MarkeyeHost
