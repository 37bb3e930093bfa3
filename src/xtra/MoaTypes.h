#pragma once

// The plain records that pass between the host and the plug-in module: the
// one binary contract both sides are built against. Both sides are C++
// objects of one toolchain; the module exports C-linkage entry points only.

#include <cstdint>

namespace Moa {

class IMoaUnknown;
class IMoaHostCallback;
class IMoaHostAllocator;

// 16-byte interface or class identifier, given as stored (the first three
// fields little-endian).
struct TMoaId
{
    uint8_t bytes[16];

    friend constexpr bool operator==(const TMoaId& i_a, const TMoaId& i_b)
    {
        for (int i = 0; i < 16; i++) {
            if (i_a.bytes[i] != i_b.bytes[i]) {
                return false;
            }
        }
        return true;
    }
    friend constexpr bool operator!=(const TMoaId& i_a, const TMoaId& i_b) { return !(i_a == i_b); }
};

// 32-bit status; 0 is success, anything else a failure.
using TMoaStatus = int32_t;

constexpr TMoaStatus MOA_OK = 0;
constexpr TMoaStatus MOA_OUT_OF_MEMORY = static_cast<TMoaStatus>(0x80040002u);
constexpr TMoaStatus MOA_CANNOT_UNLOAD = static_cast<TMoaStatus>(0x80040003u);
constexpr TMoaStatus MOA_NO_SUCH_INTERFACE = static_cast<TMoaStatus>(0x80040004u);
constexpr TMoaStatus MOA_NO_SUCH_CLASS = static_cast<TMoaStatus>(0x80040005u);

// Opaque host value of two 32-bit words; only the host interprets it. The
// all-zero value is the void value (no value).
struct TMoaValue
{
    uint32_t words[2];
};
static_assert(sizeof(TMoaValue) == 8, "host values are 8 bytes");

constexpr TMoaValue MOA_VOID_VALUE = {{0, 0}};

// Value type codes the plug-in tests; the host gives every other kind a code
// of its own.
constexpr int32_t MOA_TYPE_STRING = 3;
constexpr int32_t MOA_TYPE_LIST = 7;

// Dictionary entry type codes: a NUL-terminated text (size 0) and a one-byte
// flag (size 1).
constexpr int32_t MOA_DICT_TEXT = 9;
constexpr int32_t MOA_DICT_FLAG = 6;

// What the host tells about an image. Only depth is required to be the
// fourth 32-bit field; the rest let the plug-in check the pixel memory's
// extent before reading it.
struct TMoaImageInfo
{
    int32_t width;
    int32_t height;
    // Bytes from the start of one row of pixels to the next.
    int32_t row_bytes;
    // Bits per pixel.
    int32_t depth;
};

// One script call handed to the call entry. arguments[0] is the object the
// method is called on; the method's own arguments follow in declared order.
struct TMoaCallInfo
{
    // 0-based position of the method among the registered method lines.
    int32_t method_index;
    // What the call returns; the host sets it (void) before the call.
    TMoaValue result;
    int32_t argument_count;
    // argument_count values, owned by the host.
    const TMoaValue* arguments;
};

// Beginning of every instance record. The host allocates the record with the
// size the module registers, fills this header, and only then calls the
// module's create function; the rest of the record is the module's.
struct TMoaInstanceHeader
{
    // The host's reference-counted object for this instance: QueryInterface
    // yields the module's interfaces, the last Release destroys the record.
    IMoaUnknown* instance;
    // Borrowed for the instance's lifetime; not counted.
    IMoaHostCallback* callback;
    IMoaHostAllocator* allocator;
};

// One 40-byte entry of the class-information table; an entry whose two
// identifiers are all zero ends the table.
struct TMoaClassInfoEntry
{
    TMoaId class_id;
    uint32_t class_version;
    TMoaId interface_id;
    uint32_t interface_version;
};
static_assert(sizeof(TMoaClassInfoEntry) == 40, "class-information entries are 40 bytes");

// Instance creation and destruction functions the module registers for its
// class. The record passed begins with a TMoaInstanceHeader.
using TMoaCreateFunction = TMoaStatus (*)(TMoaInstanceHeader* io_instance);
using TMoaDestroyFunction = void (*)(TMoaInstanceHeader* io_instance);

}  // namespace Moa
