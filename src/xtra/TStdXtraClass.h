#pragma once

#include <cstdint>

#include "MoaTypes.h"
#include "TStdXtra.h"

namespace VoXtra {

// Makes one interface object for an instance (see TStdXtraInterface::make).
using TXtraInterfaceMaker = Moa::TMoaStatus (*)(TStdXtra* i_xtra, void** o_interface);

// Receives the items of the class description during a walk. Each default
// does nothing and goes on; a non-zero result ends the walk and becomes its
// result.
class IXtraClassVisitor
{
public:
    virtual Moa::TMoaStatus visitClass(const Moa::TMoaId* /*i_class_id*/, uint32_t /*i_class_version*/,
                                       uint32_t /*i_instance_size*/, Moa::TMoaCreateFunction /*i_create*/,
                                       Moa::TMoaDestroyFunction /*i_destroy*/)
    {
        return Moa::MOA_OK;
    }
    virtual Moa::TMoaStatus visitInterface(const Moa::TMoaId* /*i_class_id*/, uint32_t /*i_class_version*/,
                                           const Moa::TMoaId* /*i_interface_id*/, uint32_t /*i_interface_version*/,
                                           TXtraInterfaceMaker /*i_maker*/)
    {
        return Moa::MOA_OK;
    }

protected:
    ~IXtraClassVisitor() = default;
};

// The module's one class: the tracker instance with its registration and
// script interfaces, as the entry points describe it to the host.
class TStdXtraClass
{
public:
    // The tracker class's own identifier.
    static constexpr Moa::TMoaId CLASS_ID = {
        {0x3B, 0x9E, 0x51, 0x6D, 0xA2, 0x47, 0xC8, 0x4E, 0x93, 0x0D, 0x5F, 0xE1, 0x7C, 0x28, 0xB4, 0x66}};
    static constexpr uint32_t VERSION = 0x109C0;

    TStdXtraClass() = delete;

    // Visits the class, then the registration and the script interface. A
    // given i_class_id other than CLASS_ID visits nothing and returns 0;
    // null visits the class all the same.
    static Moa::TMoaStatus walk(const Moa::TMoaId* i_class_id, IXtraClassVisitor* io_visitor);
};

}  // namespace VoXtra
