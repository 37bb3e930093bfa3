#pragma once

#include <memory>
#include <vector>

#include "HostDictionary.h"
#include "IMoaHostServices.h"
#include "MoaTypes.h"

namespace MarkeyeHost {

// The host's registration cache: one entry per class and interface a module
// registers, each with its own dictionary, kept for the host's lifetime.
class HostRegistry final : public Moa::IMoaRegistrationCache
{
public:
    struct TEntry
    {
        const Moa::IMoaDictionary* xtra_dictionary;
        Moa::TMoaId class_id;
        Moa::TMoaId interface_id;
        std::unique_ptr<HostDictionary> dictionary;
    };

    Moa::TMoaStatus addEntry(Moa::IMoaDictionary* i_xtra_dictionary, const Moa::TMoaId* i_class_id,
                             const Moa::TMoaId* i_interface_id, Moa::IMoaDictionary** o_entry) override;

    // Later addEntry calls fail with i_status (MOA_OK accepts them again).
    void refuseEntries(Moa::TMoaStatus i_status) { _refusal = i_status; }

    const std::vector<TEntry>& entries() const { return _entries; }

private:
    std::vector<TEntry> _entries;
    Moa::TMoaStatus _refusal = Moa::MOA_OK;
};

}  // namespace MarkeyeHost
