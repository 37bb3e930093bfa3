#include "XtraCall.h"

using namespace Moa;

namespace VoXtra {

XtraCall::XtraCall(const TStdXtra* i_xtra, TMoaCallInfo* io_call) : _xtra(i_xtra), _call(io_call) {}

TMoaValue XtraCall::argument(int32_t i_index) const
{
    // The method table promises arguments the script may still leave out.
    if (i_index < 0 || i_index >= _call->argument_count || _call->arguments == nullptr) {
        return MOA_VOID_VALUE;
    }
    return _call->arguments[i_index];
}

bool XtraCall::argumentInteger(int32_t i_index, int32_t* o_value) const
{
    const TMoaValue value = argument(i_index);
    return _xtra->_valueService->toInteger(&value, o_value) == MOA_OK;
}

bool XtraCall::argumentFloat(int32_t i_index, double* o_value) const
{
    const TMoaValue value = argument(i_index);
    return _xtra->_valueService->toFloat(&value, o_value) == MOA_OK;
}

int32_t XtraCall::typeOf(const TMoaValue& i_value) const
{
    int32_t type = 0;
    _xtra->_valueService->getType(&i_value, &type);
    return type;
}

int32_t XtraCall::listCount(const TMoaValue& i_list) const
{
    return _xtra->_listService->count(&i_list);
}

bool XtraCall::listInteger(const TMoaValue& i_list, int32_t i_index, int32_t* o_value) const
{
    TMoaValue element = MOA_VOID_VALUE;
    return _xtra->_listService->getElement(&i_list, i_index, &element) == MOA_OK &&
           _xtra->_valueService->toInteger(&element, o_value) == MOA_OK;
}

TMoaValue XtraCall::integer(int32_t i_value) const
{
    TMoaValue value = MOA_VOID_VALUE;
    _xtra->_valueService->fromInteger(i_value, &value);
    return value;
}

}  // namespace VoXtra
