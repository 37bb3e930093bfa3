#include "HostImageService.h"

using namespace Moa;

namespace MarkeyeHost {

TMoaStatus HostImageService::getInfo(const TMoaValue* i_image, TMoaImageInfo* o_info)
{
    if (!_store->isType(*i_image, HostValueStore::TYPE_IMAGE)) {
        return HOST_BAD_VALUE;
    }
    const THostImage& image = _store->imageOf(*i_image);
    *o_info = {image.width, image.height, image.row_bytes, image.depth};
    return MOA_OK;
}

TMoaStatus HostImageService::lockPixels(const TMoaValue* i_image, void** o_pixels)
{
    if (!_store->isType(*i_image, HostValueStore::TYPE_IMAGE)) {
        return HOST_BAD_VALUE;
    }
    THostImage& image = _store->imageOf(*i_image);
    image.lock_count++;
    image.locks_taken++;
    *o_pixels = image.pixels.empty() ? nullptr : image.pixels.data();
    return MOA_OK;
}

TMoaStatus HostImageService::unlockPixels(const TMoaValue* i_image)
{
    if (!_store->isType(*i_image, HostValueStore::TYPE_IMAGE) || _store->imageOf(*i_image).lock_count == 0) {
        return HOST_BAD_VALUE;
    }
    _store->imageOf(*i_image).lock_count--;
    return MOA_OK;
}

}  // namespace MarkeyeHost
