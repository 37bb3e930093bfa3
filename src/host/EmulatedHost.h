#pragma once

#include <cstdint>

#include "HostAllocator.h"
#include "HostCallback.h"
#include "HostDictionary.h"
#include "HostImageService.h"
#include "HostListService.h"
#include "HostMatrixService.h"
#include "HostRegistry.h"
#include "HostValueService.h"
#include "HostValueStore.h"

namespace MarkeyeHost {

// Everything of the host that a plug-in module reaches: the value store and
// the services over it, the allocator, the callback that hands the services
// out, and the registry with the dictionary the host keeps for the module.
// Modules and instances borrow it; it must outlive them.
class EmulatedHost
{
public:
    EmulatedHost();
    EmulatedHost(const EmulatedHost&) = delete;
    EmulatedHost& operator=(const EmulatedHost&) = delete;

    HostValueStore& values() { return _values; }
    HostAllocator& allocator() { return _allocator; }
    HostCallback& callback() { return _callback; }
    HostRegistry& registry() { return _registry; }
    HostDictionary& xtraDictionary() { return _xtra_dictionary; }

    // References to the four value services handed out and not released.
    int32_t serviceReferences() const;

private:
    HostValueStore _values;
    HostValueService _value_service;
    HostListService _list_service;
    HostImageService _image_service;
    HostMatrixService _matrix_service;
    HostAllocator _allocator;
    HostCallback _callback;
    HostRegistry _registry;
    HostDictionary _xtra_dictionary;
};

}  // namespace MarkeyeHost
