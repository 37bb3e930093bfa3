// The module's only exported symbols: the six C-linkage entry points through
// which the host finds the tracker class, its interfaces and its instances.

#include <cstring>
#include <type_traits>

#include "IMoaXtra.h"
#include "TStdXtra.h"
#include "TStdXtraClass.h"
#include "TStdXtraInterface.h"

#define XTRA_EXPORT extern "C" __attribute__((visibility("default")))

using namespace Moa;
using namespace VoXtra;

namespace {

// Any non-zero status ends a walk; the visitors below end it once they have
// what they look for.
constexpr TMoaStatus WALK_DONE = 1;

// Written by ppcSetFileRef and read by nothing: the host hands the module
// its file reference, which the tracker has no use for.
int32_t s_file_ref = 0;

class EntryCounter final : public IXtraClassVisitor
{
public:
    uint32_t count = 0;

    TMoaStatus visitClass(const TMoaId*, uint32_t, uint32_t, TMoaCreateFunction, TMoaDestroyFunction) override
    {
        count++;
        return MOA_OK;
    }
    TMoaStatus visitInterface(const TMoaId*, uint32_t, const TMoaId*, uint32_t, TXtraInterfaceMaker) override
    {
        count++;
        return MOA_OK;
    }
};

class EntryWriter final : public IXtraClassVisitor
{
public:
    explicit EntryWriter(TMoaClassInfoEntry* o_entries) : _next(o_entries) {}

    TMoaStatus visitClass(const TMoaId* i_class_id, uint32_t i_class_version, uint32_t, TMoaCreateFunction,
                          TMoaDestroyFunction) override
    {
        *_next++ = {*i_class_id, i_class_version, MOA_CLASS_ENTRY_ID, MOA_CLASS_ENTRY_VERSION};
        return MOA_OK;
    }
    TMoaStatus visitInterface(const TMoaId* i_class_id, uint32_t i_class_version, const TMoaId* i_interface_id,
                              uint32_t i_interface_version, TXtraInterfaceMaker) override
    {
        *_next++ = {*i_class_id, i_class_version, *i_interface_id, i_interface_version};
        return MOA_OK;
    }

private:
    TMoaClassInfoEntry* _next;
};

class InterfaceFinder final : public IXtraClassVisitor
{
public:
    explicit InterfaceFinder(const TMoaId* i_interface_id) : _interface_id(i_interface_id) {}

    TXtraInterfaceMaker maker = nullptr;

    TMoaStatus visitInterface(const TMoaId*, uint32_t, const TMoaId* i_interface_id, uint32_t,
                              TXtraInterfaceMaker i_maker) override
    {
        if (*i_interface_id != *_interface_id) {
            return MOA_OK;
        }
        maker = i_maker;
        return WALK_DONE;
    }

private:
    const TMoaId* _interface_id;
};

class FormReader final : public IXtraClassVisitor
{
public:
    bool found = false;
    uint32_t instance_size = 0;
    TMoaCreateFunction create = nullptr;
    TMoaDestroyFunction destroy = nullptr;

    TMoaStatus visitClass(const TMoaId*, uint32_t, uint32_t i_instance_size, TMoaCreateFunction i_create,
                          TMoaDestroyFunction i_destroy) override
    {
        found = true;
        instance_size = i_instance_size;
        create = i_create;
        destroy = i_destroy;
        return WALK_DONE;
    }
};

}  // namespace

XTRA_EXPORT TMoaStatus DllGetClassObject(const TMoaId*, const TMoaId*, void**)
{
    return MOA_NO_SUCH_CLASS;
}

XTRA_EXPORT TMoaStatus DllCanUnloadNow()
{
    return TStdXtraInterfaceShared::liveInterfaces() == 0 ? MOA_OK : MOA_CANNOT_UNLOAD;
}

XTRA_EXPORT TMoaStatus DllGetClassInfo(IMoaHostAllocator* i_allocator, TMoaClassInfoEntry** o_table)
{
    EntryCounter counter;
    TStdXtraClass::walk(nullptr, &counter);
    void* memory = i_allocator->allocate((counter.count + 1) * sizeof(TMoaClassInfoEntry));
    if (memory == nullptr) {
        return MOA_OUT_OF_MEMORY;
    }
    TMoaClassInfoEntry* table = static_cast<TMoaClassInfoEntry*>(memory);
    EntryWriter writer(table);
    TStdXtraClass::walk(nullptr, &writer);
    // The terminator is zero throughout, version words included.
    std::memset(&table[counter.count], 0, sizeof(TMoaClassInfoEntry));
    *o_table = table;
    return MOA_OK;
}

XTRA_EXPORT TMoaStatus DllGetInterface(TMoaInstanceHeader* i_instance, const TMoaId* i_class_id,
                                       const TMoaId* i_interface_id, void** o_interface)
{
    if (i_class_id == nullptr || i_interface_id == nullptr) {
        return MOA_NO_SUCH_INTERFACE;
    }
    InterfaceFinder finder(i_interface_id);
    TStdXtraClass::walk(i_class_id, &finder);
    if (finder.maker == nullptr) {
        return MOA_NO_SUCH_INTERFACE;
    }
    return finder.maker(TStdXtra::fromHeader(i_instance), o_interface);
}

XTRA_EXPORT TMoaStatus DllGetClassForm(const TMoaId* i_class_id, uint32_t* o_instance_size,
                                       TMoaCreateFunction* o_create, TMoaDestroyFunction* o_destroy)
{
    if (i_class_id == nullptr) {
        return MOA_NO_SUCH_CLASS;
    }
    FormReader reader;
    TStdXtraClass::walk(i_class_id, &reader);
    if (!reader.found) {
        return MOA_NO_SUCH_CLASS;
    }
    *o_instance_size = reader.instance_size;
    *o_create = reader.create;
    *o_destroy = reader.destroy;
    return MOA_OK;
}

XTRA_EXPORT void ppcSetFileRef(int32_t i_file_ref)
{
    s_file_ref = i_file_ref;
}

// The host calls these through the types it is built with.
static_assert(std::is_same<decltype(&DllGetClassObject), TDllGetClassObject>::value, "entry point type");
static_assert(std::is_same<decltype(&DllCanUnloadNow), TDllCanUnloadNow>::value, "entry point type");
static_assert(std::is_same<decltype(&DllGetClassInfo), TDllGetClassInfo>::value, "entry point type");
static_assert(std::is_same<decltype(&DllGetInterface), TDllGetInterface>::value, "entry point type");
static_assert(std::is_same<decltype(&DllGetClassForm), TDllGetClassForm>::value, "entry point type");
static_assert(std::is_same<decltype(&ppcSetFileRef), TPpcSetFileRef>::value, "entry point type");
