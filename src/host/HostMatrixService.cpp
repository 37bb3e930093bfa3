#include "HostMatrixService.h"

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostMatrixService::makeMatrix(const float* i_elements, TMoaValue* o_matrix)
{
    *o_matrix = _store->makeMatrix(i_elements);
    return MOA_OK;
}

}  // namespace MarkeyeHost
