#pragma once

#include "MoaTypes.h"

namespace Moa {

// Base of every reference-counted interface between host and module. An
// object lives while it holds references; nobody deletes it directly, so
// the destructor is not part of the operation table.
class IMoaUnknown
{
public:
    // On success *o_interface points at the interface named by i_id (cast
    // from that interface's pointer type) and holds one counted reference.
    virtual TMoaStatus QueryInterface(const TMoaId* i_id, void** o_interface) = 0;
    // Both return the object's new count.
    virtual int32_t AddRef() = 0;
    virtual int32_t Release() = 0;

protected:
    ~IMoaUnknown() = default;
};

}  // namespace Moa
