#include "TStdXtraClass.h"

#include "IMoaXtra.h"
#include "TStdXtra_IMoaMmXScript.h"
#include "TStdXtra_IMoaRegister.h"

using namespace Moa;

namespace VoXtra {

namespace {

struct TInterfaceItem
{
    const TMoaId* id;
    uint32_t version;
    TXtraInterfaceMaker maker;
};

constexpr TInterfaceItem INTERFACES[] = {
    {&IMoaRegister::INTERFACE_ID, TStdXtraClass::VERSION, &TStdXtra_IMoaRegister::make},
    {&IMoaMmXScript::INTERFACE_ID, TStdXtraClass::VERSION, &TStdXtra_IMoaMmXScript::make},
};

}  // namespace

TMoaStatus TStdXtraClass::walk(const TMoaId* i_class_id, IXtraClassVisitor* io_visitor)
{
    if (i_class_id != nullptr && *i_class_id != CLASS_ID) {
        return MOA_OK;
    }
    TMoaStatus status =
        io_visitor->visitClass(&CLASS_ID, VERSION, sizeof(TStdXtra), &TStdXtra::create, &TStdXtra::destroy);
    for (const TInterfaceItem& item : INTERFACES) {
        if (status != MOA_OK) {
            break;
        }
        status = io_visitor->visitInterface(&CLASS_ID, VERSION, item.id, item.version, item.maker);
    }
    return status;
}

}  // namespace VoXtra
