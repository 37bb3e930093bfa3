#pragma once

#include <cstdint>

#include "IMoaUnknown.h"
#include "MoaTypes.h"

namespace MarkeyeHost {

// Base of the emulated host's services: objects the host owns for its whole
// life. The count is that of the references handed out and not yet
// released, so that a test can see every reference given back; it never
// destroys the object.
template <class TInterface>
class HostService : public TInterface
{
public:
    HostService() = default;
    HostService(const HostService&) = delete;
    HostService& operator=(const HostService&) = delete;

    Moa::TMoaStatus QueryInterface(const Moa::TMoaId* i_id, void** o_interface) override
    {
        if (i_id == nullptr || *i_id != TInterface::INTERFACE_ID) {
            return Moa::MOA_NO_SUCH_INTERFACE;
        }
        AddRef();
        *o_interface = static_cast<TInterface*>(this);
        return Moa::MOA_OK;
    }
    int32_t AddRef() override { return ++_references; }
    int32_t Release() override { return --_references; }

    int32_t references() const { return _references; }

protected:
    ~HostService() = default;

private:
    int32_t _references = 0;
};

// A failure status of the emulated host's own, for operations on values of
// the wrong kind.
constexpr Moa::TMoaStatus HOST_BAD_VALUE = static_cast<Moa::TMoaStatus>(0x80040010u);

}  // namespace MarkeyeHost
