#include "EmulatedHost.h"

using namespace Moa;

namespace MarkeyeHost {

EmulatedHost::EmulatedHost()
    : _value_service(&_values), _list_service(&_values), _image_service(&_values), _matrix_service(&_values)
{
    _callback.addService(IMoaValueService::INTERFACE_ID, &_value_service);
    _callback.addService(IMoaListService::INTERFACE_ID, &_list_service);
    _callback.addService(IMoaImageService::INTERFACE_ID, &_image_service);
    _callback.addService(IMoaMatrixService::INTERFACE_ID, &_matrix_service);
}

int32_t EmulatedHost::serviceReferences() const
{
    return _value_service.references() + _list_service.references() + _image_service.references() +
           _matrix_service.references();
}

}  // namespace MarkeyeHost
