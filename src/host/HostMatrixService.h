#pragma once

#include <cstdint>

#include "HostService.h"
#include "HostValueStore.h"
#include "IMoaHostServices.h"

namespace MarkeyeHost {

// The matrix service over the host's value store.
class HostMatrixService final : public HostService<Moa::IMoaMatrixService>
{
public:
    explicit HostMatrixService(HostValueStore* io_store) : _store(io_store) {}

    Moa::TMoaStatus makeMatrix(const float* i_elements, Moa::TMoaValue* o_matrix) override;

private:
    HostValueStore* _store;
};

}  // namespace MarkeyeHost
