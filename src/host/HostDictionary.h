#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IMoaHostServices.h"

namespace MarkeyeHost {

// A registry dictionary that records every put, so that a test can read
// back what the plug-in registered.
class HostDictionary final : public Moa::IMoaDictionary
{
public:
    struct TEntry
    {
        std::string key;
        int32_t type;
        // The bytes stored: a text without its NUL, or the flag's byte.
        std::vector<uint8_t> data;
    };

    // Text entries need size 0, flags size 1; other type codes store i_size
    // bytes. A null key or data fails.
    Moa::TMoaStatus put(int32_t i_type, const void* i_data, int32_t i_size, const char* i_key) override;

    const std::vector<TEntry>& entries() const { return _entries; }
    // The last entry under i_key, or null.
    const TEntry* find(const std::string& i_key) const;

private:
    std::vector<TEntry> _entries;
};

}  // namespace MarkeyeHost
