#include "HostValueService.h"

#include <cmath>
#include <limits>

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostValueService::getType(const TMoaValue* i_value, int32_t* o_type)
{
    const int32_t type = _store->typeOf(*i_value);
    if (type == HostValueStore::TYPE_INVALID) {
        return HOST_BAD_VALUE;
    }
    *o_type = type;
    return MOA_OK;
}

TMoaStatus HostValueService::toInteger(const TMoaValue* i_value, int32_t* o_integer)
{
    if (_store->isType(*i_value, HostValueStore::TYPE_INTEGER)) {
        *o_integer = _store->integerOf(*i_value);
        return MOA_OK;
    }
    if (!_store->isType(*i_value, HostValueStore::TYPE_FLOAT)) {
        return HOST_BAD_VALUE;
    }
    const double truncated = std::trunc(_store->floatOf(*i_value));
    if (!(truncated >= std::numeric_limits<int32_t>::min() && truncated <= std::numeric_limits<int32_t>::max())) {
        return HOST_BAD_VALUE;
    }
    *o_integer = static_cast<int32_t>(truncated);
    return MOA_OK;
}

TMoaStatus HostValueService::toFloat(const TMoaValue* i_value, double* o_float)
{
    if (_store->isType(*i_value, HostValueStore::TYPE_FLOAT)) {
        *o_float = _store->floatOf(*i_value);
        return MOA_OK;
    }
    if (_store->isType(*i_value, HostValueStore::TYPE_INTEGER)) {
        *o_float = _store->integerOf(*i_value);
        return MOA_OK;
    }
    return HOST_BAD_VALUE;
}

TMoaStatus HostValueService::borrowString(const TMoaValue* i_value, const char** o_chars)
{
    return _store->borrowString(*i_value, o_chars) ? MOA_OK : HOST_BAD_VALUE;
}

TMoaStatus HostValueService::giveBackString(const TMoaValue* i_value)
{
    return _store->giveBackString(*i_value) ? MOA_OK : HOST_BAD_VALUE;
}

TMoaStatus HostValueService::fromInteger(int32_t i_integer, TMoaValue* o_value)
{
    *o_value = _store->makeInteger(i_integer);
    return MOA_OK;
}

}  // namespace MarkeyeHost
