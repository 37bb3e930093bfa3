#include "XtraBorrowedString.h"

using namespace Moa;

namespace VoXtra {

XtraBorrowedString::XtraBorrowedString(IMoaValueService* i_values, const TMoaValue& i_value)
    : _values(i_values), _value(i_value), _chars(nullptr)
{
    const char* chars = nullptr;
    if (_values->borrowString(&_value, &chars) == MOA_OK) {
        _chars = chars;
    }
}

XtraBorrowedString::~XtraBorrowedString()
{
    if (_chars != nullptr) {
        _values->giveBackString(&_value);
    }
}

}  // namespace VoXtra
