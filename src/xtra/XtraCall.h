#pragma once

#include <cstdint>

#include "MoaTypes.h"
#include "TStdXtra.h"

namespace VoXtra {

// One script call as the handlers see it: its arguments, read through the
// instance's host services, and its result. Every conversion reports whether
// the host could make it; a failed one leaves the output unchanged.
class XtraCall
{
public:
    XtraCall(const TStdXtra* i_xtra, Moa::TMoaCallInfo* io_call);

    int32_t argumentCount() const { return _call->argument_count; }
    // A copy of argument i_index (0 is the object the method is called on);
    // the void value when the call has no such argument.
    Moa::TMoaValue argument(int32_t i_index) const;
    bool argumentInteger(int32_t i_index, int32_t* o_value) const;
    bool argumentFloat(int32_t i_index, double* o_value) const;

    // The host's type code of a value; 0 when the host cannot tell.
    int32_t typeOf(const Moa::TMoaValue& i_value) const;
    // Elements in a list; 0 for a value that is not a list.
    int32_t listCount(const Moa::TMoaValue& i_list) const;
    // Element i_index (from 1) of a list, as an integer.
    bool listInteger(const Moa::TMoaValue& i_list, int32_t i_index, int32_t* o_value) const;
    // The host value of an integer; the void value if the host makes none.
    Moa::TMoaValue integer(int32_t i_value) const;

    // The call record is the host's; setting its result leaves this object as it is.
    void setResult(const Moa::TMoaValue& i_value) const { _call->result = i_value; }
    void setIntegerResult(int32_t i_value) const { setResult(integer(i_value)); }

    const TStdXtra* xtra() const { return _xtra; }

private:
    const TStdXtra* _xtra;
    Moa::TMoaCallInfo* _call;
};

}  // namespace VoXtra
