#include "HostCallback.h"

#include <stdexcept>

using namespace Moa;

namespace MarkeyeHost {

HostCallback::TEntry* HostCallback::find(const TMoaId& i_id)
{
    for (TEntry& entry : _entries) {
        if (entry.id == i_id) {
            return &entry;
        }
    }
    return nullptr;
}

void HostCallback::addService(const TMoaId& i_id, IMoaUnknown* i_service)
{
    _entries.push_back({i_id, i_service, MOA_OK});
}

void HostCallback::refuseService(const TMoaId& i_id, TMoaStatus i_status)
{
    TEntry* entry = find(i_id);
    if (entry == nullptr) {
        throw std::invalid_argument("no such service");
    }
    entry->refusal = i_status;
}

TMoaStatus HostCallback::queryService(const TMoaId* i_id, IMoaUnknown** o_service)
{
    _requests.push_back(*i_id);
    TEntry* entry = find(*i_id);
    if (entry == nullptr) {
        return MOA_NO_SUCH_INTERFACE;
    }
    if (entry->refusal != MOA_OK) {
        return entry->refusal;
    }
    entry->service->AddRef();
    *o_service = entry->service;
    return MOA_OK;
}

}  // namespace MarkeyeHost
