#pragma once

#include <cstdint>
#include <memory>

namespace VoTrack {

// Owning array of fixed length; renew replaces it by a fresh array of another
// length without copying. Class elements are default-constructed.
template <class T>
class VoArray
{
public:
    int32_t length;
    std::unique_ptr<T[]> items;

    explicit VoArray(int32_t i_length) : length(i_length), items(new T[i_length]) {}
    virtual ~VoArray() = default;

    VoArray(const VoArray&) = delete;
    VoArray& operator=(const VoArray&) = delete;

    // The old contents are dropped, not copied.
    virtual void renew(int32_t i_length)
    {
        items.reset(new T[i_length]);
        length = i_length;
    }
};

}  // namespace VoTrack
