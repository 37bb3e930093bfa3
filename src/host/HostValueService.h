#pragma once

#include <cstdint>

#include "HostService.h"
#include "HostValueStore.h"
#include "IMoaHostServices.h"

namespace MarkeyeHost {

// The value service over the host's value store. Integers convert from
// integers and from finite floats in range (truncated toward zero); floats
// from floats and integers; anything else fails.
class HostValueService final : public HostService<Moa::IMoaValueService>
{
public:
    explicit HostValueService(HostValueStore* io_store) : _store(io_store) {}

    Moa::TMoaStatus getType(const Moa::TMoaValue* i_value, int32_t* o_type) override;
    Moa::TMoaStatus toInteger(const Moa::TMoaValue* i_value, int32_t* o_integer) override;
    Moa::TMoaStatus toFloat(const Moa::TMoaValue* i_value, double* o_float) override;
    Moa::TMoaStatus borrowString(const Moa::TMoaValue* i_value, const char** o_chars) override;
    Moa::TMoaStatus giveBackString(const Moa::TMoaValue* i_value) override;
    Moa::TMoaStatus fromInteger(int32_t i_integer, Moa::TMoaValue* o_value) override;

private:
    HostValueStore* _store;
};

}  // namespace MarkeyeHost
