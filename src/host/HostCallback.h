#pragma once

#include <vector>

#include "IMoaHostServices.h"
#include "MoaTypes.h"

namespace MarkeyeHost {

// Hands out the host's services by interface identifier, each with a
// counted reference; a service can be made to refuse, to test the plug-in's
// start-up failures.
class HostCallback final : public Moa::IMoaHostCallback
{
public:
    // i_service must outlive the callback.
    void addService(const Moa::TMoaId& i_id, Moa::IMoaUnknown* i_service);
    // Requests for i_id fail with i_status (MOA_OK answers them again).
    void refuseService(const Moa::TMoaId& i_id, Moa::TMoaStatus i_status);

    Moa::TMoaStatus queryService(const Moa::TMoaId* i_id, Moa::IMoaUnknown** o_service) override;

    // Identifiers asked for, in order.
    const std::vector<Moa::TMoaId>& requests() const { return _requests; }

private:
    struct TEntry
    {
        Moa::TMoaId id;
        Moa::IMoaUnknown* service;
        Moa::TMoaStatus refusal;
    };

    TEntry* find(const Moa::TMoaId& i_id);

    std::vector<TEntry> _entries;
    std::vector<Moa::TMoaId> _requests;
};

}  // namespace MarkeyeHost
