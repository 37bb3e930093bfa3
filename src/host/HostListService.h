#pragma once

#include <cstdint>

#include "HostService.h"
#include "HostValueStore.h"
#include "IMoaHostServices.h"

namespace MarkeyeHost {

// The list service over the host's value store.
class HostListService final : public HostService<Moa::IMoaListService>
{
public:
    explicit HostListService(HostValueStore* io_store) : _store(io_store) {}

    Moa::TMoaStatus newList(Moa::TMoaValue* o_list) override;
    Moa::TMoaStatus append(const Moa::TMoaValue* i_list, const Moa::TMoaValue* i_value) override;
    int32_t count(const Moa::TMoaValue* i_list) override;
    Moa::TMoaStatus getElement(const Moa::TMoaValue* i_list, int32_t i_index, Moa::TMoaValue* o_value) override;

private:
    HostValueStore* _store;
};

}  // namespace MarkeyeHost
