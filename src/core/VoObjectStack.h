#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "VoARException.h"
#include "VoArray.h"

namespace VoTrack {

// Stack of element objects that are created on first use, in batches of up to
// BATCH_SIZE, and then reused: clear and pop only lower the length, and a
// later push hands out the same object with whatever content it had. Once a
// stack has held n elements it never allocates again for n or fewer.
template <class T>
class VoObjectStack
{
public:
    static constexpr int32_t BATCH_SIZE = 64;

    explicit VoObjectStack(int32_t i_capacity)
        : _items(std::make_unique<VoArray<T*>>(i_capacity)), _length(0), _allocated_size(0)
    {
    }

    ~VoObjectStack()
    {
        for (int32_t i = 0; i < _allocated_size; i++) {
            delete _items->items[i];
        }
    }

    VoObjectStack(const VoObjectStack&) = delete;
    VoObjectStack& operator=(const VoObjectStack&) = delete;

    // Puts the next element on the stack and returns it; throws when full.
    T* pushNew()
    {
        if (_length >= _allocated_size) {
            if (_length >= getCapacity()) {
                throw VoARException();
            }
            createElementsUpTo(std::min(_length + BATCH_SIZE, getCapacity()));
        }
        return _items->items[_length++];
    }

    // Sets the length to i_length, creating elements as needed. Lengths from
    // 0 to capacity - 1 are accepted; any other throws, changing nothing (a
    // negative length would make the next push hand out a slot before the
    // array).
    void reserve(int32_t i_length)
    {
        if (i_length < 0) {
            throw VoARException();
        }
        if (_allocated_size <= i_length) {
            if (i_length >= getCapacity()) {
                throw VoARException();
            }
            createElementsUpTo(std::min(i_length + BATCH_SIZE, getCapacity()));
        }
        _length = i_length;
    }

    // Takes the top element off the stack and returns it; throws when empty.
    T* pop()
    {
        if (_length <= 0) {
            throw VoARException();
        }
        return _items->items[--_length];
    }

    void clear() { _length = 0; }

    int32_t getLength() const { return _length; }
    int32_t getCapacity() const { return _items->length; }
    // Elements 0 to getLength() - 1 are on the stack.
    T* const* getArray() const { return _items->items.get(); }

private:
    // Creates the elements of slots _allocated_size up to i_end (exclusive).
    // Counting each one as it is made keeps every created object owned even
    // if a later allocation fails.
    void createElementsUpTo(int32_t i_end)
    {
        while (_allocated_size < i_end) {
            _items->items[_allocated_size] = new T();
            _allocated_size++;
        }
    }

    std::unique_ptr<VoArray<T*>> _items;
    int32_t _length;
    int32_t _allocated_size;
};

}  // namespace VoTrack
