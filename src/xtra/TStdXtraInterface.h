#pragma once

#include <atomic>
#include <cstdint>
#include <new>

#include "IMoaHostServices.h"
#include "MoaTypes.h"
#include "TStdXtra.h"

namespace VoXtra {

// What the module's interface objects share: the process-wide count of
// interface objects in existence (whether the host may unload the module)
// and the allocation of their records from the host's memory.
class TStdXtraInterfaceShared
{
public:
    TStdXtraInterfaceShared() = delete;

    static int32_t liveInterfaces();
    // From the host allocator; on null, runs the process's new-handler and
    // tries again while there is one. Null when memory stays short.
    static void* allocateRecord(Moa::IMoaHostAllocator* i_allocator, uint32_t i_size);
    static void interfaceMade();
    static void interfaceGone();
};

// Base of the module's interface objects: an operation table, the instance
// the object belongs to, and its own reference count. The object holds one
// reference to its instance for its existence and one per count on itself,
// so the instance outlives every interface made for it. The record lives in
// host memory; TDerived is the concrete class (adds no fields).
template <class TInterface, class TDerived>
class TStdXtraInterface : public TInterface
{
public:
    // The maker: a new object with count 1 for i_xtra, in *o_interface as a
    // TInterface pointer; MOA_OUT_OF_MEMORY and nothing made when the host
    // gives no memory.
    static Moa::TMoaStatus make(TStdXtra* i_xtra, void** o_interface)
    {
        void* memory = TStdXtraInterfaceShared::allocateRecord(i_xtra->allocator(), sizeof(TDerived));
        if (memory == nullptr) {
            return Moa::MOA_OUT_OF_MEMORY;
        }
        TDerived* object = new (memory) TDerived(i_xtra);
        i_xtra->instance()->AddRef();
        i_xtra->instance()->AddRef();
        TStdXtraInterfaceShared::interfaceMade();
        *o_interface = static_cast<TInterface*>(object);
        return Moa::MOA_OK;
    }

    Moa::TMoaStatus QueryInterface(const Moa::TMoaId* i_id, void** o_interface) final
    {
        return _xtra->instance()->QueryInterface(i_id, o_interface);
    }

    int32_t AddRef() final
    {
        _xtra->instance()->AddRef();
        return ++_refcount;
    }

    // The last release frees the record; the instance's references go after
    // it, since the final one may destroy the instance.
    int32_t Release() final
    {
        Moa::IMoaUnknown* instance = _xtra->instance();
        const int32_t count = --_refcount;
        if (count == 0) {
            Moa::IMoaHostAllocator* allocator = _xtra->allocator();
            TDerived* self = static_cast<TDerived*>(this);
            self->~TDerived();
            allocator->free(self);
            TStdXtraInterfaceShared::interfaceGone();
            instance->Release();
        }
        instance->Release();
        return count;
    }

protected:
    explicit TStdXtraInterface(TStdXtra* i_xtra) : _xtra(i_xtra), _refcount(1) {}
    ~TStdXtraInterface() = default;

    TStdXtra* _xtra;

private:
    std::atomic<int32_t> _refcount;
};

}  // namespace VoXtra
