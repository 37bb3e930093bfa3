#include "HostListService.h"

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostListService::newList(TMoaValue* o_list)
{
    *o_list = _store->makeList();
    return MOA_OK;
}

TMoaStatus HostListService::append(const TMoaValue* i_list, const TMoaValue* i_value)
{
    if (!_store->isType(*i_list, HostValueStore::TYPE_LIST) ||
        _store->typeOf(*i_value) == HostValueStore::TYPE_INVALID) {
        return HOST_BAD_VALUE;
    }
    _store->listOf(*i_list).push_back(*i_value);
    return MOA_OK;
}

int32_t HostListService::count(const TMoaValue* i_list)
{
    if (!_store->isType(*i_list, HostValueStore::TYPE_LIST)) {
        return 0;
    }
    return static_cast<int32_t>(_store->listOf(*i_list).size());
}

TMoaStatus HostListService::getElement(const TMoaValue* i_list, int32_t i_index, TMoaValue* o_value)
{
    if (i_index < 1 || i_index > count(i_list)) {
        return HOST_BAD_VALUE;
    }
    *o_value = _store->listOf(*i_list)[static_cast<size_t>(i_index - 1)];
    return MOA_OK;
}

}  // namespace MarkeyeHost
