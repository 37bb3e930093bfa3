#include "HostDictionary.h"

#include <cstring>

#include "HostService.h"

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostDictionary::put(int32_t i_type, const void* i_data, int32_t i_size, const char* i_key)
{
    if (i_data == nullptr || i_key == nullptr || i_size < 0 || (i_type == MOA_DICT_TEXT && i_size != 0) ||
        (i_type == MOA_DICT_FLAG && i_size != 1)) {
        return HOST_BAD_VALUE;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(i_data);
    const size_t size = i_type == MOA_DICT_TEXT ? std::strlen(static_cast<const char*>(i_data))
                                                : static_cast<size_t>(i_size);
    _entries.push_back({i_key, i_type, std::vector<uint8_t>(bytes, bytes + size)});
    return MOA_OK;
}

const HostDictionary::TEntry* HostDictionary::find(const std::string& i_key) const
{
    for (auto entry = _entries.rbegin(); entry != _entries.rend(); ++entry) {
        if (entry->key == i_key) {
            return &*entry;
        }
    }
    return nullptr;
}

}  // namespace MarkeyeHost
