#pragma once

// What a plug-in module offers the host: its two interfaces and the six
// C-linkage entry points the host finds with the dynamic loader.

#include "IMoaHostServices.h"
#include "IMoaUnknown.h"
#include "MoaTypes.h"

namespace Moa {

// Enters the module's script methods into the host's registry.
class IMoaRegister : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0x03, 0x78, 0x3E, 0xAC, 0x02, 0x00, 0xE5, 0x8F, 0x00, 0x00, 0x08, 0x00, 0x07, 0x16, 0x0D, 0xC3}};

    virtual TMoaStatus Register(IMoaRegistrationCache* i_cache, IMoaDictionary* i_xtra_dictionary) = 0;

protected:
    ~IMoaRegister() = default;
};

// Runs one script method call on an instance.
class IMoaMmXScript : public IMoaUnknown
{
public:
    static constexpr TMoaId INTERFACE_ID = {
        {0xB6, 0x1F, 0x40, 0xAC, 0x01, 0x00, 0xB0, 0xF9, 0x00, 0x00, 0x08, 0x00, 0x07, 0x2C, 0x63, 0x26}};

    virtual TMoaStatus Call(TMoaCallInfo* io_call) = 0;

protected:
    ~IMoaMmXScript() = default;
};

// The entry the class-information table starts with for each class, in
// place of an interface identifier.
constexpr TMoaId MOA_CLASS_ENTRY_ID = {
    {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr uint32_t MOA_CLASS_ENTRY_VERSION = 1;

// Registry key of the method table text and of the flag that allows the
// module in restricted playback.
constexpr const char* MOA_KEY_METHOD_TABLE = "msgTable";
constexpr const char* MOA_KEY_SAFE_FLAG = "safeForShockwave";

// Types of the exported entry points, for the host's symbol lookup.
using TDllGetClassObject = TMoaStatus (*)(const TMoaId* i_class_id, const TMoaId* i_interface_id,
                                          void** o_object);
using TDllCanUnloadNow = TMoaStatus (*)();
// *o_table is allocated with i_allocator and belongs to the caller.
using TDllGetClassInfo = TMoaStatus (*)(IMoaHostAllocator* i_allocator, TMoaClassInfoEntry** o_table);
using TDllGetInterface = TMoaStatus (*)(TMoaInstanceHeader* i_instance, const TMoaId* i_class_id,
                                        const TMoaId* i_interface_id, void** o_interface);
using TDllGetClassForm = TMoaStatus (*)(const TMoaId* i_class_id, uint32_t* o_instance_size,
                                        TMoaCreateFunction* o_create, TMoaDestroyFunction* o_destroy);
using TPpcSetFileRef = void (*)(int32_t i_file_ref);

}  // namespace Moa
