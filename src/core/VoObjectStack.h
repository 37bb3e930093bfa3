#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VoARException.h"
#include "VoArray.h"

namespace VoTrack {

// Stack of element objects held in one block, with room for the capacity
// made at construction: the elements are created on first use and then
// reused, so clear and pop only lower the length, and a later push hands out
// the same object with whatever content it had. No call after the
// constructor allocates; memory for elements never used is never touched.
template <class T>
class VoObjectStack
{
public:
    explicit VoObjectStack(int32_t i_capacity) : _items(std::make_unique<VoArray<T*>>(i_capacity)), _length(0)
    {
        _elements.reserve(static_cast<std::size_t>(i_capacity));
    }

    VoObjectStack(const VoObjectStack&) = delete;
    VoObjectStack& operator=(const VoObjectStack&) = delete;

    // Puts the next element on the stack and returns it; throws when full.
    T* pushNew()
    {
        if (_length >= getCapacity()) {
            throw VoARException();
        }
        createElementsUpTo(_length + 1);
        return _items->items[_length++];
    }

    // Sets the length to i_length, creating elements as needed. Lengths from
    // 0 to capacity - 1 are accepted; any other throws, changing nothing (a
    // negative length would make the next push hand out a slot before the
    // array).
    void reserve(int32_t i_length)
    {
        if (i_length < 0 || i_length >= getCapacity()) {
            throw VoARException();
        }
        createElementsUpTo(i_length);
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
    // Number of elements created so far.
    int32_t getCreatedCount() const { return static_cast<int32_t>(_elements.size()); }
    // Elements 0 to getLength() - 1 are on the stack.
    T* const* getArray() const { return _items->items.get(); }

private:
    // Creates the elements of slots getCreatedCount() up to i_end
    // (exclusive), at most the capacity: the block was reserved for that
    // many, so the elements never move.
    void createElementsUpTo(int32_t i_end)
    {
        for (int32_t i = getCreatedCount(); i < i_end; i++) {
            _elements.emplace_back();
            _items->items[i] = &_elements.back();
        }
    }

    std::vector<T> _elements;
    // Slot i points at element i; kept so that users index the stack as an
    // array of records.
    std::unique_ptr<VoArray<T*>> _items;
    int32_t _length;
};

}  // namespace VoTrack
