#pragma once

#include <cstdint>

#include "HostService.h"
#include "HostValueStore.h"
#include "IMoaHostServices.h"

namespace MarkeyeHost {

// The image service over the host's value store; locks are counted per
// image. Locking an image without pixel memory succeeds with null pixels.
class HostImageService final : public HostService<Moa::IMoaImageService>
{
public:
    explicit HostImageService(HostValueStore* io_store) : _store(io_store) {}

    Moa::TMoaStatus getInfo(const Moa::TMoaValue* i_image, Moa::TMoaImageInfo* o_info) override;
    Moa::TMoaStatus lockPixels(const Moa::TMoaValue* i_image, void** o_pixels) override;
    // Fails for an image that is not locked.
    Moa::TMoaStatus unlockPixels(const Moa::TMoaValue* i_image) override;

private:
    HostValueStore* _store;
};

}  // namespace MarkeyeHost
