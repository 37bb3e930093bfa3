#pragma once

#include "IMoaHostServices.h"
#include "MoaTypes.h"

namespace VoXtra {

// The characters of a host string value, borrowed for this object's
// lifetime and given back when it ends.
class XtraBorrowedString
{
public:
    XtraBorrowedString(Moa::IMoaValueService* i_values, const Moa::TMoaValue& i_value);
    ~XtraBorrowedString();

    XtraBorrowedString(const XtraBorrowedString&) = delete;
    XtraBorrowedString& operator=(const XtraBorrowedString&) = delete;

    // NUL-terminated; null when the value is not a string.
    const char* chars() const { return _chars; }

private:
    Moa::IMoaValueService* _values;
    Moa::TMoaValue _value;
    const char* _chars;
};

}  // namespace VoXtra
