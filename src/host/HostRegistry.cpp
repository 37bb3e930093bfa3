#include "HostRegistry.h"

#include "HostService.h"

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostRegistry::addEntry(IMoaDictionary* i_xtra_dictionary, const TMoaId* i_class_id,
                                  const TMoaId* i_interface_id, IMoaDictionary** o_entry)
{
    if (_refusal != MOA_OK) {
        return _refusal;
    }
    if (i_class_id == nullptr || i_interface_id == nullptr) {
        return HOST_BAD_VALUE;
    }
    _entries.push_back({i_xtra_dictionary, *i_class_id, *i_interface_id, std::make_unique<HostDictionary>()});
    *o_entry = _entries.back().dictionary.get();
    return MOA_OK;
}

}  // namespace MarkeyeHost
