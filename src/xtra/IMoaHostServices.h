#pragma once

// The host's services as the plug-in uses them. Values passed out belong to
// the caller; a failing operation returns a non-zero status and leaves its
// outputs unchanged. No operation throws.

#include "IMoaUnknown.h"
#include "MoaTypes.h"

namespace Moa {

// Hands out the host's other services by interface identifier. Reached
// through the instance header; borrowed, not counted.
class IMoaHostCallback
{
public:
    // On success *o_service holds one counted reference to the service,
    // which the caller releases when it no longer holds it.
    virtual TMoaStatus queryService(const TMoaId* i_id, IMoaUnknown** o_service) = 0;

protected:
    ~IMoaHostCallback() = default;
};

// The host's memory. Reached through the instance header, or handed to
// the class-information entry point; borrowed, not counted.
class IMoaHostAllocator
{
public:
    // Aligned for any object; null when out of memory.
    virtual void* allocate(uint32_t i_size) = 0;
    virtual void free(void* i_block) = 0;

protected:
    ~IMoaHostAllocator() = default;
};

// Converts host values to and from integers, floats and strings.
class IMoaValueService : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0x80, 0x57, 0x1A, 0x15, 0xBD, 0x32, 0xD0, 0x11, 0x81, 0x51, 0x00, 0xAA, 0x00, 0x5F, 0x3C, 0x08}};

    virtual TMoaStatus getType(const TMoaValue* i_value, int32_t* o_type) = 0;
    virtual TMoaStatus toInteger(const TMoaValue* i_value, int32_t* o_integer) = 0;
    virtual TMoaStatus toFloat(const TMoaValue* i_value, double* o_float) = 0;
    // *o_chars stays valid, NUL-terminated, until giveBackString.
    virtual TMoaStatus borrowString(const TMoaValue* i_value, const char** o_chars) = 0;
    virtual TMoaStatus giveBackString(const TMoaValue* i_value) = 0;
    virtual TMoaStatus fromInteger(int32_t i_integer, TMoaValue* o_value) = 0;

protected:
    ~IMoaValueService() = default;
};

// Script lists of values; element indices start at 1.
class IMoaListService : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0x98, 0xCF, 0x96, 0xAC, 0x45, 0x00, 0x0B, 0x5C, 0x00, 0x00, 0x00, 0x40, 0x10, 0x50, 0x23, 0xFB}};

    virtual TMoaStatus newList(TMoaValue* o_list) = 0;
    virtual TMoaStatus append(const TMoaValue* i_list, const TMoaValue* i_value) = 0;
    // Number of elements; 0 for a value that is not a list.
    virtual int32_t count(const TMoaValue* i_list) = 0;
    virtual TMoaStatus getElement(const TMoaValue* i_list, int32_t i_index, TMoaValue* o_value) = 0;

protected:
    ~IMoaListService() = default;
};

// Image values: their description and access to their pixel memory.
class IMoaImageService : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0xFF, 0xFF, 0x67, 0xF3, 0xE7, 0x11, 0xD2, 0x11, 0x9D, 0x18, 0x00, 0x10, 0x4B, 0x27, 0x97, 0xF3}};

    virtual TMoaStatus getInfo(const TMoaValue* i_image, TMoaImageInfo* o_info) = 0;
    // On success the pixels stay in place until unlockPixels; *o_pixels may
    // be null when the image has no pixel memory, and the lock is held
    // all the same.
    virtual TMoaStatus lockPixels(const TMoaValue* i_image, void** o_pixels) = 0;
    virtual TMoaStatus unlockPixels(const TMoaValue* i_image) = 0;

protected:
    ~IMoaImageService() = default;
};

// Makes 4 x 4 matrix values.
class IMoaMatrixService : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0x78, 0x4A, 0x48, 0xD9, 0x55, 0xD8, 0xD3, 0x11, 0xA4, 0x9F, 0x00, 0x90, 0x27, 0x76, 0x5A, 0x07}};
    static constexpr int ELEMENT_COUNT = 16;

    virtual TMoaStatus makeMatrix(const float* i_elements, TMoaValue* o_matrix) = 0;

protected:
    ~IMoaMatrixService() = default;
};

// A registry dictionary. Borrowed from the host for the length of a
// registration; not counted.
class IMoaDictionary
{
public:
    // i_type MOA_DICT_TEXT with size 0 stores the NUL-terminated text at
    // i_data; MOA_DICT_FLAG with size 1 stores one byte.
    virtual TMoaStatus put(int32_t i_type, const void* i_data, int32_t i_size, const char* i_key) = 0;

protected:
    ~IMoaDictionary() = default;
};

// The host's registry of classes and their interfaces. Borrowed for the
// length of a registration; not counted.
class IMoaRegistrationCache
{
public:
    // *o_entry is the new entry's dictionary, valid while the cache lives.
    virtual TMoaStatus addEntry(IMoaDictionary* i_xtra_dictionary, const TMoaId* i_class_id,
                                const TMoaId* i_interface_id, IMoaDictionary** o_entry) = 0;

protected:
    ~IMoaRegistrationCache() = default;
};

}  // namespace Moa
